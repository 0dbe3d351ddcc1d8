#include "finders/ui/browse_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

#include "base/file_dates.h"
#include "base/settings_sections.h"
#include "base/utility.h"
#include "platform/dir_reader.h"
#include "platform/environment.h"
#include "platform/file_remover.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "platform/volumes.h"
#include "safety/folder_clean.h"
#include "safety/safe_harbor.h"
#include "safety/ui/del_directory.h"
#include "safety/ui/really_delete.h"
#include "scan/ui/wildcard_dialog.h"
#include "scan/wildcard.h"
#include "widgets/drive_combo_box.h"
#include "widgets/elided_label.h"
#include "widgets/folder_list_box.h"
#include "widgets/message_boxes.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"
#include "widgets/wait_cursor.h"
#include "widgets/window_placement.h"

namespace dw {

namespace {

constexpr int kSizeColumn = 3;
constexpr int kNameColumn = 4;
constexpr int kTypeColumn = 5;

}  // namespace

TfrmBrowse::TfrmBrowse(SafeHarbor& harbor, QWidget* parent, QString* defaultZipPath, Tools tools)
    : QDialog(parent), harbor_(harbor), defaultZipPath_(defaultZipPath), tools_(std::move(tools)) {
    setObjectName(QStringLiteral("frmBrowse"));
    setWindowTitle(QStringLiteral("Browse through folders"));
    resize(900, 600);
    auto* layout = new QVBoxLayout(this);
    auto* splitter = new QSplitter(this);

    auto* left = new QWidget(splitter);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    DriveComboBox1_ = new DriveComboBox(left);
    DriveComboBox1_->setObjectName(QStringLiteral("DriveComboBox1"));
    DirectoryListBox1_ = new FolderListBox(left);
    DirectoryListBox1_->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1_->setToolTip(QStringLiteral("Double click to select"));
    DirectoryListBox1_->setSiblingsShown(true);
    leftLayout->addWidget(DriveComboBox1_);
    leftLayout->addWidget(DirectoryListBox1_, 1);

    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    Label1_ = new ElidedLabel(right);
    Label1_->setObjectName(QStringLiteral("Label1"));
    Label1_->setMinimumWidth(100);
    Label1_->setAutoFillBackground(true);
    grid_ = new StringGrid(right);
    grid_->setObjectName(QStringLiteral("grid"));
    grid_->setToolTip(QStringLiteral("Double click to mark, right click for options"));
    grid_->table().setColumnCount(6);
    grid_->setMarkColumn(kNameColumn);
    grid_->setColumnAlignment(kSizeColumn, Qt::AlignRight);
    grid_->setShowGrid(false);
    grid_->setColumnElide(kNameColumn, Qt::ElideMiddle);
    grid_->setColumnElide(kTypeColumn, Qt::ElideRight);
    const int widths[] = {75, 90, 75, 75};
    for (int c = 0; c < 4; ++c) {
        grid_->setColumnWidth(c, widths[c]);
    }
    // "Filename" and "Type" share what the first four columns leave until the user sizes a
    // column: from then on the widths are the user's.
    grid_->viewport()->installEventFilter(this);
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (!sharingColumns_) {
            columnsSized_ = true;
        }
    });
    btOptions_ = new QPushButton(QStringLiteral("Options"), right);
    btOptions_->setObjectName(QStringLiteral("btOptions"));
    btOptions_->setToolTip(QStringLiteral("Right click on grid for same options"));
    btOptions_->setAutoDefault(false);
    auto* aboveGrid = new QHBoxLayout;
    aboveGrid->addWidget(Label1_, 1);
    aboveGrid->addWidget(btOptions_);
    rightLayout->addLayout(aboveGrid);
    rightLayout->addWidget(grid_, 1);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({220, 680});
    layout->addWidget(splitter, 1);

    auto* status = new QHBoxLayout;
    pnlScan_ = new QLabel(this);
    pnlScan_->setObjectName(QStringLiteral("pnlScan"));
    pnlWild_ = new QPushButton(this);
    pnlWild_->setObjectName(QStringLiteral("pnlWild"));
    pnlWild_->setFlat(true);
    pnlWild_->setToolTip(QStringLiteral("Click to change the wildcard pattern"));
    pnlSize_ = new QLabel(this);
    pnlSize_->setObjectName(QStringLiteral("pnlSize"));
    for (QLabel* l : {pnlScan_, pnlSize_}) {
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
    }
    status->addWidget(pnlScan_, 2);
    status->addWidget(pnlWild_, 1);
    status->addWidget(pnlSize_, 1);
    layout->addLayout(status);

    auto* buttons = new QHBoxLayout;
    btDeleteDirectory_ = new QPushButton(QStringLiteral("Delete &Folder"), this);
    btDeleteDirectory_->setObjectName(QStringLiteral("btDeleteDirectory"));
    btDeleteDirectory_->setToolTip(QStringLiteral("Delete folder and all files/folders below"));
    btLaunch_ = new QPushButton(QStringLiteral("&Open"), this);
    btLaunch_->setObjectName(QStringLiteral("btLaunch"));
    btLaunch_->setToolTip(QStringLiteral("Run/launch associated application"));
    btMark_ = new QPushButton(QStringLiteral("&Mark"), this);
    btMark_->setObjectName(QStringLiteral("btMark"));
    btMark_->setToolTip(QStringLiteral("Mark/unmark files for deletion"));
    btView_ = new QPushButton(QStringLiteral("&View"), this);
    btView_->setObjectName(QStringLiteral("btView"));
    btView_->setToolTip(QStringLiteral("View file"));
    btView_->setVisible(bool(tools_.view));
    btDeleteFiles_ = new QPushButton(QStringLiteral("&Clean marked files"), this);
    btDeleteFiles_->setObjectName(QStringLiteral("btDeleteFiles"));
    btDeleteFiles_->setToolTip(QStringLiteral("Clean up marked files"));
    btDeleteFiles_->setEnabled(false);
    btClose_ = new QPushButton(QStringLiteral("Close"), this);
    btClose_->setObjectName(QStringLiteral("btClose"));
    buttons->addWidget(btDeleteDirectory_);
    buttons->addStretch(1);
    for (QPushButton* b : {btLaunch_, btView_, btMark_, btDeleteFiles_, btClose_}) {
        buttons->addWidget(b);
    }
    for (QPushButton* b :
         {btDeleteDirectory_, btLaunch_, btView_, btMark_, btDeleteFiles_, btClose_}) {
        b->setAutoDefault(false);
    }
    // "&Details" leads the file buttons.
    btDetails_ = new QPushButton(QStringLiteral("&Details"), this);
    btDetails_->setObjectName(QStringLiteral("btDetails"));
    btDetails_->setToolTip(QStringLiteral("View more file details"));
    btDetails_->setAutoDefault(false);
    btDetails_->setVisible(bool(tools_.details));
    buttons->insertWidget(buttons->indexOf(btLaunch_), btDetails_);
    layout->addLayout(buttons);

    popup_ = new QMenu(this);
    QMenu* sort = popup_->addMenu(QStringLiteral("Sort"));
    sortMenu_ = new SortMenu(&grid_->table(), kSortMenuBrowse, this);
    sortMenu_->addTo(sort);
    QMenu* mark = popup_->addMenu(QStringLiteral("Mark"));
    connect(mark->addAction(QStringLiteral("Mark all")), &QAction::triggered, this,
            &TfrmBrowse::Markall1Click);
    connect(mark->addAction(QStringLiteral("Unmark all")), &QAction::triggered, this,
            &TfrmBrowse::Unmarkall1Click);
    connect(popup_->addAction(QStringLiteral("Open")), &QAction::triggered, this,
            &TfrmBrowse::btLaunchClick);
    QAction* view = popup_->addAction(QStringLiteral("View"));
    view->setVisible(bool(tools_.view));
    connect(view, &QAction::triggered, this, &TfrmBrowse::btViewClick);
    auto* details = new QAction(QStringLiteral("Details"), popup_);
    details->setVisible(bool(tools_.details));
    popup_->insertAction(popup_->actions().value(0), details);
    connect(details, &QAction::triggered, this, &TfrmBrowse::Details1Click);
    connect(btDetails_, &QPushButton::clicked, this, &TfrmBrowse::Details1Click);
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popup_->popup(grid_->viewport()->mapToGlobal(at)); });
    connect(btOptions_, &QPushButton::clicked, this,
            [this] { popup_->popup(btOptions_->mapToGlobal(QPoint(0, btOptions_->height()))); });

    connect(DriveComboBox1_, &DriveComboBox::driveChosen, this,
            [this](const QByteArray& mountPoint) { setFolder(mountPoint); });
    connect(DirectoryListBox1_, &FolderListBox::folderChanged, this, [this](const QByteArray&) {
        DriveComboBox1_->showVolumeOf(DirectoryListBox1_->folder());
        refill();
    });
    connect(grid_, &StringGrid::titleClicked, this,
            [this](int column) { sortMenu_->chooseColumn(column); });
    connect(grid_, &StringGrid::rowDoubleClicked, this, [this] { gridDblClick(); });
    connect(pnlWild_, &QPushButton::clicked, this, &TfrmBrowse::pnlScanClick);
    connect(btMark_, &QPushButton::clicked, this, &TfrmBrowse::btMarkClick);
    connect(btDeleteFiles_, &QPushButton::clicked, this, &TfrmBrowse::btDeleteFilesClick);
    connect(btDeleteDirectory_, &QPushButton::clicked, this, &TfrmBrowse::btDeleteDirectoryClick);
    connect(btLaunch_, &QPushButton::clicked, this, &TfrmBrowse::btLaunchClick);
    connect(btView_, &QPushButton::clicked, this, &TfrmBrowse::btViewClick);
    connect(btClose_, &QPushButton::clicked, this, &TfrmBrowse::reject);

    pnlWild_->setText(QStringLiteral("Wildcard : ") + mask_);
    restoreWindowPlacement(this, settings::kPlacementBrowser);
    setFolder(platform::currentFolder());
}

