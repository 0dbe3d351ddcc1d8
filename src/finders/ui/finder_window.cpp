#include "finders/ui/finder_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "base/utility.h"
#include "finders/dup_search.h"
#include "inspect/ui/report_printer.h"
#include "platform/event_pump.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "safety/ui/safe_harbor_styler.h"
#include "scan/ui/drive_check_list.h"
#include "widgets/clipboard.h"
#include "widgets/elided_label.h"
#include "widgets/message_boxes.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"
#include "widgets/wait_cursor.h"
#include "widgets/window_placement.h"
#include "widgets/window_walk_hooks.h"

namespace dw {

namespace {

constexpr int kLastColumnMinimum = 60;

}  // namespace

// A row finder's scan: its rows go into the grid after every folder.
class FinderWindow::RowFinderScan final : public Scan {
public:
    explicit RowFinderScan(std::unique_ptr<RowFinder> finder) : finder_(std::move(finder)) {}

    void start() override { finder_->start(); }
    bool addFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
        finder_->addFile(folder, entry);
        return true;
    }
    void folderDone() override { finder_->flush(); }
    void finish() override { finder_->finish(); }
    qsizetype foundCount() const override { return finder_->foundCount(); }
    QString progressText(const QString& folder) const override {
        return QStringLiteral("%1 found - %2").arg(FormatThousands(finder_->foundCount()), folder);
    }

private:
    std::unique_ptr<RowFinder> finder_;
};

QPushButton* FinderWindow::makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    // Enter presses the button that has the focus; Start only when no button has it.
    b->setAutoDefault(true);
    return b;
}

// The window's side of the walk: the per-file step into the scan, and its status line
// when events run.
class FinderWindow::ScanHooks final : public WindowWalkHooks<WalkHooks> {
public:
    ScanHooks(FinderWindow& window, Scan& scan, int intervalMs)
        : WindowWalkHooks(intervalMs, [this] { pump(); }), window_(window), scan_(scan) {}

    void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
        if (!scan_.addFile(folder, entry)) {
            requestAbort();
            scan_.stopped();
        }
    }
    void onFolderDone(const WalkFolder&) override { scan_.folderDone(); }
    // An error box without the sound that ShowError plays.
    void onUnopened(const DriveEntry&, const QString& message) override {
        ShowBox(platform::MessageKind::Error, message);
    }
    // Kept only; shown when events run, so millions of files do not repaint it.
    void onProgress(const QString& folderText) override { progress_ = folderText; }

private:
    void pump() {
        const QString text = scan_.progressText(progress_);
        if (text != shown_) {
            shown_ = text;
            window_.setStatus(text);
        }
        platform::pumpEvents();
    }

    FinderWindow& window_;
    Scan& scan_;
    QString progress_;
    QString shown_;
};

FinderWindow::FinderWindow(Setup setup, const SafeHarbor* harbor, QWidget* parent,
                           FinderTools tools)
    : QDialog(parent), setup_(std::move(setup)), harbor_(harbor), tools_(std::move(tools)) {
    setObjectName(QLatin1String(setup_.objectName));
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    userWidths_.assign(setup_.widths.size() + 1, 0);
    textWidths_.assign(setup_.widths.size(), 0);
}

FinderWindow::~FinderWindow() {
    if (tipsOff_) {
        qApp->removeEventFilter(this);
    }
    saveWindowPlacement(this, setup_.placement);
}

