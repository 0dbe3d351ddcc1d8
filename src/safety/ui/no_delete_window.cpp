#include "safety/ui/no_delete_window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "platform/event_pump.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "safety/folder_list.h"
#include "safety/safe_harbor_build.h"
#include "safety/ui/edit_folder_dialog.h"
#include "safety/ui/keep_files_dialog.h"
#include "widgets/folder_chooser.h"
#include "widgets/message_boxes.h"
#include "widgets/type_list.h"
#include "widgets/wait_cursor.h"

namespace dw {

namespace {

constexpr int kEntryRole = Qt::UserRole;

QByteArray entryOf(const QListWidgetItem* item) {
    return item->data(kEntryRole).toByteArray();
}

QString longDateText(const QDate& date) {
    return QLocale().toString(date, QLocale::LongFormat);
}

}  // namespace

TfrmNoDelete::TfrmNoDelete(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmNoDelete"));
    setWindowTitle(caption());

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));

    // Tab 1: the folders.
    auto* folders = new QWidget(PageControl1);
    ListBox1 = new QListWidget(folders);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setToolTip(
        QStringLiteral("Folders in bold are protected with all their sub-folders"));
    auto makeButton = [this](QWidget* owner, const char* name, const QString& text) {
        auto* b = new QPushButton(text, owner);
        b->setObjectName(QLatin1String(name));
        // Enter presses the button that has the focus; the default one only when none has.
        b->setAutoDefault(true);
        return b;
    };
    btAdd = makeButton(folders, "btAdd", QStringLiteral("&Add"));
    btAdd->setToolTip(QStringLiteral("Add a folder that won't be deleted"));
    btDel = makeButton(folders, "btDel", QStringLiteral("&Delete"));
    btDel->setToolTip(QStringLiteral("Remove the selected folders from the list"));
    btEdit = makeButton(folders, "btEdit", QStringLiteral("&Edit"));
    btEdit->setToolTip(QStringLiteral("Change the selected folder"));
    btBuild = makeButton(folders, "btBuild", QStringLiteral("Build list of folders"));
    btBuild->setToolTip(
        QStringLiteral("Find the folders that the system's and your programs' settings "
                       "refer to"));
    btBuild->setDefault(true);
    lblWhen = new QLabel(folders);
    lblWhen->setObjectName(QStringLiteral("lblWhen"));
    lblToday = new QLabel(folders);
    lblToday->setObjectName(QStringLiteral("lblToday"));
    lblCount = new QLabel(folders);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    auto* dates = new QGridLayout;
    dates->addWidget(new QLabel(QStringLiteral("Date of last build:"), folders), 0, 0);
    dates->addWidget(lblWhen, 0, 1);
    dates->addWidget(new QLabel(QStringLiteral("Today's date:"), folders), 1, 0);
    dates->addWidget(lblToday, 1, 1);
    dates->addWidget(lblCount, 0, 2, Qt::AlignRight);
    dates->setColumnStretch(1, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(btAdd);
    side->addWidget(btDel);
    side->addWidget(btEdit);
    side->addStretch();
    side->addWidget(btBuild);
    auto* top = new QHBoxLayout;
    top->addWidget(ListBox1, 1);
    top->addLayout(side);
    auto* folderLayout = new QVBoxLayout(folders);
    folderLayout->addLayout(top, 1);
    folderLayout->addLayout(dates);
    PageControl1->addTab(folders, QStringLiteral("Folders not to delete"));

    // Tab 2: the extensions, read only here.
    auto* types = new QWidget(PageControl1);
    PickList1 = new TypeList(types);
    PickList1->setObjectName(QStringLiteral("PickList1"));
    PickList1->setSelectionMode(QAbstractItemView::NoSelection);
    PickList1->setFocusPolicy(Qt::NoFocus);
    BitBtn1 = makeButton(types, "BitBtn1", QStringLiteral("Add/Delete"));
    BitBtn1->setToolTip(QStringLiteral("Add or delete file extensions"));
    auto* typeSide = new QVBoxLayout;
    typeSide->addWidget(BitBtn1);
    typeSide->addStretch();
    auto* typeCaption = new QLabel(
        QStringLiteral("Files with these extensions or names are never deleted without your "
                       "consent:"),
        types);
    typeCaption->setWordWrap(true);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(PickList1, 1);
    typeRow->addLayout(typeSide);
    auto* typeLayout = new QVBoxLayout(types);
    typeLayout->addWidget(typeCaption);
    typeLayout->addLayout(typeRow, 1);
    PageControl1->addTab(types, QStringLiteral("File types not to delete"));

    btClose = new QPushButton(QStringLiteral("Close"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    btClose->setAutoDefault(true);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(bottom);

    connect(btAdd, &QPushButton::clicked, this, &TfrmNoDelete::btAddClick);
    connect(btDel, &QPushButton::clicked, this, &TfrmNoDelete::btDelClick);
    connect(btEdit, &QPushButton::clicked, this, &TfrmNoDelete::btEditClick);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TfrmNoDelete::btEditClick);
    connect(btBuild, &QPushButton::clicked, this, &TfrmNoDelete::btBuildClick);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmNoDelete::BitBtn1Click);
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);

    resize(620, 420);
}