TfrmBrowse::~TfrmBrowse() {
    saveWindowPlacement(this, settings::kPlacementBrowser);
}

bool TfrmBrowse::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_->viewport() && event->type() == QEvent::Resize && !columnsSized_) {
        shareNameAndTypeColumns();
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmBrowse::shareNameAndTypeColumns() {
    int left = grid_->viewport()->width();
    for (int c = 0; c < kNameColumn; ++c) {
        left -= grid_->columnWidth(c);
    }
    const int share = std::max(left / 2, 40);
    sharingColumns_ = true;
    grid_->setColumnWidth(kNameColumn, share);
    grid_->setColumnWidth(kTypeColumn, std::max(left - share, 40));
    sharingColumns_ = false;
}

void TfrmBrowse::setFolder(const QByteArray& folder) {
    if (folder == DirectoryListBox1_->folder()) {
        refill();
        return;
    }
    DirectoryListBox1_->setFolder(folder);  // refills through folderChanged
}

QByteArray TfrmBrowse::folder() const {
    return DirectoryListBox1_->folder();
}

void TfrmBrowse::setMask(const QString& mask) {
    mask_ = mask.isEmpty() ? QStringLiteral("*.*") : mask;
    pnlWild_->setText(QStringLiteral("Wildcard : ") + mask_);
    refill();
}

void TfrmBrowse::pnlScanClick() {
    TfrmWildCard dialog(this);
    dialog.setPattern(mask_);
    if (dialog.exec() == QDialog::Accepted) {
        setMask(dialog.pattern());
    }
}

void TfrmBrowse::refill() {
    const QByteArray folder = DirectoryListBox1_->folder();
    if (!platform::isReady(folder)) {
        return;
    }
    WaitCursor wait;
    btDeleteFiles_->setEnabled(false);
    clearAllMarks();
    FillGrid();
    sortMenu_->resortChecked();
    pnlScan_->setText(QStringLiteral("Number of files : ") + FormatThousands(fileCount_));
    pnlSize_->setText(QStringLiteral("Total size : ") + FormatThousands(folderTotal_));
    updateLabel();
}

void TfrmBrowse::FillGrid() {
    const QByteArray folder = DirectoryListBox1_->folder();
    const WildcardPattern pattern(mask_);
    std::vector<platform::DirEntry> files;
    platform::DirReader reader;
    if (reader.open(folder)) {
        platform::DirEntry e;
        while (reader.next(e)) {
            if (!e.isFolder() && !e.isHidden() && !e.isSystem() && pattern.matches(e.name)) {
                files.push_back(e);
            }
        }
    }
    std::sort(
        files.begin(), files.end(), [](const platform::DirEntry& a, const platform::DirEntry& b) {
            const int folded =
                qstrnicmp(a.name.constData(), a.name.size(), b.name.constData(), b.name.size());
            return folded != 0 ? folded < 0 : a.name < b.name;
        });
    GridTable& t = grid_->table();
    t.setRowCount(1);
    t.setTitles({QStringLiteral("Modified"), QStringLiteral("Time"), QStringLiteral("Access"),
                 QStringLiteral("Size"), QStringLiteral("Filename"), QStringLiteral("Type")});
    folderTotal_ = 0;
    fileCount_ = qsizetype(files.size());
    QList<GridRow> rows;
    for (const platform::DirEntry& e : files) {
        const quint32 modified = ModifiedFileDate(e);
        GridRow row;
        row.cells = {FileDateToDateText(modified),
                     FileDateToTimeText(modified),
                     FileDateToDateText(AccessedFileDate(e)),
                     FormatThousands(e.size),
                     QFile::decodeName(e.name),
                     FileTypeOfName(QFile::decodeName(e.name))};
        row.data = platform::joinPath(folder, e.name);
        rows.append(row);
        folderTotal_ += e.size;
    }
    if (rows.isEmpty()) {
        rows.append(GridRow{});
    }
    grid_->appendRows(rows);
    grid_->setCurrentRow(1);
}

bool TfrmBrowse::selectFile(const QByteArray& path) {
    const GridTable& t = grid_->table();
    for (qsizetype row = 1; row < t.rowCount(); ++row) {
        if (t.rowData(row) == path) {
            grid_->setCurrentRow(row);
            return true;
        }
    }
    return false;
}

void TfrmBrowse::updateLabel() {
    const QString text = QFile::decodeName(DirectoryListBox1_->folder());
    Label1_->setText(text);
    // From the window's palette: the label's own keeps the colours of the last folder.
    QPalette palette = this->palette();
    if (harbor_.isInSafeHarbor(DirectoryListBox1_->folder(), false)) {
        palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
        palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
        Label1_->setNote(QStringLiteral("Folder is ON the Non-Deletion List"));
    } else {
        palette.setColor(QPalette::Window, palette.color(QPalette::Button));
        Label1_->setNote(QString());
    }
    Label1_->setPalette(palette);
}

void TfrmBrowse::clearAllMarks() {
    GridTable& t = grid_->table();
    for (qsizetype r = 1; r < t.rowCount(); ++r) {
        t.setMark(r, 0);
    }
    marked_.clear();
    markedBytes_ = 0;
}

void TfrmBrowse::toggle(qsizetype row) {
    GridTable& t = grid_->table();
    const QByteArray path = t.rowData(row);
    if (path.isEmpty()) {
        return;
    }
    // The size is the file's as it is now; a file gone since changes no total.
    const std::optional<platform::DirEntry> now = platform::statPath(path);
    const qint64 size = now && !now->isFolder() ? now->size : 0;
    if (t.isMarked(row)) {
        t.setMark(row, 0);
        if (marked_.contains(path)) {
            markedBytes_ -= marked_.take(path);
        }
    } else {
        t.setMark(row, 1);
        if (now) {
            marked_.insert(path, size);
            markedBytes_ += size;
        }
    }
}

void TfrmBrowse::showMarked() {
    pnlScan_->setText(QStringLiteral("Marked for deletion: %1 files %2 bytes")
                          .arg(marked_.size())
                          .arg(FormatThousands(markedBytes_)));
    btDeleteFiles_->setEnabled(!marked_.isEmpty());
}

void TfrmBrowse::btMarkClick() {
    const qsizetype row = grid_->currentRow();
    if (row < 1 || grid_->table().cell(kNameColumn, row).isEmpty()) {
        return;
    }
    toggle(row);
    if (row + 1 < grid_->table().rowCount()) {
        grid_->setCurrentRow(row + 1);
    }
    showMarked();
}

void TfrmBrowse::gridDblClick() {
    const qsizetype row = grid_->currentRow();
    if (row < 1 || grid_->table().cell(kNameColumn, row).isEmpty()) {
        return;
    }
    toggle(row);
    showMarked();
}

void TfrmBrowse::Markall1Click() {
    WaitCursor wait;
    clearAllMarks();
    for (qsizetype r = 1; r < grid_->table().rowCount(); ++r) {
        toggle(r);
    }
    showMarked();
}

void TfrmBrowse::Unmarkall1Click() {
    clearAllMarks();
    showMarked();
}

void TfrmBrowse::btDeleteFilesClick() {
    if (marked_.isEmpty()) {
        return;
    }
    QList<QByteArray> files = marked_.keys();
    std::sort(files.begin(), files.end());
    if (tools_.reallyDelete) {
        tools_.reallyDelete(files);
    } else {
        TfrmReallyDelete::execute(this, harbor_, files, QString(), defaultZipPath_);
    }
    refill();
}

void TfrmBrowse::btDeleteDirectoryClick() {
    const QByteArray folder = DirectoryListBox1_->folder();
    if (folder == platform::kRootFolder ||
        folderRefusalCode(folder) == platform::RemoveCode::MountPoint) {
        ShowError(QStringLiteral(
            "Cannot delete the root folder! To delete a folder including all files and "
            "sub-folders double click on the desired folder shown in the left panel."));
        return;
    }
    if (platform::isSystemFolder(folder)) {
        ShowError(QStringLiteral("You cannot delete the Windows folder using Diskwell 98"));
        return;
    }
    setFolder(platform::folderOfPath(folder));
    const int result = tools_.delDirectory ? tools_.delDirectory(folder)
                                           : TfrmDelDirectory::execute(this, harbor_, folder,
                                                                       nullptr, defaultZipPath_);
    harbor_.clearMemo();
    if (result == TfrmDelDirectory::kNothingDone && platform::statPath(folder)) {
        setFolder(folder);
    } else {
        DirectoryListBox1_->refresh();
        refill();
    }
}

void TfrmBrowse::btViewClick() {
    const QByteArray path = grid_->table().rowData(grid_->currentRow());
    if (path.isEmpty() || !platform::statPath(path) || !tools_.view) {
        return;
    }
    tools_.view(path);
}

void TfrmBrowse::btLaunchClick() {
    const QByteArray path = grid_->table().rowData(grid_->currentRow());
    if (path.isEmpty() || !platform::statPath(path)) {
        return;
    }
    if (!platform::openWithDesktop(path)) {
        ShowError(QStringLiteral("Couldn't open ") + QFile::decodeName(path));
    }
}

void TfrmBrowse::Details1Click() {
    const QByteArray path = grid_->table().rowData(grid_->currentRow());
    if (path.isEmpty() || !platform::statPath(path) || !tools_.details) {
        return;
    }
    tools_.details(path);
}

void TfrmBrowse::reject() {
    if (!marked_.isEmpty() &&
        platform::prompter().ask(
            platform::MessageKind::Question, QCoreApplication::applicationName(),
            QStringLiteral("You have %1 files marked for deletion. ").arg(marked_.size()) +
                QStringLiteral("Do you really wish to exit without deleting?"),
            platform::Buttons::YesNo) != platform::Answer::Yes) {
        return;
    }
    QDialog::reject();
}

QString TfrmBrowse::scanText() const {
    return pnlScan_->text();
}

QString TfrmBrowse::sizeText() const {
    return pnlSize_->text();
}

}  // namespace dw