void FinderWindow::build(QWidget* options, const QList<QPushButton*>& extraButtons) {
    extraButtons_ = extraButtons;
    Panel1_ = new QFrame(this);
    Panel1_->setObjectName(QStringLiteral("Panel1"));
    Panel1_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    options->setParent(Panel1_);
    pckDrive_ = new DriveCheckList(Panel1_);
    pckDrive_->setObjectName(QStringLiteral("pckDrive"));
    pckDrive_->setMinimumWidth(220);
    pckDrive_->setMinimumHeight(60);
    pckDrive_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    pckDrive_->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* top = new QHBoxLayout(Panel1_);
    top->setContentsMargins(6, 6, 8, 6);
    top->setSpacing(12);
    top->addWidget(options, 0);
    top->addWidget(pckDrive_, 1);

    grid_ = new StringGrid(this);
    grid_->setObjectName(QStringLiteral("grid"));
    grid_->setToolTip(QStringLiteral("Double click to mark for deletion, right click for options"));
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    grid_->setColumnAlignment(setup_.sizeColumn, Qt::AlignRight);
    grid_->setColumnElide(setup_.elideColumn, Qt::ElideMiddle);
    grid_->setMarkColumn(setup_.markColumn);

    QHBoxLayout* buttons = buildButtons();

    pnlSel_ = new ElidedLabel(this);
    pnlSel_->setObjectName(QStringLiteral("pnlSel"));
    pnlSel_->setFrameShape(QFrame::StyledPanel);
    pnlSel_->setFrameShadow(QFrame::Sunken);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(Panel1_);
    outer->addWidget(grid_, 1);
    outer->addLayout(buttons);
    outer->addWidget(pnlSel_);

    buildMenu();
    if (harbor_) {
        grid_->setCellStyler(
            SafeHarborBoldStyler([this](qsizetype row) { return highlightedPath(row); }, *harbor_,
                                 setup_.highlightFiles, {}, setup_.highlightColumn));
    }

    FillDriveCheckList(*pckDrive_, setup_.driveKinds, true);
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) {
                if (!settingWidths_ && column >= 0 && size_t(column) < userWidths_.size()) {
                    userWidths_[size_t(column)] = width;
                }
            });
    connect(pckDrive_, &DriveCheckList::checksChanged, this, &FinderWindow::pckDriveClick);
    connect(btScan_, &QPushButton::clicked, this, &FinderWindow::btScanClick);
    connect(btClose_, &QPushButton::clicked, this, &FinderWindow::reject);
    connect(btAbort_, &QPushButton::clicked, this, &FinderWindow::btAbortClick);
    connect(btMark_, &QPushButton::clicked, this, &FinderWindow::DeleteAllFiles);
    connect(btDelete_, &QPushButton::clicked, this, &FinderWindow::btDeleteClick);
    connect(btDetails_, &QPushButton::clicked, details_, &QAction::trigger);
    connect(btBrowse_, &QPushButton::clicked, this, [this] {
        const QByteArray file = currentFile();
        if (!file.isEmpty() && tools_.browse) {
            tools_.browse(file, browseMask());
        }
    });
    connect(grid_, &StringGrid::rowDoubleClicked, this, &FinderWindow::gridDblClick);
    connect(grid_, &StringGrid::keyReleased, this, [this](int key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Delete) {
            DeleteAllFiles();
        }
    });
    connect(grid_, &StringGrid::titleClicked, this, [this](int column) {
        if (!scanning_) {
            sortMenu_->chooseColumn(column);
        }
    });
    grid_->viewport()->installEventFilter(this);

    // The window as it is shown: an empty grid, only Start and Close, Start focused.
    setWindowTitle(setup_.caption);
    btScan_->setToolTip(setup_.startHint);
    ClearGrid();
    for (QPushButton* b : {btOptions_, btBrowse_, btDetails_, btAbort_, btMark_, btDelete_}) {
        b->hide();
    }
    for (QPushButton* b : extraButtons_) {
        b->hide();
    }
    pckDriveClick();
    setStatus(QString());
    btScan_->setFocus();
    const QSize panel = Panel1_->sizeHint();
    const QScreen* screen = this->screen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 1024;
    setMinimumSize(std::min(panel.width() + 3, screenWidth - 10), 2 * panel.height());
    resize(std::max(width(), setup_.openingSize.width()),
           std::max(height(), setup_.openingSize.height()));
    restoreWindowPlacement(this, setup_.placement);
}

