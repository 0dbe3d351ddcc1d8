#include "finders/ui/dup_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "platform/event_pump.h"
#include "platform/prompter.h"
#include "scan/drive_entry.h"
#include "scan/ui/drive_check_list.h"
#include "scan/window_walk_hooks.h"
#include "widgets/message_boxes.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"
#include "widgets/wait_cursor.h"
#include "widgets/window_placement.h"

namespace dw {

// The window's side of the walk: the per-file step into the search, the folder text in
// the status line, and the window's events between entries (which is when Abort can be
// pressed).
class TfrmDup::ScanHooks final : public WindowWalkHooks {
public:
    ScanHooks(TfrmDup& window, DupSearch& search, int intervalMs)
        : WindowWalkHooks(intervalMs, [this] { pump(); }), window_(window), search_(search) {}

    void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
        if (full_) {
            return;
        }
        ++seen_;
        if (search_.addFile(folder, entry) == DupSearch::Step::Full) {
            full_ = true;
            requestAbort();
            ShowWarning(resourceLimitText());
        }
    }

    // An error box without the sound that ShowError plays.
    void onUnopened(const DriveEntry&, const QString& message) override {
        ShowBox(platform::MessageKind::Error, message);
    }

    // The text is only kept here; the status line shows it when events run, so a walk
    // of millions of files does not repaint it millions of times.
    void onProgress(const QString& folderText) override { progress_ = folderText; }

private:
    void pump() {
        // The counts first: a long folder is cut at the status line's right edge.
        const qsizetype found = search_.candidateCount();
        if (progress_ != shown_ || seen_ != shownSeen_ || found != shownFound_) {
            shown_ = progress_;
            shownSeen_ = seen_;
            shownFound_ = found;
            window_.setStatus(QStringLiteral("%1 files seen, %2 %3 - %4")
                                  .arg(FormatThousands(seen_), FormatThousands(found),
                                       window_.duplicateMode() ? QStringLiteral("in the size range")
                                                               : QStringLiteral("file hogs"),
                                       shown_));
        }
        platform::pumpEvents();
    }

    TfrmDup& window_;
    DupSearch& search_;
    QString progress_;
    QString shown_;
    qint64 seen_ = 0;
    qint64 shownSeen_ = -1;
    qsizetype shownFound_ = -1;
    bool full_ = false;
};

TfrmDup::TfrmDup(bool duplicateMode, const SafeHarbor* harbor, QWidget* parent, Tools tools)
    : QDialog(parent), duplicateMode_(duplicateMode), harbor_(harbor), tools_(std::move(tools)) {
    setObjectName(QStringLiteral("frmDup"));
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    buildControls();
    buildMenu();

    // On creation the criterion starts as "Filename only", and the drive list is filled
    // with the extra folders.
    cbDup_->setCurrentIndex(0);
    FillDriveCheckList(*pckDrive_, kFinderDriveKinds, true);
    const QString hiddenValue = QLatin1String(duplicateMode_ ? settings::kHiddenFoldersDuplicates
                                                             : settings::kHiddenFoldersFileHogs);
    cbHidden_->setChecked(
        SettingsStore().readInteger(QLatin1String(settings::kFinderOptions), hiddenValue, 0) == 1);
    connect(cbHidden_, &QCheckBox::toggled, this, [hiddenValue](bool on) {
        SettingsStore().writeInteger(QLatin1String(settings::kFinderOptions), hiddenValue,
                                     on ? 1 : 0);
    });
    // A width the user gives a column (by dragging or double-clicking the edge of its
    // title) stays until the window is resized.
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) {
                if (!settingWidths_ && column >= 0 && column < kDupColumnCount) {
                    userWidths_[size_t(column)] = width;
                }
            });

    connect(rbLarger_, &QRadioButton::toggled, this, &TfrmDup::rbLargerClick);
    connect(rbSmaller_, &QRadioButton::toggled, this, &TfrmDup::rbLargerClick);
    connect(rbBetween_, &QRadioButton::toggled, this, &TfrmDup::rbLargerClick);
    connect(cbWildCard_, &QComboBox::editTextChanged, this, &TfrmDup::cbWildCardChange);
    connect(pckDrive_, &DriveCheckList::checksChanged, this, &TfrmDup::pckDriveClick);
    connect(btScan_, &QPushButton::clicked, this, &TfrmDup::btScanClick);
    connect(btClose_, &QPushButton::clicked, this, &TfrmDup::reject);
    connect(btAbort_, &QPushButton::clicked, this, &TfrmDup::btAbortClick);
    connect(btMark_, &QPushButton::clicked, this, &TfrmDup::DeleteAllFiles);
    connect(btDelete_, &QPushButton::clicked, this, &TfrmDup::btDeleteClick);
    connect(btDetails_, &QPushButton::clicked, details_, &QAction::trigger);
    connect(btBrowse_, &QPushButton::clicked, this, [this] {
        const QByteArray file = currentFile();
        if (!file.isEmpty() && tools_.browse) {
            tools_.browse(file, cbWildCard_->currentText());
        }
    });
    connect(btCompare_, &QPushButton::clicked, this, [this] {
        if (tools_.comparePairs) {
            tools_.comparePairs(*this);
        }
    });
    connect(grid_, &StringGrid::rowDoubleClicked, this, &TfrmDup::gridDblClick);
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
    FormShow();
}

