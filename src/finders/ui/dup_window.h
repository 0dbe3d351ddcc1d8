#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <memory>

#include "finders/dup_search.h"
#include "finders/marked_files.h"
#include "inspect/grid_export.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QMenu;
class QPrinter;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace dw {

class DriveCheckList;
class SafeHarbor;
class SortMenu;
class StringGrid;

// The duplicates and file-hogs window `frmDup`: one window, two modes chosen when it is
// made (the main window's DuplicateMode). Duplicate mode finds groups of files that
// agree on a criterion; file-hog mode lists the files of a size range, largest first.
// Both walk the checked drives and folders, fill the result grid, and let the user mark
// files, sort (file-hog mode), print, copy and open them.
//
// Every row of the grid carries its file's native path as its hidden value, and every
// action on a row (mark, open, copy the file names, hand-off) uses that path, never the
// text of the cells, so a name holding a TAB, a line break, blanks at its ends or bytes
// that are not UTF-8 is acted on as exactly that file.
//
// Shown modally and destroyed when it closes; it saves its placement then. While a scan
// runs, only Abort (or Esc) acts; closing the window then stops the scan and closes it
// once the walk has returned.
class TfrmDup : public QDialog {
    Q_OBJECT

public:
    // The windows that later parts of the program open from here. A service that is
    // not given is not offered: its buttons and menu items stay hidden.
    struct Tools {
        // The deletion panel, given the marked files, the caller word and their total;
        // returns its modal result: 2 when it was closed without acting.
        std::function<int(const QList<QByteArray>& files, const QString& callerName,
                          qint64 totalSize)>
            reallyDelete;
        // The details window and the file viewer, for one file.
        std::function<void(const QByteArray& file)> details;
        std::function<void(const QByteArray& file)> view;
        // The browser, at a file's folder and name, with a file mask.
        std::function<void(const QByteArray& file, const QString& mask)> browse;
        // The dialog that adds extra folders to the drive lists; true when it changed them.
        std::function<bool()> addNewFolder;
        // The pair comparison, shown without being modal, reading this window.
        std::function<void(TfrmDup& source)> comparePairs;
    };

    // `harbor` (may be null: no highlighting is offered) must outlive the window.
    TfrmDup(bool duplicateMode, const SafeHarbor* harbor, QWidget* parent = nullptr,
            Tools tools = {});
    ~TfrmDup() override;

    bool duplicateMode() const { return duplicateMode_; }
    // The criterion of the last scan (0 to 6), as the pair comparison reads it.
    int criterion() const { return criterion_; }
    // Results of the last scan (the grid's data rows that hold a file).
    qsizetype resultCount() const { return resultCount_; }
    bool isScanning() const { return scanning_; }
    const MarkedFiles& marks() const { return marks_; }
    StringGrid* grid() const { return grid_; }
    DriveCheckList* driveList() const { return pckDrive_; }
    // The status line's text.
    QString statusText() const;
    // The options as they stand in the window.
    DupOptions options() const;
    // "Include hidden folders": whether the walk enters hidden folders. Off by default;
    // the window remembers it in the settings (each mode apart).
    bool includeHiddenFolders() const;
    // The hidden folders the last scan left out (0 when they were included).
    qint64 hiddenFoldersSkipped() const { return hiddenSkipped_; }
    // The title of the printed report for the current options and checked entries.
    QString reportTitle() const;

    // For tests: the most candidates a scan may collect; how often the walk lets window
    // events run (milliseconds); what asks for the printer (default: the print dialog,
    // which offers the system's printers and PDF).
    void setCandidateLimit(qsizetype limit) { candidateLimit_ = limit; }
    void setPumpInterval(int milliseconds) { pumpIntervalMs_ = milliseconds; }
    void setPrintDialog(std::function<bool(QPrinter&)> ask) { printDialog_ = std::move(ask); }
    // Replaces the entries of the drive list (and enables Start as its checks say).
    void setDriveEntries(const QList<DriveEntry>& entries);

    // ---- the window's operations -----------------------------------------------------

    // "&Start": checks the limits and, while files are marked, asks whether to drop the
    // marks ("You have N files marked ...", Yes/No; No keeps everything); then copies
    // the criterion, clears the grid and scans.
    void btScanClick();
    // "&Abort": sets the abort flag, hides the button, warns at once.
    void btAbortClick();
    // "Clean?": hands the marked files to the deletion panel.
    void btDeleteClick();
    // "Print": the report title, the print dialog, the grid report.
    void btPrintClick();
    // "Clipboard" items.
    void btClipClick(ClipboardForm form);
    // Empties and re-titles the grid for the mode; clears every mark.
    void ClearGrid();

