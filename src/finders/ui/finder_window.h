#pragma once

#include <QByteArray>
#include <QDialog>
#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "base/settings_sections.h"
#include "finders/marked_files.h"
#include "finders/row_finder.h"
#include "inspect/grid_export.h"
#include "scan/drive_entry.h"

class QAction;
class QFrame;
class QHBoxLayout;
class QLabel;
class QMenu;
class QPrinter;
class QPushButton;

namespace dw {

class ElidedLabel;

class DriveCheckList;
class SafeHarbor;
class SortMenu;
class StringGrid;
struct SortMenuSetup;

// The services a finder window offers from its buttons and menu. One that is not given
// is not offered: its button or item stays hidden.
struct FinderTools {
    // The deletion panel, given the marked files, the caller word and their total;
    // returns its modal result: 2 when it was closed without acting.
    std::function<int(const QList<QByteArray>& files, const QString& callerName, qint64 totalSize)>
        reallyDelete;
    // The deletion panel as above, also given each marked file's identical twin that
    // stays (twinsOfMarked()), so it can offer to share their blocks. Used instead of
    // reallyDelete when given and the window knows twins.
    std::function<int(const QList<QByteArray>& files, const QString& callerName, qint64 totalSize,
                      const QHash<QByteArray, QByteArray>& twins)>
        reallyDeleteWithTwins;
    std::function<void(const QByteArray& file)> details;
    std::function<void(const QByteArray& file)> view;
    // The browser, at a file's folder and name, with a file mask.
    std::function<void(const QByteArray& file, const QString& mask)> browse;
    // The dialog that adds extra folders to the drive lists; true when it changed them.
    std::function<bool()> addNewFolder;
};

// The common window of the finders that list one row per file (files by date, quick
// clean, duplicates and file hogs): the options panel of the finder beside the drive
// check list, the result grid, the buttons Start, Close, Abort, Mark, Clean?, Options,
// Browse, Details (and the finder's own after them), the status line and the grid's popup
// menu (Details, Highlight folders on Safe Harbor list, Add a folder to the list of
// drives, Sort, Mark, Resize, Open, View, Print, Clipboard).
//
// Every row carries its file's native path, and every action on a row (mark, open, copy
// the file names, hand-off) uses that path, never the text of the cells.
//
// A scan walks the checked entries with the finder's walk options; the walk pumps the
// window's events on its clock, Abort (or Esc) stops it at its next check, and the status
// line shows the finder's progress text (by default the count found and the folder being
// read). Input made while the rows go into the grid is delivered before the result
// buttons replace Abort, so it reaches what was under it then (a click on Abort or Esc
// then does nothing: the search has ended, and the window stays open with its rows).
// While files are marked, Start asks before a new search drops them. Closing the
// window during a scan stops the scan and closes the window once the walk has returned.
// Shown modally; the placement is saved when the window is destroyed.
class FinderWindow : public QDialog {
    Q_OBJECT

public:
    ~FinderWindow() override;

    // Rows the last scan found (grid rows 1 to foundCount()).
    qsizetype foundCount() const { return found_; }
    bool isScanning() const { return scanning_; }
    const MarkedFiles& marks() const { return marks_; }
    StringGrid* grid() const { return grid_; }
    DriveCheckList* driveList() const { return pckDrive_; }
    QString statusText() const;
    QMenu* popupMenu() const { return PopupMenu1_; }
    QAction* highlightAction() const { return highlight_; }
    SortMenu* sortMenu() const { return sortMenu_; }
    // The hidden folders the last scan left out (0 when the walk entered them).
    qint64 hiddenFoldersSkipped() const { return hiddenSkipped_; }

    // For tests: how often the walk lets window events run (milliseconds); what asks for
    // the printer (default: the print dialog); the entries of the drive list.
    void setPumpInterval(int milliseconds) { pumpIntervalMs_ = milliseconds; }
    void setPrintDialog(std::function<bool(QPrinter&)> ask) { printDialog_ = std::move(ask); }
    void setDriveEntries(const QList<DriveEntry>& entries);

