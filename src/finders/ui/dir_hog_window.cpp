#include "finders/ui/dir_hog_window.h"

#include "finders/ui/browse_window.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "base/file_dates.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "finders/ui/treemap_view.h"
#include "inspect/grid_export.h"
#include "inspect/ui/report_printer.h"
#include "platform/event_pump.h"
#include "platform/file_remover.h"
#include "safety/folder_clean.h"
#include "safety/safe_harbor.h"
#include "safety/ui/del_directory.h"
#include "scan/ui/add_new_folder_dialog.h"
#include "scan/ui/drive_check_list.h"
#include "widgets/clipboard.h"
#include "widgets/elided_label.h"
#include "widgets/message_boxes.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"
#include "widgets/wait_cursor.h"
#include "widgets/window_placement.h"

namespace dw {

namespace {

constexpr int kNameColumn = 5;

// What the size column of a cleaned folder says.
QString cleanedText(FolderCleanMode mode) {
    switch (mode) {
        case FolderCleanMode::Trash:
            return QStringLiteral("RECYCLED");
        case FolderCleanMode::Zip:
            return QStringLiteral("ZIPPED");
        case FolderCleanMode::Delete:
            break;
    }
    return QStringLiteral("DELETED");
}

}  // namespace

TfrmDirHog::TfrmDirHog(SafeHarbor& harbor, QWidget* parent, QString* defaultZipPath, Tools tools)
    : QDialog(parent), harbor_(harbor), defaultZipPath_(defaultZipPath), tools_(std::move(tools)) {
    setObjectName(QStringLiteral("frmDirHog"));
    setWindowTitle(QStringLiteral("Folder Hogs"));
    resize(880, 720);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    QWidget* pnlTop = makeTopPanel();
    layout->addWidget(pnlTop);
    layout->addWidget(makeGridAndMap(), 1);
    status_ = new ElidedLabel(this);
    status_->setObjectName(QStringLiteral("pnlStatus"));
    status_->setFrameShape(QFrame::Panel);
    status_->setFrameShadow(QFrame::Sunken);
    layout->addWidget(status_);
    makePopupMenu(pnlTop);
    connectControls();

    FillDriveCheckList(*pckDrive_, kFinderDriveKinds, true);
    ClearGrid();
    btAbort_->hide();
    btDelete_->hide();
    btBrowse_->hide();
    btOptions_->hide();
    pckDriveClick();
    btTop_->setFocus();
}

QWidget* TfrmDirHog::makeTopPanel() {
    auto* pnlTop = new QWidget(this);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    auto* top = new QHBoxLayout(pnlTop);
    top->setContentsMargins(0, 0, 0, 0);
    pckDrive_ = new DriveCheckList(this);
    pckDrive_->setObjectName(QStringLiteral("pckDrive"));
    pckDrive_->setMaximumHeight(110);
    top->addWidget(pckDrive_, 1);
    auto* buttons = new QVBoxLayout;
    btTop_ = new QPushButton(QStringLiteral("&Main folders"), this);
    btTop_->setObjectName(QStringLiteral("btTop"));
    btTop_->setToolTip(QStringLiteral("Only topmost folders. Does not display sub-folders."));
    btAll_ = new QPushButton(QStringLiteral("&All Folders"), this);
    btAll_->setObjectName(QStringLiteral("btAll"));
    btAll_->setToolTip(QStringLiteral("ALL folders including sub-folders are displayed"));
    btAbort_ = new QPushButton(QStringLiteral("&Abort"), this);
    btAbort_->setObjectName(QStringLiteral("btAbort"));
    btAbort_->setToolTip(QStringLiteral("Abort scan"));
    btDelete_ = new QPushButton(QStringLiteral("Clean?"), this);
    btDelete_->setObjectName(QStringLiteral("btDelete"));
    btDelete_->setToolTip(QStringLiteral("Clean the folder"));
    btOptions_ = new QPushButton(QStringLiteral("Options"), this);
    btOptions_->setObjectName(QStringLiteral("btOptions"));
    btOptions_->setToolTip(QStringLiteral("Right click on grid for same options"));
    btBrowse_ = new QPushButton(QStringLiteral("&Browse"), this);
    btBrowse_->setObjectName(QStringLiteral("btBrowse"));
    btBrowse_->setToolTip(QStringLiteral("Browse the files and folder"));
    btClose_ = new QPushButton(QStringLiteral("Close"), this);
    btClose_->setObjectName(QStringLiteral("btClose"));
    for (QPushButton* b : {btTop_, btAll_, btAbort_, btDelete_, btBrowse_, btOptions_, btClose_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    top->addLayout(buttons);
    auto* explain = new QLabel(
        QStringLiteral("<b>Main -</b> only main folders are displayed (those folders directly "
                       "under the main folder)<br><b>All -</b> all folders including "
                       "sub-folders are individually displayed"),
        this);
    explain->setWordWrap(true);
    explain->setMaximumWidth(260);
    auto* side = new QVBoxLayout;
    side->addWidget(explain);
    cbTreemap_ = new QCheckBox(QStringLiteral("Show &treemap"), this);
    cbTreemap_->setObjectName(QStringLiteral("cbTreemap"));
    cbTreemap_->setToolTip(QStringLiteral("Show the scanned folders as nested rectangles"));
    cbTreemap_->setChecked(SettingsStore().readInteger(QLatin1String(settings::kFinderOptions),
                                                       QLatin1String(settings::kFolderHogsTreemap),
                                                       1) != 0);
    side->addWidget(cbTreemap_);
    side->addStretch(1);
    top->addLayout(side);
    return pnlTop;
}

QSplitter* TfrmDirHog::makeGridAndMap() {
    grid_ = new StringGrid(this);
    grid_->setObjectName(QStringLiteral("grid"));
    grid_->table().setColumnCount(6);
    for (int c = 0; c < 4; ++c) {
        grid_->setColumnAlignment(c, Qt::AlignRight);
    }
    grid_->setColumnElide(kNameColumn, Qt::ElideMiddle);
    grid_->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {110, 50, 60, 85, 120};
    for (int c = 0; c < 5; ++c) {
        grid_->setColumnWidth(c, widths[c]);
    }
    grid_->setCellStyler([this](qsizetype row, int column, CellStyle& style) {
        if (column == kNameColumn && row > 0 && highlight_->isChecked()) {
            const QByteArray folder = grid_->table().rowData(row);
            style.bold = !folder.isEmpty() && harbor_.isInSafeHarbor(folder, false);
        }
    });
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("splitTreemap"));
    split->setChildrenCollapsible(false);
    split->addWidget(grid_);
    treemap_ = new TreemapView(split);
    treemap_->setObjectName(QStringLiteral("treemap"));
    split->addWidget(treemap_);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    split->setSizes({260, 390});
    treemap_->setVisible(cbTreemap_->isChecked());
    return split;
}

void TfrmDirHog::makePopupMenu(QWidget* pnlTop) {
    popup_ = new QMenu(this);
    highlight_ = popup_->addAction(QStringLiteral("Highlight folders on Safe Harbor list"));
    highlight_->setCheckable(true);
    highlight_->setChecked(true);
    connect(highlight_, &QAction::toggled, grid_->viewport(), qOverload<>(&QWidget::update));
    QAction* add = popup_->addAction(QStringLiteral("Add a folder to the list of drives"));
    connect(add, &QAction::triggered, this, [this] {
        AddFolderToDriveList(this, *pckDrive_, kFinderDriveKinds);
        pckDriveClick();
    });
    popup_->addSeparator();
    sortMenu_ = new SortMenu(&grid_->table(), kSortMenuDirHog, this);
    sortMenu_->addTo(popup_);
    popup_->addSeparator();
    QAction* shrink = popup_->addAction(QStringLiteral("Shrink top panel"));
    QAction* restore = popup_->addAction(QStringLiteral("Restore top panel"));
    restore->setEnabled(false);
    connect(shrink, &QAction::triggered, this, [pnlTop, shrink, restore] {
        pnlTop->hide();
        shrink->setEnabled(false);
        restore->setEnabled(true);
    });
    connect(restore, &QAction::triggered, this, [pnlTop, shrink, restore] {
        pnlTop->show();
        shrink->setEnabled(true);
        restore->setEnabled(false);
    });
    popup_->addSeparator();
    QAction* print = popup_->addAction(QStringLiteral("Print"));
    connect(print, &QAction::triggered, this, &TfrmDirHog::btPrintClick);
    QMenu* clip = popup_->addMenu(QStringLiteral("Clipboard"));
    connect(clip->addAction(QStringLiteral("Folder names ")), &QAction::triggered, this,
            [this] { btClipClick(true); });
    connect(clip->addAction(QStringLiteral("Entire grid separated by tabs")), &QAction::triggered,
            this, [this] { btClipClick(false); });
}

void TfrmDirHog::connectControls() {
    connect(btTop_, &QPushButton::clicked, this, &TfrmDirHog::btTopClick);
    connect(btAll_, &QPushButton::clicked, this, &TfrmDirHog::btAllClick);
    connect(btAbort_, &QPushButton::clicked, this, &TfrmDirHog::btAbortClick);
    connect(btDelete_, &QPushButton::clicked, this, &TfrmDirHog::btDeleteClick);
    connect(btBrowse_, &QPushButton::clicked, this, &TfrmDirHog::btBrowseClick);
    connect(btOptions_, &QPushButton::clicked, this,
            [this] { popup_->popup(btOptions_->mapToGlobal(QPoint(0, btOptions_->height()))); });
    connect(btClose_, &QPushButton::clicked, this, &TfrmDirHog::reject);
    connect(pckDrive_, &DriveCheckList::checksChanged, this, &TfrmDirHog::pckDriveClick);
    connect(grid_, &StringGrid::titleClicked, this, [this](int column) {
        if (!scanning_) {
            sortMenu_->chooseColumn(column);
        }
    });
    connect(grid_, &StringGrid::rowDoubleClicked, this, [this] { btDeleteClick(); });
    connect(grid_, &StringGrid::currentRowChanged, this, [this](qsizetype row) {
        updateStatus();
        const QByteArray folder = row > 0 ? grid_->table().rowData(row) : QByteArray();
        treemap_->setOutlined(tree_ && !folder.isEmpty() ? tree_->find(folder) : kNoSpaceItem);
    });
    connect(cbTreemap_, &QCheckBox::toggled, treemap_, &QWidget::setVisible);
    connect(treemap_, &TreemapView::itemClicked, this, &TfrmDirHog::selectRowOf);
    connect(treemap_, &TreemapView::contextMenuRequested, this,
            [this](quint32 item, const QPoint& at) {
                if (scanning_ || !tree_) {
                    return;
                }
                selectRowOf(item);
                const QByteArray folder =
                    tree_->path(tree_->item(item).isFolder() ? item : tree_->item(item).parent);
                QMenu menu(this);
                QAction* browse = menu.addAction(QStringLiteral("&Browse"));
                browse->setToolTip(btBrowse_->toolTip());
                QAction* clean = menu.addAction(QStringLiteral("Clean?"));
                clean->setToolTip(btDelete_->toolTip());
                QAction* chosen = menu.exec(at);
                if (chosen == browse) {
                    browseFolder(folder);
                } else if (chosen == clean) {
                    cleanFolder(folder);
                }
            });
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (!scanning_) {
            popup_->popup(grid_->viewport()->mapToGlobal(at));
        }
    });

