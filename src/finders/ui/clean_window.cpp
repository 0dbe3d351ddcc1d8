#include "finders/ui/clean_window.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/settings_sections.h"
#include "finders/ui/temp_files_window.h"
#include "scan/ui/drive_check_list.h"
#include "widgets/message_boxes.h"
#include "widgets/sort_menu.h"
#include "widgets/type_list.h"

namespace dw {

TfrmClean::TfrmClean(const SafeHarbor* harbor, QWidget* parent, FinderTools tools,
                     std::function<void(QWidget*)> editExtensions)
    : FinderWindow(Setup{"frmClean",
                         TempColumnTitles(),
                         QStringLiteral("Find and delete temporary files"),
                         QStringLiteral("Start scanning for temporary files"),
                         QStringLiteral("Mark file for deletion (double click on grid also works)"),
                         QStringLiteral("TempClean"),
                         &kSortMenuClean,
                         kTempPathColumn,
                         kTempSizeColumn,
                         kTempPathColumn,
                         {64, 64, 64, 64, 296},
                         settings::kPlacementQuickClean,
                         kFinderDriveKinds,
                         true,
                         kTempPathColumn,
                         QStringLiteral(" tempfiles found"),
                         QString()},
                   harbor, parent, std::move(tools)),
      editExtensions_(std::move(editExtensions)) {
    if (!editExtensions_) {
        editExtensions_ = [](QWidget* owner) {
            TfrmTempFiles editor(owner);
            editor.exec();
        };
    }
    build(buildOptions());
    openItem()->setText(QStringLiteral("Run"));
    ReadInFromDisk();
    selectAllExtensions();
}

TfrmClean::~TfrmClean() = default;

QWidget* TfrmClean::buildOptions() {
    options_ = new QWidget;
    auto* caption = new QLabel(QStringLiteral("Temporary file extensions"), options_);
    PickList1 = new TypeList(options_);
    PickList1->setObjectName(QStringLiteral("PickList1"));
    PickList1->setMinimumSize(300, 120);
    PickList1->setContextMenuPolicy(Qt::CustomContextMenu);
    caption->setBuddy(PickList1);
    auto* menu = new QMenu(PickList1);
    connect(menu->addAction(QStringLiteral("Select All")), &QAction::triggered, this,
            &TfrmClean::selectAllExtensions);
    connect(menu->addAction(QStringLiteral("Deselect All")), &QAction::triggered, this,
            &TfrmClean::deselectAllExtensions);
    connect(PickList1, &QWidget::customContextMenuRequested, menu, [this, menu](const QPoint& at) {
        menu->popup(PickList1->viewport()->mapToGlobal(at));
    });
    btEdit = new QPushButton(QStringLiteral("Add/Delete"), options_);
    btEdit->setObjectName(QStringLiteral("btEdit"));
    btEdit->setAutoDefault(true);
    btEdit->setToolTip(QStringLiteral("Add, delete temporary file extensions"));
    connect(btEdit, &QPushButton::clicked, this, &TfrmClean::btEditClick);
    auto* column = new QVBoxLayout(options_);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(caption);
    column->addWidget(PickList1, 1);
    column->addWidget(btEdit, 0, Qt::AlignLeft);
    return options_;
}

void TfrmClean::ReadInFromDisk() {
    PickList1->setLines(ReadTempExtensionLines(settings::defaultTempFilesForQuickClean()));
}

void TfrmClean::selectAllExtensions() {
    PickList1->selectAll();
}

void TfrmClean::deselectAllExtensions() {
    PickList1->clearSelection();
}

void TfrmClean::btEditClick() {
    editExtensions_(this);
    ReadInFromDisk();
}

QString TfrmClean::reportTitle() const {
    return TempReportTitle(driveList()->checkedEntries());
}

std::unique_ptr<RowFinder> TfrmClean::beginScan(GridTable& grid) {
    const QStringList selected = PickList1->selectedLines();
    if (selected.isEmpty()) {
        ShowError(QStringLiteral("Select at least one file extension"));
        return nullptr;
    }
    return std::make_unique<TempSearch>(TempMatcher(selected), grid);
}

WalkOptions TfrmClean::walkOptions() const {
    return TempWalkOptions();
}

void TfrmClean::setOptionsEnabled(bool enabled) {
    options_->setEnabled(enabled);
}

void TfrmClean::afterScan() {
    // Each scan ends with a use of "&Size": its direction turns for the next one.
    sortMenu()->choose(0);
}

}  // namespace dw