TfrmDup::~TfrmDup() {
    if (tipsOff_) {
        qApp->removeEventFilter(this);
    }
    saveWindowPlacement(
        this, duplicateMode_ ? settings::kPlacementDuplicates : settings::kPlacementFileHogs);
}

QString TfrmDup::statusText() const {
    return pnlSel_->text();
}

void TfrmDup::setStatus(const QString& text) {
    pnlSel_->setText(text);
}

bool TfrmDup::includeHiddenFolders() const {
    return cbHidden_->isChecked();
}

DupOptions TfrmDup::options() const {
    DupOptions o;
    o.duplicateMode = duplicateMode_;
    o.criterion = duplicateMode_ ? cbDup_->currentIndex() : 0;
    o.sizeTest = rbBetween_->isChecked()   ? SizeTest::Between
                 : rbSmaller_->isChecked() ? SizeTest::SmallerOrEqual
                                           : SizeTest::LargerOrEqual;
    o.num1 = num1_->value();
    o.num2 = num2_->value();
    o.unit = cbKB1_->currentIndex() == 0 ? SizeUnit::Bytes : SizeUnit::KB;
    o.pattern = cbWildCard_->currentText();
    o.candidateLimit = candidateLimit_;
    return o;
}

// ---- options ------------------------------------------------------------------------

void TfrmDup::rbLargerClick() {
    const bool between = rbBetween_->isChecked();
    num2_->setVisible(between);
    lblAnd_->setVisible(between);
}

void TfrmDup::cbWildCardChange() {
    const QString text = cbWildCard_->currentText();
    lblWild_->setText(text == QLatin1String("*.*") ? QStringLiteral("All files")
                                                   : FileTypeName(text.mid(1)));
}

void TfrmDup::pckDriveClick() {
    btScan_->setEnabled(!scanning_ && pckDrive_->checkedCount() > 0);
}

void TfrmDup::setDriveEntries(const QList<DriveEntry>& entries) {
    pckDrive_->setEntries(entries);
    pckDriveClick();
}

void TfrmDup::refillDriveList() {
    FillDriveCheckList(*pckDrive_, kFinderDriveKinds, true);
    pckDriveClick();
}

// ---- the scan -----------------------------------------------------------------------