    pckDrive_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pckDrive_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (!scanning_) {
            popup_->popup(pckDrive_->viewport()->mapToGlobal(at));
        }
    });
}

TfrmDirHog::~TfrmDirHog() {
    saveWindowPlacement(this, settings::kPlacementFolderHogs);
    SettingsStore().writeInteger(QLatin1String(settings::kFinderOptions),
                                 QLatin1String(settings::kFolderHogsTreemap),
                                 cbTreemap_->isChecked() ? 1 : 0);
}

void TfrmDirHog::showEvent(QShowEvent* event) {
    if (!placed_) {
        placed_ = true;
        restoreWindowPlacement(this, settings::kPlacementFolderHogs);
    }
    QDialog::showEvent(event);
}

qsizetype TfrmDirHog::rowOf(const QByteArray& folder) const {
    const GridTable& t = grid_->table();
    for (qsizetype r = 1; r < t.rowCount(); ++r) {
        if (t.rowDataView(r) == folder) {
            return r;
        }
    }
    return -1;
}

void TfrmDirHog::selectRowOf(quint32 item) {
    if (scanning_ || !tree_ || item >= tree_->size()) {
        return;
    }
    // The folder's own row, or in the main-folders scan the row of the folder holding it.
    for (quint32 i = item; i != 0 && i != kNoSpaceItem; i = tree_->item(i).parent) {
        if (!tree_->item(i).isFolder()) {
            continue;
        }
        const qsizetype row = rowOf(tree_->path(i));
        if (row > 0) {
            grid_->setCurrentRow(row);
            return;
        }
    }
}

