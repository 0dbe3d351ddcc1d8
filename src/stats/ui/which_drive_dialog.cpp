#include "stats/ui/which_drive_dialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/settings_sections.h"
#include "scan/ui/add_new_folder_dialog.h"
#include "scan/ui/drive_check_list.h"
#include "stats/stat_type_lists.h"
#include "stats/ui/stat_list_dialog.h"
#include "widgets/type_list.h"

namespace dw {

namespace {

QLabel* pageTitle(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 2);
    label->setFont(f);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    // Enter presses the button that has the focus; the default one only when none has.
    b->setAutoDefault(true);
    return b;
}

QAction* addMenuAction(QWidget* owner, const QString& text) {
    auto* action = new QAction(text, owner);
    owner->addAction(action);
    return action;
}

}  // namespace

TfrmWhichDrive::TfrmWhichDrive(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmWhichDrive"));
    setWindowTitle(QStringLiteral("Which drives and file types?"));
    pages_ = new QStackedWidget(this);
    buildDrivesPage();
    buildChoicePage();
    buildTypesPage();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(pages_);
    resize(440, 360);
}

// Page 1: the drives and folders.
void TfrmWhichDrive::buildDrivesPage() {
    auto* page1 = new QWidget(pages_);
    pckDrive = new DriveCheckList(page1);
    pckDrive->setObjectName(QStringLiteral("pckDrive"));
    pckDrive->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(addMenuAction(pckDrive, QStringLiteral("Select All")), &QAction::triggered, this,
            [this] {
                pckDrive->setAllChecked(true);
                pckDriveClick();
            });
    connect(addMenuAction(pckDrive, QStringLiteral("Deselect All")), &QAction::triggered, this,
            [this] {
                pckDrive->setAllChecked(false);
                pckDriveClick();
            });
    connect(addMenuAction(pckDrive, QStringLiteral("Add a folder to the list of drives")),
            &QAction::triggered, this, &TfrmWhichDrive::addFolderClick);
    connect(pckDrive, &DriveCheckList::checksChanged, this, &TfrmWhichDrive::pckDriveClick);
    btCancel = makeButton(page1, "btCancel", QStringLiteral("Cancel"));
    btNext1 = makeButton(page1, "btNext1", QStringLiteral("&Next >>"));
    btNext1->setDefault(true);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btNext1, &QPushButton::clicked, this, [this] { showPage(1); });
    auto* row1 = new QHBoxLayout;
    row1->addStretch();
    row1->addWidget(btCancel);
    row1->addWidget(btNext1);
    auto* layout1 = new QVBoxLayout(page1);
    layout1->addWidget(pageTitle(QStringLiteral("Which drives/folders?"), page1));
    layout1->addWidget(pckDrive, 1);
    layout1->addLayout(row1);
    pages_->addWidget(page1);
}

// Page 2: all files, only some types, all but some types.
void TfrmWhichDrive::buildChoicePage() {
    auto* page2 = new QWidget(pages_);
    rbAll = new QRadioButton(QStringLiteral("&All files"), page2);
    rbAll->setObjectName(QStringLiteral("rbAll"));
    rbInclude = new QRadioButton(QStringLiteral("&Selected file types only"), page2);
    rbInclude->setObjectName(QStringLiteral("rbInclude"));
    rbExclude = new QRadioButton(QStringLiteral("All files &except selected file types"), page2);
    rbExclude->setObjectName(QStringLiteral("rbExclude"));
    auto* group = new QButtonGroup(page2);
    for (QRadioButton* rb : {rbAll, rbInclude, rbExclude}) {
        group->addButton(rb);
    }
    rbAll->setChecked(true);
    btPrevious2 = makeButton(page2, "btPrevious2", QStringLiteral("<< &Previous"));
    btNext2 = makeButton(page2, "btNext2", QStringLiteral("&Next >>"));
    connect(btPrevious2, &QPushButton::clicked, this, [this] { showPage(0); });
    connect(btNext2, &QPushButton::clicked, this, &TfrmWhichDrive::btNext2Click);
    auto* cancel2 = makeButton(page2, "btCancel2", QStringLiteral("Cancel"));
    connect(cancel2, &QPushButton::clicked, this, &QDialog::reject);
    auto* row2 = new QHBoxLayout;
    row2->addStretch();
    row2->addWidget(cancel2);
    row2->addWidget(btPrevious2);
    row2->addWidget(btNext2);
    auto* layout2 = new QVBoxLayout(page2);
    layout2->addWidget(pageTitle(QStringLiteral("Which file types?"), page2));
    layout2->addSpacing(8);
    layout2->addWidget(rbAll);
    layout2->addWidget(rbInclude);
    layout2->addWidget(rbExclude);
    layout2->addStretch();
    layout2->addLayout(row2);
    pages_->addWidget(page2);
}