    // Marking (rows are grid rows, 1 the first data row).
    void MarkThisFile(qsizetype row);
    void deleteOneFile(qsizetype row);
    // "&Mark" and the Delete key: toggles the current row and moves down one row.
    void DeleteAllFiles();
    void gridDblClick();
    void Markall1Click();
    void Unmarkall1Click();
    void clearAllMarks();

    // "Open" on the current row's file.
    void Open1Click();
    // "Resize" items.
    void shrinkTopPanel();
    void restoreTopPanel();

    // The popup menu and its items, for tests.
    QMenu* popupMenu() const { return PopupMenu1_; }
    QAction* highlightAction() const { return highlight_; }
    SortMenu* sortMenu() const { return sortMenu_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

private:
    class ScanHooks;

    // dup_window_layout.cpp
    void buildControls();
    QByteArray highlightedPath(qsizetype row) const;
    void buildUpperPanel();
    QGridLayout* buildOptions();
    QHBoxLayout* buildButtons();
    void buildMenu();
    void FormShow();
    void FormResize();
    void fitColumnsToTexts();
    // dup_window.cpp
    void scan();
    void setScanControls(bool scanning);
    void rbLargerClick();
    void cbWildCardChange();
    void pckDriveClick();
    void updateCleanButton();
    void setStatus(const QString& text);
    void showPopup(const QPoint& globalPos);
    QByteArray currentFile() const;
    void refillDriveList();

    const bool duplicateMode_;
    const SafeHarbor* harbor_;
    Tools tools_;

    QFrame* Panel1_ = nullptr;
    QRadioButton* rbLarger_ = nullptr;
    QRadioButton* rbSmaller_ = nullptr;
    QRadioButton* rbBetween_ = nullptr;
    QSpinBox* num1_ = nullptr;
    QSpinBox* num2_ = nullptr;
    QLabel* lblAnd_ = nullptr;
    QComboBox* cbKB1_ = nullptr;
    QComboBox* cbWildCard_ = nullptr;
    QLabel* lblWild_ = nullptr;
    QLabel* lblDup_ = nullptr;
    QComboBox* cbDup_ = nullptr;
    QCheckBox* cbHidden_ = nullptr;
    DriveCheckList* pckDrive_ = nullptr;
    StringGrid* grid_ = nullptr;
    QPushButton* btScan_ = nullptr;
    QPushButton* btClose_ = nullptr;
    QPushButton* btAbort_ = nullptr;
    QPushButton* btMark_ = nullptr;
    QPushButton* btDelete_ = nullptr;
    QPushButton* btOptions_ = nullptr;
    QPushButton* btBrowse_ = nullptr;
    QPushButton* btDetails_ = nullptr;
    QPushButton* btCompare_ = nullptr;
    QLabel* pnlSel_ = nullptr;

    QMenu* PopupMenu1_ = nullptr;
    QAction* details_ = nullptr;
    QAction* highlight_ = nullptr;
    QAction* addFolder_ = nullptr;
    QMenu* sortSubmenu_ = nullptr;
    QAction* sortItem_ = nullptr;
    QAction* shrink_ = nullptr;
    QAction* restore_ = nullptr;
    QAction* view_ = nullptr;
    SortMenu* sortMenu_ = nullptr;

    MarkedFiles marks_;
    std::unique_ptr<ScanHooks> hooks_;
    std::function<bool(QPrinter&)> printDialog_;
    std::array<int, kDupColumnCount> textWidths_{};
    // Widths the user gave columns (0: none), kept until the window is resized.
    std::array<int, kDupColumnCount> userWidths_{};
    bool settingWidths_ = false;
    qint64 hiddenSkipped_ = 0;
    qsizetype candidateLimit_ = DupCandidateList::kDefaultLimit;
    int pumpIntervalMs_ = 30;
    int criterion_ = 0;
    qsizetype resultCount_ = 0;
    bool scanning_ = false;
    bool closeRequested_ = false;
    bool shownOnce_ = false;
    bool tipsOff_ = false;

    friend class ScanHooks;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace dw