void TfrmDup::btScanClick() {
    if (scanning_ || !btScan_->isEnabled()) {
        return;
    }
    for (QSpinBox* n : {num1_, num2_}) {
        if ((n == num1_ || rbBetween_->isChecked()) && n->value() > kSizeLimitMax) {
            ShowError(QStringLiteral("The size %1 is too large: the sizes go from 0 to %2.")
                          .arg(FormatThousands(n->value()), FormatThousands(kSizeLimitMax)));
            n->setFocus();
            n->selectAll();
            return;
        }
    }
    if (rbBetween_->isChecked() && num2_->value() < num1_->value()) {
        ShowError(QString::fromLatin1(kSecondNumberError));
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
    if (duplicateMode_) {
        criterion_ = cbDup_->currentIndex();
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

void TfrmDup::setScanControls(bool scanning) {
    for (QWidget* w : std::initializer_list<QWidget*>{btScan_, btClose_, pckDrive_, num1_, num2_,
                                                      cbKB1_, cbWildCard_, rbLarger_, rbSmaller_,
                                                      rbBetween_, cbDup_, cbHidden_}) {
        w->setEnabled(!scanning);
    }
    if (!scanning) {
        pckDriveClick();
    }
}

void TfrmDup::scan() {
    resultCount_ = 0;
    DupSearch search(options());
    hooks_ = std::make_unique<ScanHooks>(*this, search, pumpIntervalMs_);

    scanning_ = true;
    closeRequested_ = false;
    btAbort_->show();
    for (QPushButton* b : {btMark_, btDelete_, btOptions_, btBrowse_, btDetails_, btCompare_}) {
        b->hide();
    }
    setScanControls(true);
    grid_->setCursor(Qt::WaitCursor);
    btAbort_->setFocus();

    WalkOptions walkOptions;
    walkOptions.pattern = WildcardPattern(search.options().pattern);
    walkOptions.enterHidden = cbHidden_->isChecked();
    hooks_->startWalk();
    {
        FolderWalk walk(walkOptions, *hooks_);
        walk.ScanAllDrives(pckDrive_->entries());
        hiddenSkipped_ = walk.hiddenFoldersSkipped();
    }
    search.finish();
    resultCount_ = search.resultCount();
    search.fillGrid(grid_->table());
    fitColumnsToTexts();
    FormResize();
    if (!duplicateMode_) {
        // The grid was sorted by size, largest first: the next "Size" sort goes the other
        // way.
        sortMenu_->setDescending(0, false);
        sortMenu_->checkOnly(0);
    }

    grid_->unsetCursor();
    btAbort_->hide();
    scanning_ = false;
    setScanControls(false);
    hooks_.reset();
    if (closeRequested_) {
        return;
    }
    if (resultCount_ > 0) {
        btMark_->show();
        btDelete_->setVisible(bool(tools_.reallyDelete));
        btOptions_->show();
        btBrowse_->setVisible(bool(tools_.browse));
        btDetails_->setVisible(bool(tools_.details));
        btCompare_->setVisible(duplicateMode_ && bool(tools_.comparePairs));
        grid_->setCurrentRow(1);
        grid_->setFocus();
    }
    updateCleanButton();
    // What the search left out, so that a user looking for space in ~/.cache knows why
    // it was not found.
    const QString skipped =
        hiddenSkipped_ == 0 ? QString()
        : hiddenSkipped_ == 1
            ? QStringLiteral("1 hidden folder skipped (see Include hidden folders)")
            : QStringLiteral("%1 hidden folders skipped (see Include hidden folders)")
                  .arg(FormatThousands(hiddenSkipped_));
    if (resultCount_ == 0) {
        setStatus(skipped);
        ShowInfo(QString::fromLatin1(kNoFilesText));
        btScan_->setFocus();
        return;
    }
    setStatus(FormatThousands(resultCount_) +
              QLatin1String(duplicateMode_ ? " duplicates found" : " file hogs found") +
              (skipped.isEmpty() ? QString() : QStringLiteral(", ") + skipped));
}

void TfrmDup::btAbortClick() {
    if (!scanning_ || !hooks_) {
        return;
    }
    hooks_->requestAbort();
    btAbort_->hide();
    ShowWarning(QString::fromLatin1(kAbortedText));
}

void TfrmDup::ClearGrid() {
    ClearDupGrid(grid_->table(), duplicateMode_);
    resultCount_ = 0;
    sortMenu_->checkOnly(0);
    clearAllMarks();
    btDelete_->setEnabled(false);
    fitColumnsToTexts();
    FormResize();
    grid_->setFocus();
}

// ---- marks --------------------------------------------------------------------------

void TfrmDup::updateCleanButton() {
    btDelete_->setEnabled(marks_.count() > 0);
}

void TfrmDup::deleteOneFile(qsizetype row) {
    if (row < 1 || row > resultCount_) {
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

void TfrmDup::MarkThisFile(qsizetype row) {
    if (row > 0) {
        deleteOneFile(row);
        updateCleanButton();
    }
}

void TfrmDup::DeleteAllFiles() {
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

void TfrmDup::gridDblClick() {
    const qsizetype row = grid_->currentRow();
    if (row > 0) {
        deleteOneFile(row);
        updateCleanButton();
    }
}

void TfrmDup::Markall1Click() {
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
    btDelete_->setEnabled(true);
}

void TfrmDup::Unmarkall1Click() {
    clearAllMarks();
    btDelete_->setEnabled(false);
    setStatus(marks_.statusText());
}

void TfrmDup::clearAllMarks() {
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

QByteArray TfrmDup::currentFile() const {
    const qsizetype row = grid_->currentRow();
    return row > 0 && row <= resultCount_ ? grid_->table().rowData(row) : QByteArray();
}

// ---- the hand-off -------------------------------------------------------------------

void TfrmDup::btDeleteClick() {
    if (marks_.paths().isEmpty() || !tools_.reallyDelete) {
        return;
    }
    const int result =
        tools_.reallyDelete(marks_.paths(), QStringLiteral("Duplicates"), marks_.totalBytes());
    if (result != 2) {
        accept();
    }
}

// ---- events -------------------------------------------------------------------------

void TfrmDup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormResize();
    }
}

void TfrmDup::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    userWidths_.fill(0);
    FormResize();
}

void TfrmDup::reject() {
    // Esc while scanning is Abort; Close (and Esc) otherwise close the window.
    if (scanning_) {
        if (btAbort_->isVisible()) {
            btAbortClick();
        }
        return;
    }
    QDialog::reject();
}

void TfrmDup::closeEvent(QCloseEvent* event) {
    if (scanning_) {
        // The walk runs inside this window's events: stop it, and close once it has
        // returned.
        closeRequested_ = true;
        if (hooks_) {
            hooks_->requestAbort();
        }
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool TfrmDup::eventFilter(QObject* watched, QEvent* event) {
    if (tipsOff_ && event->type() == QEvent::ToolTip) {
        return true;
    }
    // The grid's room changes also without the window's (its scroll bar comes and goes).
    if (watched == grid_->viewport() && event->type() == QEvent::Resize) {
        FormResize();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace dw