QHBoxLayout* FinderWindow::buildButtons() {
    btScan_ = makeButton(this, "btScan", QStringLiteral("&Start"));
    btScan_->setDefault(true);
    btClose_ = makeButton(this, "btClose", QStringLiteral("Close"));
    btAbort_ = makeButton(this, "btAbort", QStringLiteral("&Abort"));
    if (setup_.buttonHints) {
        btAbort_->setToolTip(QStringLiteral("Abort scan"));
    }
    btMark_ = makeButton(this, "btMark", QStringLiteral("&Mark"));
    btMark_->setToolTip(setup_.markHint);
    btDelete_ = makeButton(this, "btDelete", QStringLiteral("Clean?"));
    if (setup_.buttonHints) {
        btDelete_->setToolTip(QStringLiteral("Clean up marked files"));
    }
    btOptions_ = makeButton(this, "btOptions", QStringLiteral("Options"));
    btOptions_->setToolTip(QStringLiteral("Right click on grid for same options"));
    btBrowse_ = makeButton(this, "btBrowse", QStringLiteral("&Browse"));
    btBrowse_->setToolTip(QStringLiteral("Browse this file and folder"));
    btDetails_ = makeButton(this, "btDetails", QStringLiteral("&Details"));
    if (setup_.buttonHints) {
        btDetails_->setToolTip(QStringLiteral("View more file details"));
    }
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(3, 4, 3, 4);
    buttons->setSpacing(3);
    for (QPushButton* b :
         {btScan_, btClose_, btAbort_, btMark_, btDelete_, btOptions_, btBrowse_, btDetails_}) {
        buttons->addWidget(b);
    }
    for (QPushButton* b : extraButtons_) {
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    return buttons;
}

void FinderWindow::buildMenu() {
    PopupMenu1_ = new QMenu(this);
    PopupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    details_ = PopupMenu1_->addAction(QStringLiteral("Details"));
    details_->setVisible(bool(tools_.details));
    connect(details_, &QAction::triggered, this, [this] {
        const QByteArray file = currentFile();
        if (!file.isEmpty() && marks_.lookUp(file) && tools_.details) {
            tools_.details(file);
        }
    });
    highlight_ = PopupMenu1_->addAction(QStringLiteral("Highlight folders on Safe Harbor list"));
    highlight_->setCheckable(true);
    highlight_->setChecked(true);
    highlight_->setVisible(harbor_ != nullptr);
    connect(highlight_, &QAction::toggled, this, [this] { grid_->viewport()->update(); });
    QAction* addFolder =
        PopupMenu1_->addAction(QStringLiteral("Add a folder to the list of drives"));
    addFolder->setVisible(bool(tools_.addNewFolder));
    connect(addFolder, &QAction::triggered, this, [this] {
        if (tools_.addNewFolder) {
            tools_.addNewFolder();
            refillDriveList();
        }
    });
    QMenu* sort = PopupMenu1_->addMenu(QStringLiteral("Sort"));
    sortItem_ = sort->menuAction();
    sortMenu_ = new SortMenu(&grid_->table(), *setup_.sort, this);
    sortMenu_->addTo(sort);
    sortMenu_->checkOnly(setup_.sort->checkedAtStart);
    QMenu* mark = PopupMenu1_->addMenu(QStringLiteral("Mark"));
    markMenu_ = mark;
    connect(mark->addAction(QStringLiteral("Mark all")), &QAction::triggered, this,
            &FinderWindow::Markall1Click);
    connect(mark->addAction(QStringLiteral("Unmark all")), &QAction::triggered, this,
            &FinderWindow::Unmarkall1Click);
    QMenu* resize = PopupMenu1_->addMenu(QStringLiteral("Resize"));
    shrink_ = resize->addAction(QStringLiteral("Shrink top panel"));
    restore_ = resize->addAction(QStringLiteral("Restore top panel"));
    restore_->setEnabled(false);
    connect(shrink_, &QAction::triggered, this, &FinderWindow::shrinkTopPanel);
    connect(restore_, &QAction::triggered, this, &FinderWindow::restoreTopPanel);
    openItem_ = PopupMenu1_->addAction(QStringLiteral("Open"));
    connect(openItem_, &QAction::triggered, this, &FinderWindow::Open1Click);
    QAction* view = PopupMenu1_->addAction(QStringLiteral("View"));
    view->setVisible(bool(tools_.view));
    connect(view, &QAction::triggered, this, [this] {
        const QByteArray file = currentFile();
        if (!file.isEmpty() && marks_.lookUp(file) && tools_.view) {
            tools_.view(file);
        }
    });
    connect(PopupMenu1_->addAction(QStringLiteral("Print")), &QAction::triggered, this,
            &FinderWindow::btPrintClick);
    QMenu* clip = PopupMenu1_->addMenu(QStringLiteral("Clipboard"));
    connect(clip->addAction(QStringLiteral("Filenames only")), &QAction::triggered, this,
            [this] { btClipClick(ClipboardForm::FilenamesOnly); });
    connect(clip->addAction(QStringLiteral("Entire grid separated by tabs")), &QAction::triggered,
            this, [this] { btClipClick(ClipboardForm::EntireGrid); });
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { showPopup(grid_->viewport()->mapToGlobal(at)); });
    connect(pckDrive_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { showPopup(pckDrive_->viewport()->mapToGlobal(at)); });
    connect(btOptions_, &QPushButton::clicked, this,
            [this] { showPopup(btOptions_->mapToGlobal(QPoint(0, btOptions_->height()))); });
}