// Page 3: the type lines to include or exclude.
void TfrmWhichDrive::buildTypesPage() {
    auto* page3 = new QWidget(pages_);
    lblHeading = pageTitle(QString(), page3);
    lblHeading->setObjectName(QStringLiteral("lblHeading"));
    PickList1 = new TypeList(page3);
    PickList1->setObjectName(QStringLiteral("PickList1"));
    PickList1->setToolTip(QStringLiteral("Right click to select/deselect all"));
    PickList1->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(addMenuAction(PickList1, QStringLiteral("Select All")), &QAction::triggered, this,
            [this] {
                PickList1->selectAll();
                PickList1Click();
            });
    connect(addMenuAction(PickList1, QStringLiteral("Deselect All")), &QAction::triggered, this,
            [this] {
                PickList1->clearSelection();
                PickList1Click();
            });
    connect(PickList1, &QListWidget::itemSelectionChanged, this, &TfrmWhichDrive::PickList1Click);
    lblOf = new QLabel(page3);
    lblOf->setObjectName(QStringLiteral("lblOf"));
    btEdit = makeButton(page3, "btEdit", QStringLiteral("&Add/Delete"));
    btEdit->setToolTip(QStringLiteral("Add, delete file types"));
    btPrevious3 = makeButton(page3, "btPrevious3", QStringLiteral("<< &Previous"));
    btOK = makeButton(page3, "btOK", QStringLiteral("OK"));
    connect(btEdit, &QPushButton::clicked, this, &TfrmWhichDrive::btEditClick);
    connect(btPrevious3, &QPushButton::clicked, this, [this] { showPage(1); });
    connect(btOK, &QPushButton::clicked, this, &TfrmWhichDrive::btOKClick);
    auto* row3 = new QHBoxLayout;
    row3->addWidget(lblOf);
    row3->addStretch();
    row3->addWidget(btEdit);
    auto* cancel3 = makeButton(page3, "btCancel3", QStringLiteral("Cancel"));
    connect(cancel3, &QPushButton::clicked, this, &QDialog::reject);
    row3->addWidget(cancel3);
    row3->addWidget(btPrevious3);
    row3->addWidget(btOK);
    auto* layout3 = new QVBoxLayout(page3);
    layout3->addWidget(lblHeading);
    layout3->addWidget(PickList1, 1);
    layout3->addLayout(row3);
    pages_->addWidget(page3);
}

TfrmWhichDrive::~TfrmWhichDrive() = default;

void TfrmWhichDrive::showEvent(QShowEvent* event) {
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

void TfrmWhichDrive::FormShow() {
    FillDriveCheckList(*pckDrive, kStatisticsDriveKinds, true);
    pckDriveClick();
    readTypeList(QString::fromLatin1(settings::kExclude));
    showPage(0);
}

void TfrmWhichDrive::showPage(int page) {
    pages_->setCurrentIndex(page);
    QPushButton* defaults[] = {btNext1, btNext2, btOK};
    for (int i = 0; i < 3; ++i) {
        defaults[i]->setDefault(i == page);
    }
}

int TfrmWhichDrive::currentPage() const {
    return pages_->currentIndex();
}

void TfrmWhichDrive::pckDriveClick() {
    btNext1->setEnabled(pckDrive->checkedCount() > 0);
}

QString TfrmWhichDrive::listName() const {
    return QString::fromLatin1(rbInclude->isChecked() ? settings::kInclude : settings::kExclude);
}

void TfrmWhichDrive::readTypeList(const QString& name) {
    QStringList lines;
    ReadStatTypeList(lines, name);
    PickList1->setLines(lines);
    PickList1->clearSelection();
    lblOf->setText(QStringLiteral("0/") + QString::number(PickList1->count()));
    btOK->setEnabled(false);
}

void TfrmWhichDrive::btNext2Click() {
    btOK->setEnabled(false);
    if (rbAll->isChecked()) {
        choice_ = TypeChoice::AllFiles;
        accept();
        return;
    }
    lblHeading->setText(rbInclude->isChecked() ? QStringLiteral("Selected file types only")
                                               : QStringLiteral("All file types except ..."));
    readTypeList(listName());
    showPage(2);
}

void TfrmWhichDrive::PickList1Click() {
    const int selected = PickList1->selectedCount();
    lblOf->setText(QString::number(selected) + QLatin1Char('/') +
                   QString::number(PickList1->count()));
    btOK->setEnabled(pckDrive->checkedCount() > 0 && selected > 0);
}

void TfrmWhichDrive::btEditClick() {
    {
        TfrmStatList editor(listName(), this);
        editor.exec();
    }
    // The editor stored its lines; reading them back shows exactly what was stored.
    readTypeList(listName());
}

void TfrmWhichDrive::btOKClick() {
    choice_ = rbInclude->isChecked() ? TypeChoice::Include : TypeChoice::Exclude;
    accept();
}

void TfrmWhichDrive::addFolderClick() {
    AddFolderToDriveList(this, *pckDrive, kStatisticsDriveKinds);
    pckDriveClick();
}

QList<DriveEntry> TfrmWhichDrive::checkedEntries() const {
    return pckDrive->checkedEntries();
}

QStringList TfrmWhichDrive::selectedTypeLines() const {
    return PickList1->selectedLines();
}

}  // namespace dw