TfrmNoDelete::~TfrmNoDelete() = default;

QString TfrmNoDelete::caption() {
    return QStringLiteral("Safe Harbor - List of folders that should not be deleted");
}

void TfrmNoDelete::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TfrmNoDelete::FormShow() {
    WaitCursor wait;
    QString error;
    const auto stored = ReadFolderList(foldersFilePath(), &error);
    if (!stored && !error.isEmpty()) {
        ShowError(QStringLiteral("Could not read the list of folders ") +
                  QDir::toNativeSeparators(foldersFilePath()) + QStringLiteral(": ") + error);
    }
    setEntries(stored.value_or(QList<QByteArray>()));
    updatecount();
    lblWhen->setText(SettingsStore().readString(
        QString::fromLatin1(settings::kFolders), QString::fromLatin1(settings::kFoldersWhen),
        QString::fromLatin1(settings::kFoldersWhenDefault)));
    readExtensions();
    lblToday->setText(longDateText(QDate::currentDate()));
    PageControl1->setCurrentIndex(0);
}

QList<QByteArray> TfrmNoDelete::entries() const {
    QList<QByteArray> out;
    out.reserve(ListBox1->count());
    for (int i = 0; i < ListBox1->count(); ++i) {
        out.append(entryOf(ListBox1->item(i)));
    }
    return out;
}

int TfrmNoDelete::addItem(const QByteArray& entry, int row) {
    auto* item = new QListWidgetItem(QFile::decodeName(entry));
    item->setData(kEntryRole, entry);
    if (isSubtreeEntry(entry)) {
        QFont bold = ListBox1->font();
        bold.setBold(true);
        item->setFont(bold);
    }
    ListBox1->insertItem(row, item);
    return row;
}

void TfrmNoDelete::setEntries(const QList<QByteArray>& entries) {
    ListBox1->clear();
    for (const QByteArray& entry : entries) {
        addItem(entry, ListBox1->count());
    }
}

void TfrmNoDelete::insertSorted(const QByteArray& entry) {
    int low = 0;
    int high = ListBox1->count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (compareFolderText(entryOf(ListBox1->item(middle)), entry) < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    addItem(entry, low);
}

void TfrmNoDelete::updatecount() {
    lblCount->setText(QString::number(ListBox1->count()) + QStringLiteral(" folders"));
}

void TfrmNoDelete::updateLastDate() {
    const QDateTime now = QDateTime::currentDateTime();
    QString text = QString::fromLatin1(settings::kFoldersWhenDefault);
    if (ListBox1->count() > 0) {
        text = longDateText(now.date()) + QLatin1Char(' ') +
               QLocale().toString(now.time(), LongTimeFormat());
    }
    if (!SettingsStore().writeString(QString::fromLatin1(settings::kFolders),
                                     QString::fromLatin1(settings::kFoldersWhen), text)) {
        ShowError(QStringLiteral("The date of the build could not be saved in the settings."));
    }
    lblWhen->setText(text);
    lblToday->setText(longDateText(now.date()));
}

void TfrmNoDelete::setCommandsEnabled(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(btBuild), static_cast<QWidget*>(btAdd),
                       static_cast<QWidget*>(btDel), static_cast<QWidget*>(btEdit),
                       static_cast<QWidget*>(btClose), static_cast<QWidget*>(BitBtn1)}) {
        w->setEnabled(enabled);
    }
    PageControl1->tabBar()->setEnabled(enabled);
}