QString FinderWindow::statusText() const {
    return pnlSel_->text();
}

void FinderWindow::setStatus(const QString& text) {
    pnlSel_->setText(text);
}

bool FinderWindow::pumpDuringFinish(const QString& status, bool allFound) {
    setStatus(status);
    finishing_ = allFound;
    platform::pumpEvents();
    finishing_ = false;
    return !closeRequested_ && !(hooks_ && hooks_->abortRequested());
}

void FinderWindow::pckDriveClick() {
    btScan_->setEnabled(!scanning_ && pckDrive_->checkedCount() > 0);
}

void FinderWindow::setDriveEntries(const QList<DriveEntry>& entries) {
    pckDrive_->setEntries(entries);
    pckDriveClick();
}

void FinderWindow::refillDriveList() {
    FillDriveCheckList(*pckDrive_, setup_.driveKinds, true);
    pckDriveClick();
}

// ---- the scan -----------------------------------------------------------------------

void FinderWindow::btScanClick() {
    if (scanning_ || !btScan_->isEnabled() || !checkOptions()) {
        return;
    }
    const qsizetype marked = marks_.paths().size();
    if (marked > 0 &&
        platform::prompter().ask(
            platform::MessageKind::Question, QCoreApplication::applicationName(),
            QStringLiteral("You have %1 files marked for deletion. Do you really wish to start "
                           "a new search and lose the marks?")
                .arg(FormatThousands(marked)),
            platform::Buttons::YesNo) != platform::Answer::Yes) {
        return;
    }
    scan_ = makeScan(grid_->table());
    if (!scan_) {
        return;
    }
    // Tool tips would pop up over a window that cannot be used meanwhile.
    tipsOff_ = true;
    qApp->installEventFilter(this);
    ClearGrid();
    scan();
    qApp->removeEventFilter(this);
    tipsOff_ = false;
    if (closeRequested_) {
        QDialog::reject();
    }
}

std::unique_ptr<FinderWindow::Scan> FinderWindow::makeScan(GridTable& grid) {
    std::unique_ptr<RowFinder> finder = beginScan(grid);
    if (!finder) {
        return nullptr;
    }
    return std::make_unique<RowFinderScan>(std::move(finder));
}

void FinderWindow::setScanControls(bool scanning) {
    btScan_->setEnabled(!scanning);
    btClose_->setEnabled(!scanning);
    pckDrive_->setEnabled(!scanning);
    setOptionsEnabled(!scanning);
    if (!scanning) {
        pckDriveClick();
    }
}