void TfrmDirHog::removeFromMap(const QByteArray& folder) {
    if (!tree_) {
        return;
    }
    const quint32 item = tree_->find(folder);
    if (item == kNoSpaceItem) {
        return;
    }
    // The picture being drawn may still read the tree as it was: change a copy.
    auto changed = std::make_shared<SpaceTree>(*tree_);
    changed->remove(item);
    tree_ = changed;
    treemap_->treeChanged(tree_);
}

void TfrmDirHog::ClearGrid() {
    GridTable& t = grid_->table();
    t.setRowCount(1);
    t.setTitles({QStringLiteral("Size"), QStringLiteral("% Used"), QStringLiteral("# Files"),
                 QStringLiteral("# Sub-folders"), QStringLiteral("Latest File Access"),
                 QStringLiteral("Name")});
    grid_->setColumnTitleTip(
        1, QStringLiteral("The share of the volume the folder's files take on the disk: their "
                          "allocated blocks, so holes in sparse files take nothing"));
    sortMenu_->checkOnly(0);
    rowCount_ = 0;
    updateStatus();
}

void TfrmDirHog::pckDriveClick() {
    const bool any = pckDrive_->checkedCount() > 0;
    btTop_->setEnabled(any && !scanning_);
    btAll_->setEnabled(any && !scanning_);
}