    // ---- the window's operations -----------------------------------------------------
    // "&Start": the finder's checks, the question about marks, then ClearGrid and scan.
    void btScanClick();
    // "&Abort": sets the abort flag, hides the button, warns at once. Once the rows are
    // in, a click (or Esc) made before does nothing: the search has ended.
    void btAbortClick();
    // "Clean?": hands the marked files to the deletion panel under the caller word; the
    // window closes unless the panel answers 2 (nothing done).
    void btDeleteClick();
    void btPrintClick();
    void btClipClick(ClipboardForm form);
    // Empties the grid (titles and one empty row) and clears every mark.
    void ClearGrid();
    // Marking (rows are grid rows, 1 the first data row; rows beyond the found count are
    // ignored).
    void deleteOneFile(qsizetype row);
    // Toggles a row's mark and updates Clean?; row 0 is ignored.
    void MarkThisFile(qsizetype row);
    // "&Mark" and the Delete key: toggles the current row and moves down one row.
    void DeleteAllFiles();
    void gridDblClick();
    void Markall1Click();
    void Unmarkall1Click();
    // Clears every mark, keeping the current row.
    void clearAllMarks();
    void Open1Click();
    void shrinkTopPanel();
    void restoreTopPanel();
    // The report title the finder gives for its options.
    virtual QString reportTitle() const = 0;

protected:
    // What a finder's window is made of.
    struct Setup {
        const char* objectName;
        QStringList titles;  // the grid's columns
        QString caption;
        QString startHint;
        QString markHint;
        QString callerName;
        const SortMenuSetup* sort;
        int markColumn;
        int sizeColumn;
        int elideColumn;          // the long path cell, cut in the middle
        std::vector<int> widths;  // pixels at 96 per inch; the last column takes the rest
        settings::PlacementKey placement;
        DriveKinds driveKinds;
        // The Safe Harbor highlight: the row's file (true) or its folder (false).
        bool highlightFiles;
        int highlightColumn;
        // The status line after a scan: the count and this text ("Found : " before the
        // count when `foundPrefix` is set instead). With a prefix a scan that finds
        // nothing says so ("Found : 0"); without one it leaves the line empty.
        QString foundSuffix;
        QString foundPrefix;
        // The hints of Abort, Clean? and Details.
        bool buttonHints = true;
        // The size the window opens with at least (before its saved placement).
        QSize openingSize{800, 540};
        // Room for the mark glyph beside the marked column's text, pixels at 96 per inch.
        int markRoom = 18;
    };

    // The finder's side of one scan: what the walk's files become, and the status line
    // while it runs.
    class Scan {
    public:
        virtual ~Scan() = default;
        // Before the walk.
        virtual void start() {}
        // The per-file step; false stops the walk, and stopped() follows once the walk
        // has been told to stop.
        virtual bool addFile(const WalkFolder& folder, const platform::DirEntry& entry) = 0;
        virtual void stopped() {}
        // After each folder the walk has read.
        virtual void folderDone() {}
        // After the walk: the rows are in the grid.
        virtual void finish() = 0;
        // The rows found, once finish() has run.
        virtual qsizetype foundCount() const = 0;
        // The status line while the walk reads `folder`.
        virtual QString progressText(const QString& folder) const = 0;
        // Abort (or closing the window) during finish(): stop at once.
        virtual void abort() {}
    };

    FinderWindow(Setup setup, const SafeHarbor* harbor, QWidget* parent, FinderTools tools);

    // Builds the window; a derived window's constructor calls it after its own members
    // exist. `options` is the finder's part of the top panel; `extraButtons` (children of
    // this window) follow Details, hidden until showResultButtons() shows them.
    void build(QWidget* options, const QList<QPushButton*>& extraButtons = {});

    // A button of the window's row: Enter presses it while it has the focus.
    static QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption);

