#include "scan/ui/add_new_folder_dialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "scan/ui/drive_check_list.h"
#include "widgets/folder_chooser.h"
#include "widgets/message_boxes.h"

namespace dw {

namespace {

constexpr int kFolderRole = Qt::UserRole;

}  // namespace

TfrmAddNewFolder::TfrmAddNewFolder(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAddNewFolder"));
    setWindowTitle(QStringLiteral("Add new folders"));

    auto* title = new QLabel(QStringLiteral("Add new folders to drives"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSize(titleFont.pointSize() + 2);
    title->setFont(titleFont);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto makeButton = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        // Enter presses the button that has the focus; the default one only when none has.
        b->setAutoDefault(true);
        return b;
    };
    btAdd = makeButton("btAdd", QStringLiteral("Add"));
    btAdd->setToolTip(QStringLiteral("Add a folder to the list of drives"));
    btDel = makeButton("btDel", QStringLiteral("Del"));
    btDel->setToolTip(QStringLiteral("Remove the selected folders from the list"));
    Button1 = makeButton("Button1", QStringLiteral("Close"));
    Button1->setDefault(true);
    connect(btAdd, &QPushButton::clicked, this, &TfrmAddNewFolder::btAddClick);
    connect(btDel, &QPushButton::clicked, this, &TfrmAddNewFolder::btDelClick);
    connect(Button1, &QPushButton::clicked, this, &TfrmAddNewFolder::Button1Click);

    auto* layout = new QGridLayout(this);
    layout->addWidget(title, 0, 0, 1, 2);
    layout->addWidget(ListBox1, 1, 0, 4, 1);
    layout->addWidget(btAdd, 1, 1);
    layout->addWidget(btDel, 2, 1);
    layout->setRowStretch(3, 1);
    layout->addWidget(Button1, 4, 1);
    layout->setColumnStretch(0, 1);
    resize(440, 300);
}

TfrmAddNewFolder::~TfrmAddNewFolder() = default;

void TfrmAddNewFolder::showEvent(QShowEvent* event) {
    if (!shownOnce_) {
        shownOnce_ = true;
        ReadInFromDisk();
    }
    QDialog::showEvent(event);
}

QList<QByteArray> TfrmAddNewFolder::folders() const {
    QList<QByteArray> out;
    for (int i = 0; i < ListBox1->count(); ++i) {
        out.append(ListBox1->item(i)->data(kFolderRole).toByteArray());
    }
    return out;
}

void TfrmAddNewFolder::addFolder(const QByteArray& folder) {
    const QList<QByteArray> present = folders();
    if (present.contains(folder)) {
        return;
    }
    // Sorted as the user reads them: case folded, then exact.
    const QString text = QFile::decodeName(folder);
    int row = 0;
    while (row < ListBox1->count()) {
        const QString other = ListBox1->item(row)->text();
        const int c = text.compare(other, Qt::CaseInsensitive);
        if (c < 0 || (c == 0 && text < other)) {
            break;
        }
        ++row;
    }
    auto* item = new QListWidgetItem(text);
    item->setData(kFolderRole, folder);
    ListBox1->insertItem(row, item);
}

void TfrmAddNewFolder::ReadInFromDisk() {
    ListBox1->clear();
    const NumberedList list = SettingsStore().readList(QString::fromLatin1(settings::kNewFolders));
    for (const QString& folder : list.entries) {
        addFolder(nativePathFromSetting(folder));
    }
}

bool TfrmAddNewFolder::WriteOutToDisk() {
    QStringList texts;
    for (const QByteArray& folder : folders()) {
        // Byte-exact: a name that is not UTF-8 must still lead to its folder.
        texts.append(nativePathSetting(folder));
    }
    if (!SettingsStore().writeList(QString::fromLatin1(settings::kNewFolders), texts)) {
        ShowError(QStringLiteral("The list of extra folders could not be saved."));
        return false;
    }
    return true;
}

void TfrmAddNewFolder::btAddClick() {
    const std::optional<QByteArray> chosen = ChooseFolder(
        this, QStringLiteral("Add a selected folder to search"), QByteArray(platform::kRootFolder));
    if (chosen && !chosen->isEmpty()) {
        addFolder(*chosen);
    }
}

void TfrmAddNewFolder::btDelClick() {
    const int selected = int(ListBox1->selectedItems().size());
    if (selected == 0) {
        ShowError(
            QStringLiteral("To delete one or more folder(s), first highlight the selected "
                           "folders then click delete."));
        return;
    }
    if (selected > 1 && platform::prompter().ask(
                            platform::MessageKind::Question, QCoreApplication::applicationName(),
                            QStringLiteral("Really delete ") + QString::number(selected) +
                                QStringLiteral(" folders?"),
                            platform::Buttons::YesNoCancel) != platform::Answer::Yes) {
        return;
    }
    for (int i = ListBox1->count() - 1; i >= 0; --i) {
        if (ListBox1->item(i)->isSelected()) {
            delete ListBox1->takeItem(i);
        }
    }
}

void TfrmAddNewFolder::Button1Click() {
    WriteOutToDisk();
    accept();
}

void AddFolderToDriveList(QWidget* parent, DriveCheckList& list, DriveKinds kinds) {
    {
        TfrmAddNewFolder dialog(parent);
        dialog.exec();
    }
    FillDriveCheckList(list, kinds, true);
}

}  // namespace dw