void FinderWindow::scan() {
    found_ = 0;
    hooks_ = std::make_unique<ScanHooks>(*this, *scan_, pumpIntervalMs_);
    scanning_ = true;
    closeRequested_ = false;
    btAbort_->show();
    for (QPushButton* b : {btMark_, btDelete_, btOptions_, btBrowse_, btDetails_}) {
        b->hide();
    }
    for (QPushButton* b : extraButtons_) {
        b->hide();
    }
    setScanControls(true);
    grid_->setCursor(Qt::WaitCursor);
    btAbort_->setFocus();

    scan_->start();
    hooks_->startWalk();
    {
        FolderWalk walk(walkOptions(), *hooks_);
        walk.walkEntries(pckDrive_->entries());
        hiddenSkipped_ = walk.hiddenFoldersSkipped();
    }
    scan_->finish();
    found_ = scan_->foundCount();
    afterScan();
    fitColumnsToTexts();
    FormResize();
    // Input made while the rows went in has waited in the queue. It is delivered now,
    // while Abort still shows, where it was aimed: a click meant for Abort never lands
    // on the button that takes its place, nor Esc on a window no longer searching.
    // Abort has nothing left to stop by then and ignores it.
    finishing_ = true;
    platform::pumpEvents();
    finishing_ = false;

    grid_->unsetCursor();
    btAbort_->hide();
    scanning_ = false;
    setScanControls(false);
    hooks_.reset();
    scan_.reset();
    if (closeRequested_) {
        return;
    }
    if (found_ == 0) {
        setStatus(foundStatus(0));
        ShowInfo(QString::fromLatin1(kNoFilesText));
        btScan_->setFocus();
        updateCleanButton();
        return;
    }
    btMark_->show();
    btDelete_->setVisible(bool(tools_.reallyDelete));
    btOptions_->show();
    btBrowse_->setVisible(bool(tools_.browse));
    btDetails_->setVisible(bool(tools_.details));
    showResultButtons();
    grid_->setCurrentRow(1);
    grid_->setFocus();
    updateCleanButton();
    setStatus(foundStatus(found_));
}

QString FinderWindow::foundStatus(qsizetype found) const {
    return found == 0 && setup_.foundPrefix.isEmpty()
               ? QString()
               : setup_.foundPrefix + FormatThousands(found) + setup_.foundSuffix;
}

void FinderWindow::btAbortClick() {
    if (!scanning_ || !hooks_ || finishing_) {
        return;
    }
    hooks_->requestAbort();
    if (scan_) {
        scan_->abort();
    }
    btAbort_->hide();
    ShowWarning(QString::fromLatin1(kAbortedText));
}

void FinderWindow::clearTable(GridTable& table) {
    table.beginUpdate();
    table.setRowCount(1);
    table.setColumnCount(int(setup_.titles.size()));
    table.setTitles(setup_.titles);
    table.setRowCount(2);
    table.endUpdate();
}

void FinderWindow::ClearGrid() {
    clearTable(grid_->table());
    found_ = 0;
    sortMenu_->checkOnly(setup_.sort->checkedAtStart);
    clearAllMarks();
    btDelete_->setEnabled(false);
    fitColumnsToTexts();
    FormResize();
    grid_->setFocus();
}

void FinderWindow::fitColumnsToTexts() {
    // A sample of the rows keeps this cheap for millions of rows; a name is allowed up to
    // twice its column's set width (after the mark glyph), a path is cut in the middle.
    const GridTable& table = grid_->table();
    const QFontMetrics metrics(grid_->font());
    const QFontMetrics titles(grid_->horizontalHeader()->font());
    const qsizetype rows = std::min<qsizetype>(table.rowCount(), 2001);
    const double scale = logicalDpiX() / 96.0;
    const auto widestOf = [&](int column) {
        int widest = titles.horizontalAdvance(table.title(column)) + 12;
        for (qsizetype r = 1; r < rows; ++r) {
            widest = std::max(widest, metrics.horizontalAdvance(table.cell(column, r)) + 6);
        }
        return widest;
    };
    const int last = int(textWidths_.size());
    lastWant_ = last < table.columnCount() ? widestOf(last) : 0;
    pathWant_ = 0;
    for (size_t c = 0; c < textWidths_.size(); ++c) {
        const int column = int(c);
        if (column == setup_.elideColumn) {
            textWidths_[c] = 0;
            pathWant_ = widestOf(column);
            continue;
        }
        int widest = widestOf(column);
        if (column == setup_.markColumn) {
            widest = std::min(widest + qRound(setup_.markRoom * scale),
                              qRound(2 * setup_.widths[c] * scale));
        }
        textWidths_[c] = widest;
    }
}