void TfrmDirHog::btTopClick() {
    scan(FolderHogMode::Main);
}

void TfrmDirHog::btAllClick() {
    scan(FolderHogMode::All);
}

void TfrmDirHog::scan(FolderHogMode mode) {
    if (scanning_) {
        return;
    }
    ClearGrid();
    tree_.reset();
    cleaned_.clear();
    treemap_->setTree(nullptr);
    scanning_ = true;
    abort_ = false;
    btAbort_->show();
    btTop_->setEnabled(false);
    btAll_->setEnabled(false);
    btClose_->setEnabled(false);
    btOptions_->hide();
    btDelete_->hide();
    btBrowse_->hide();
    FolderHogResult result;
    {
        WaitCursor wait;
        platform::ClockedPump pump;
        FolderHogHooks hooks;
        hooks.progress = [this](const QString& text) {
            status_->setText(text);
            if (stepHook_) {
                stepHook_();
            }
        };
        hooks.yield = [&pump] { pump(); };
        hooks.abortRequested = [this] { return abort_; };
        hooks.unopened = [](const QString& message) { ShowError(message); };
        FolderHogTreeOptions keep;
        keep.keep = true;
        result = scanFolderHogs(pckDrive_->checkedEntries(), mode, hooks, keep);
    }
    QList<GridRow> rows;
    rows.reserve(result.rows.size());
    for (const FolderHogRow& r : result.rows) {
        const QDateTime access = FileDateToDateTimeSafe(r.latestAccess);
        GridRow row;
        row.cells = {FormatThousands(r.bytes),
                     folderHogPercentText(r.allocated, r.capacity),
                     FormatThousands(r.files),
                     FormatThousands(r.subFolders),
                     r.latestAccess != 0 ? DateToTextSafe(access.date()) : QString(),
                     QFile::decodeName(r.path)};
        row.data = r.path;
        rows.append(row);
    }
    grid_->appendRows(rows);
    rowCount_ = rows.size();
    tree_ = result.tree;
    treemap_->setTree(tree_);
    sortMenu_->setDescending(0, true);
    sortMenu_->choose(0);
    scanning_ = false;
    btAbort_->hide();
    btClose_->setEnabled(true);
    pckDriveClick();
    updateStatus();
    if (rowCount_ == 0) {
        ShowInfo(QStringLiteral("No files found."));
    } else {
        btOptions_->show();
        btDelete_->show();
        btBrowse_->show();
        grid_->setCurrentRow(1);
    }
}