void TfrmNoDelete::btBuildClick() {
    if (building_) {
        return;
    }
    const platform::Answer answer = platform::prompter().ask(
        platform::MessageKind::Question, QCoreApplication::applicationName(),
        QStringLiteral("Diskwell will now scan the registry for references to folders.  Those "
                       "folders ending with *.* will not be discarded during the scan.  It may "
                       "take a few minutes.  Continue? "),
        platform::Buttons::YesNo);
    if (answer != platform::Answer::Yes) {
        return;
    }
    for (int i = ListBox1->count() - 1; i >= 0; --i) {
        if (!isSubtreeEntry(entryOf(ListBox1->item(i)))) {
            delete ListBox1->takeItem(i);
        }
    }
    reloadNeeded = true;

    const QString title = windowTitle();
    setWindowTitle(QStringLiteral("Building List ... standby"));
    building_ = true;
    setCommandsEnabled(false);
    lblCount->clear();
    {
        WaitCursor wait;
        SafeHarborBuild build(entries());
        build.setAdded([this](const QByteArray& folder) {
            insertSorted(folder);
            ListBox1->viewport()->update();
        });
        platform::ClockedPump pump;
        build.setYield([&pump] { pump(); });
        build.run(HarborBuildRoots::current());

        QList<QByteArray> all = entries();
        removeCoveredFolders(all);
        setEntries(all);
    }
    updatecount();
    building_ = false;
    setCommandsEnabled(true);
    setWindowTitle(title);
    updateLastDate();
    listChanged = true;
}

void TfrmNoDelete::btAddClick() {
    const std::optional<QByteArray> chosen =
        ChooseFolder(this, QStringLiteral("Select a folder that won't be deleted"),
                     QByteArray(platform::kRootFolder));
    if (chosen) {
        QByteArray folder = *chosen;
        if (!folder.endsWith(platform::kSep)) {
            folder.append(platform::kSep);
        }
        if (folder.contains('\n') || folder.contains('\r')) {
            ShowError(
                QStringLiteral("The name of this folder holds a line break; it cannot be "
                               "kept in the list of folders."));
        } else {
            addItem(folder, ListBox1->count());
            ListBox1->setCurrentRow(ListBox1->count() - 1);
            listChanged = true;
        }
    }
    updatecount();
}

void TfrmNoDelete::btDelClick() {
    if (ListBox1->selectedItems().isEmpty()) {
        ShowError(QStringLiteral("Select one or more folders from the list above"));
        updatecount();
        return;
    }
    const platform::Answer answer = platform::prompter().ask(
        platform::MessageKind::Question, QCoreApplication::applicationName(),
        QStringLiteral("Really delete the selected folders?"), platform::Buttons::OkCancel);
    if (answer == platform::Answer::Ok) {
        for (int i = ListBox1->count() - 1; i >= 0; --i) {
            if (ListBox1->item(i)->isSelected()) {
                delete ListBox1->takeItem(i);
            }
        }
        listChanged = true;
    }
    updatecount();
}

void TfrmNoDelete::btEditClick() {
    QListWidgetItem* current = ListBox1->currentItem();
    if (!current) {
        ShowError(QStringLiteral("Select a folder first"));
        ListBox1->setFocus();
        return;
    }
    TfrmEditFolder editor(this);
    editor.setEntry(entryOf(current));
    if (editor.exec() != QDialog::Accepted) {
        return;
    }
    const QByteArray edited = editor.entry();
    if (edited.isEmpty()) {
        return;
    }
    if (edited.contains('\n') || edited.contains('\r')) {
        ShowError(
            QStringLiteral("The name of this folder holds a line break; it cannot be kept "
                           "in the list of folders."));
        return;
    }
    listChanged = true;
    const int row = ListBox1->row(current);
    delete ListBox1->takeItem(row);
    addItem(edited, row);
    ListBox1->setCurrentRow(row);
    if (isSubtreeEntry(edited)) {
        QList<QByteArray> all = entries();
        removeCoveredFolders(all);
        setEntries(all);
        const int at = int(all.indexOf(edited));
        ListBox1->setCurrentRow(at);
        updatecount();
    }
    ListBox1->setFocus();
}

void TfrmNoDelete::readExtensions() {
    PickList1->setLines(TfrmKeepFiles::storedLines());
}

void TfrmNoDelete::BitBtn1Click() {
    {
        TfrmKeepFiles editor(this);
        editor.exec();
    }
    readExtensions();
    reloadNeeded = true;
}

bool TfrmNoDelete::saveList() {
    QList<QByteArray> all = entries();
    sortFolderList(all);
    setEntries(all);
    QString error;
    if (!SaveFolderList(foldersFilePath(), all, &error)) {
        ShowError(QStringLiteral("Could not save the list of folders ") +
                  QDir::toNativeSeparators(foldersFilePath()) + QStringLiteral(": ") + error);
        return false;
    }
    return true;
}

void TfrmNoDelete::done(int result) {
    // The walk runs events; closing now would pull the list from under it.
    if (building_) {
        return;
    }
    if (listChanged) {
        saveList();
        reloadNeeded = true;
        listChanged = false;
    }
    QDialog::done(result);
}

}  // namespace dw