void FinderWindow::widenColumn(int column, int width) {
    if (column >= 0 && size_t(column) < textWidths_.size()) {
        textWidths_[size_t(column)] = std::max(textWidths_[size_t(column)], width);
    }
}

// ---- marks --------------------------------------------------------------------------

void FinderWindow::updateCleanButton() {
    btDelete_->setEnabled(marks_.count() > 0);
}

void FinderWindow::deleteOneFile(qsizetype row) {
    if (row < 1 || row > found_) {
        return;
    }
    GridTable& table = grid_->table();
    const QByteArray path = table.rowData(row);
    if (table.isMarked(row)) {
        table.setMark(row, 0);
        marks_.unmark(path);
    } else {
        table.setMark(row, 1);
        marks_.mark(path);
    }
    if (!table.isUpdating()) {
        setStatus(marks_.statusText());
    }
}

void FinderWindow::DeleteAllFiles() {
    const qsizetype row = grid_->currentRow();
    if (row < 1) {
        return;
    }
    deleteOneFile(row);
    if (row < grid_->table().rowCount() - 1) {
        grid_->setCurrentRow(row + 1);
    }
    updateCleanButton();
}

void FinderWindow::MarkThisFile(qsizetype row) {
    if (row > 0) {
        deleteOneFile(row);
        updateCleanButton();
    }
}

void FinderWindow::gridDblClick() {
    MarkThisFile(grid_->currentRow());
}

void FinderWindow::Markall1Click() {
    {
        const WaitCursor wait;
        const qsizetype current = grid_->currentRow();
        GridTable& table = grid_->table();
        clearAllMarks();
        {
            MarkedFiles::Batch batch(marks_);
            table.beginUpdate();
            for (qsizetype r = 1; r < table.rowCount(); ++r) {
                deleteOneFile(r);
            }
            table.endUpdate();
        }
        grid_->setCurrentRow(current);
        setStatus(marks_.statusText());
    }
    updateCleanButton();
}

void FinderWindow::Unmarkall1Click() {
    clearAllMarks();
    btDelete_->setEnabled(false);
    setStatus(marks_.statusText());
}

void FinderWindow::clearAllMarks() {
    marks_.clear();
    GridTable& table = grid_->table();
    const qsizetype current = grid_->currentRow();
    table.beginUpdate();
    for (qsizetype r = 1; r < table.rowCount(); ++r) {
        table.setMark(r, 0);
    }
    table.endUpdate();
    if (current > 0) {
        grid_->setCurrentRow(current);
    }
}

QByteArray FinderWindow::currentFile() const {
    const qsizetype row = grid_->currentRow();
    return row > 0 && row <= found_ ? grid_->table().rowData(row) : QByteArray();
}

void FinderWindow::btDeleteClick() {
    if (marks_.paths().isEmpty() || !tools_.reallyDelete) {
        return;
    }
    const QHash<QByteArray, QByteArray> twins = twinsOfMarked();
    const int result =
        !twins.isEmpty() && tools_.reallyDeleteWithTwins
            ? tools_.reallyDeleteWithTwins(marks_.paths(), setup_.callerName, marks_.freedBytes(),
                                           twins)
            : tools_.reallyDelete(marks_.paths(), setup_.callerName, marks_.freedBytes());
    if (result != 2) {
        accept();
    }
}

// ---- the menu's actions -------------------------------------------------------------

void FinderWindow::showPopup(const QPoint& globalPos) {
    if (!scanning_) {
        PopupMenu1_->popup(globalPos);
    }
}