void TfrmDirHog::btAbortClick() {
    if (!scanning_ || abort_) {
        return;
    }
    abort_ = true;
    btAbort_->hide();
    ShowWarning(QStringLiteral("LIST INCOMPLETE ... ABORTED BY USER"));
}

void TfrmDirHog::reject() {
    if (scanning_) {
        return;  // Close is disabled while a scan runs; Abort stops it
    }
    QDialog::reject();
}

void TfrmDirHog::btDeleteClick() {
    const qsizetype row = grid_->currentRow();
    if (scanning_ || row < 1 || rowCount_ == 0) {
        return;
    }
    GridTable& t = grid_->table();
    const QString size = t.cell(0, row);
    if (size.isEmpty()) {
        return;
    }
    clean(t.rowData(row), row);
}

void TfrmDirHog::cleanFolder(const QByteArray& folder) {
    clean(folder, rowOf(folder));
}

void TfrmDirHog::clean(const QByteArray& folder, qsizetype row) {
    if (scanning_ || folder.isEmpty()) {
        return;
    }
    GridTable& t = grid_->table();
    // What was cleaned is known by its folder, not by the text its row now shows.
    if (cleaned_.contains(folder)) {
        ShowError(QStringLiteral("Folder already deleted/recycled"));
        return;
    }
    if (folder == "/" || folderRefusalCode(folder) == platform::RemoveCode::MountPoint) {
        ShowError(QStringLiteral("You cannot delete the root folder using Diskwell 99"));
        return;
    }
    if (platform::isSystemFolder(folder)) {
        ShowError(QStringLiteral("You cannot delete the Windows folder using Diskwell 99"));
        return;
    }
    FolderCleanMode mode = FolderCleanMode::Delete;
    const int result =
        tools_.delDirectory
            ? tools_.delDirectory(folder, &mode)
            : TfrmDelDirectory::execute(this, harbor_, folder, nullptr, defaultZipPath_, &mode);
    if (result != TfrmDelDirectory::kNothingDone) {
        if (row > 0) {
            t.setCell(0, row, cleanedText(mode));
        }
        harbor_.clearMemo();
        cleaned_.insert(folder);
        removeFromMap(folder);
    }
    updateStatus();
}

void TfrmDirHog::btBrowseClick() {
    const qsizetype row = grid_->currentRow();
    browseFolder(row > 0 ? grid_->table().rowData(row) : QByteArray());
}

void TfrmDirHog::browseFolder(const QByteArray& folder) {
    if (scanning_ || folder.isEmpty()) {
        return;
    }
    if (tools_.browse) {
        tools_.browse(folder);
        return;
    }
    TfrmBrowse browser(harbor_, this, defaultZipPath_);
    browser.setMask(QStringLiteral("*.*"));
    browser.setFolder(folder);
    browser.exec();
}

void TfrmDirHog::btPrintClick() {
    const QString title = FolderHogReportTitle(pckDrive_->checkedEntries());
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    const bool confirmed = ConfirmPrint(printer, this, tools_.printDialog);
    if (!confirmed) {
        return;
    }
    QList<int> widths;
    for (int c = 0; c < grid_->table().columnCount(); ++c) {
        widths << grid_->columnWidth(c);
    }
    PrintGridReport(printer, grid_->table(), widths, title);
}

void TfrmDirHog::btClipClick(bool folderNames) {
    setClipboardText(ClipboardText(
        grid_->table(), folderNames ? ClipboardForm::FilenamesOnly : ClipboardForm::EntireGrid));
}

QString TfrmDirHog::statusText() const {
    return status_->text();
}

void TfrmDirHog::updateStatus() {
    if (scanning_) {
        return;
    }
    QString text = QStringLiteral("Folders : ") + FormatThousands(rowCount_);
    const qsizetype row = grid_->currentRow();
    if (row > 0 && rowCount_ > 0) {
        const QString size = grid_->table().cell(0, row);
        bool ok = false;
        const qint64 bytes = QString(size).remove(QLocale().groupSeparator()).toLongLong(&ok);
        if (ok) {
            text += QStringLiteral("    ") + grid_->table().cell(kNameColumn, row) +
                    QStringLiteral(": ") + humanSizeText(bytes);
        }
    }
    status_->setText(text);
}

}  // namespace dw