    // Before the question about marks: false (having said what is wrong) stops Start.
    virtual bool checkOptions() { return true; }
    // The finder's part of a scan. makeScan() returns the scan, or nullptr to scan
    // nothing; by default it runs the row finder that beginScan() gives, which checks the
    // options (and says what is wrong) or returns nullptr.
    virtual std::unique_ptr<Scan> makeScan(GridTable& grid);
    virtual std::unique_ptr<RowFinder> beginScan(GridTable&) { return nullptr; }
    virtual WalkOptions walkOptions() const = 0;
    // The finder's options are enabled, or not while a scan runs.
    virtual void setOptionsEnabled(bool enabled) = 0;
    // After the rows are in (before the status line and the buttons).
    virtual void afterScan() {}
    // After a scan that found rows, with Mark, Clean?, Options, Browse and Details shown.
    virtual void showResultButtons() {}
    // The status line after a scan (found: the rows found).
    virtual QString foundStatus(qsizetype found) const;
    // Makes the grid its titles and one empty data row.
    virtual void clearTable(GridTable& table);
    // The widths of the set-width columns' widest texts; widenColumn() raises one.
    virtual void fitColumnsToTexts();
    void widenColumn(int column, int width);
    // The mask the browser is opened with.
    virtual QString browseMask() const { return QStringLiteral("*.*"); }
    // Each marked file's identical twin that stays unmarked, where the finder knows
    // them (a Same contents search); empty by default.
    virtual QHash<QByteArray, QByteArray> twinsOfMarked() const { return {}; }

    QFrame* topPanel() const { return Panel1_; }
    QPushButton* startButton() const { return btScan_; }
    QAction* sortItem() const { return sortItem_; }
    // The popup menu's item that opens the row's file with its program ("Open").
    QAction* openItem() const { return openItem_; }
    QMenu* markMenu() const { return markMenu_; }
    void setStatus(const QString& text);
    // For a scan's long finish(): shows `status`, lets the window's events run, and
    // answers false once Abort was pressed or the window asked to close. With
    // `allFound` the search has found all it will and only puts its rows in: Abort (and
    // Esc) then does nothing, as it has nothing left to stop.
    bool pumpDuringFinish(const QString& status, bool allFound = false);
    // "Clean?" enabled exactly when files are marked.
    void updateCleanButton();
    QByteArray currentFile() const;
    void FormResize();
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    const Setup setup_;

private:
    class ScanHooks;
    class RowFinderScan;

    void buildMenu();
    QHBoxLayout* buildButtons();
    void scan();
    void setScanControls(bool scanning);
    void pckDriveClick();
    void refillDriveList();
    void showPopup(const QPoint& globalPos);
    QByteArray highlightedPath(qsizetype row) const;

    const SafeHarbor* harbor_;
    FinderTools tools_;

    QFrame* Panel1_ = nullptr;
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
    ElidedLabel* pnlSel_ = nullptr;
    QMenu* PopupMenu1_ = nullptr;
    QAction* details_ = nullptr;
    QAction* highlight_ = nullptr;
    QAction* shrink_ = nullptr;
    QAction* restore_ = nullptr;
    QAction* sortItem_ = nullptr;
    QAction* openItem_ = nullptr;
    QMenu* markMenu_ = nullptr;
    SortMenu* sortMenu_ = nullptr;
    QList<QPushButton*> extraButtons_;

    MarkedFiles marks_;
    std::unique_ptr<Scan> scan_;
    std::unique_ptr<ScanHooks> hooks_;
    std::function<bool(QPrinter&)> printDialog_;
    // Widths the user gave columns (0: none), kept until the window is resized.
    std::vector<int> userWidths_;
    // The widest text of each set-width column (dates, times and sizes of this desktop's
    // font and locale may be wider than the set widths).
    std::vector<int> textWidths_;
    // The widest text of the path column (which is cut in the middle rather than made
    // wide) and of the last column: room to spare goes to the path first.
    int pathWant_ = 0;
    int lastWant_ = 0;
    bool settingWidths_ = false;
    int pumpIntervalMs_ = 30;
    qsizetype found_ = 0;
    qint64 hiddenSkipped_ = 0;
    bool scanning_ = false;
    bool closeRequested_ = false;
    // The rows are in; the input queued meanwhile is being delivered (Abort ignores it).
    bool finishing_ = false;
    bool shownOnce_ = false;
    bool tipsOff_ = false;

    friend class ScanHooks;
};

}  // namespace dw