void FinderWindow::btPrintClick() {
    const QString title = reportTitle();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    const bool confirmed = ConfirmPrint(printer, this, printDialog_);
    if (!confirmed) {
        return;
    }
    QList<int> widths;
    for (int c = 0; c < grid_->table().columnCount(); ++c) {
        widths << grid_->columnWidth(c);
    }
    PrintGridReport(printer, grid_->table(), widths, title);
}

void FinderWindow::btClipClick(ClipboardForm form) {
    setClipboardText(ClipboardText(grid_->table(), form));
}

void FinderWindow::Open1Click() {
    const QByteArray file = currentFile();
    if (file.isEmpty() || !marks_.lookUp(file)) {
        return;
    }
    if (!platform::openWithDesktop(file)) {
        ShowError(QStringLiteral("Couldn't open ") + QFile::decodeName(file));
    }
}

void FinderWindow::shrinkTopPanel() {
    Panel1_->hide();
    shrink_->setEnabled(false);
    restore_->setEnabled(true);
}

void FinderWindow::restoreTopPanel() {
    Panel1_->show();
    shrink_->setEnabled(true);
    restore_->setEnabled(false);
}

QByteArray FinderWindow::highlightedPath(qsizetype row) const {
    if (!highlight_ || !highlight_->isChecked()) {
        return {};
    }
    const QByteArrayView path = grid_->table().rowDataView(row);
    if (path.isEmpty() || setup_.highlightFiles) {
        return path.toByteArray();
    }
    const qsizetype slash = path.lastIndexOf(platform::kSep);
    return slash <= 0 ? QByteArray(platform::kRootFolder) : path.first(slash).toByteArray();
}

// ---- layout and events --------------------------------------------------------------

void FinderWindow::FormResize() {
    if (!grid_ || grid_->table().columnCount() == 0) {
        return;
    }
    const double scale = logicalDpiX() / 96.0;
    const int fixed = int(setup_.widths.size());
    settingWidths_ = true;
    int used = 0;
    for (int c = 0; c < fixed; ++c) {
        const int user = userWidths_[size_t(c)];
        const int w =
            user > 0 ? user
                     : std::max(qRound(setup_.widths[size_t(c)] * scale), textWidths_[size_t(c)]);
        grid_->setColumnWidth(c, w);
        used += w;
    }
    const int lastMinimum = std::max(qRound(kLastColumnMinimum * scale), lastWant_);
    const int path = setup_.elideColumn;
    if (path >= 0 && path < fixed && userWidths_[size_t(path)] <= 0) {
        // Room the last column does not need shows more of the paths before they are cut.
        const int spare = grid_->viewport()->width() - used - lastMinimum;
        const int grow = std::min(spare, pathWant_ - grid_->columnWidth(path));
        if (grow > 0) {
            grid_->setColumnWidth(path, grid_->columnWidth(path) + grow);
            used += grow;
        }
    }
    const int user = userWidths_[size_t(fixed)];
    grid_->setColumnWidth(fixed, user > 0 ? user
                                          : std::max(qRound(kLastColumnMinimum * scale),
                                                     grid_->viewport()->width() - used));
    settingWidths_ = false;
}

void FinderWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormResize();
    }
}

void FinderWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    std::fill(userWidths_.begin(), userWidths_.end(), 0);
    FormResize();
}

void FinderWindow::reject() {
    // Esc while scanning is Abort; Close (and Esc) otherwise close the window.
    if (scanning_) {
        if (btAbort_->isVisible()) {
            btAbortClick();
        }
        return;
    }
    QDialog::reject();
}

void FinderWindow::closeEvent(QCloseEvent* event) {
    if (scanning_) {
        // The walk runs inside this window's events: stop it, and close once it has
        // returned.
        closeRequested_ = true;
        if (hooks_) {
            hooks_->requestAbort();
        }
        if (scan_) {
            scan_->abort();
        }
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool FinderWindow::eventFilter(QObject* watched, QEvent* event) {
    if (tipsOff_ && event->type() == QEvent::ToolTip) {
        return true;
    }
    if (grid_ && watched == grid_->viewport() && event->type() == QEvent::Resize) {
        FormResize();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace dw
