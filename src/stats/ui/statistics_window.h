#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <memory>

#include "scan/drive_entry.h"
#include "stats/stat_collection.h"

class QButtonGroup;
class QChartView;
class QCheckBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QStackedWidget;
class QTabWidget;
class QTimer;

namespace dw {

class ElidedLabel;

class DriveCheckList;
class SortMenu;
class StringGrid;

// The statistics window `frmStatistics`: made once by the main window and only hidden
// when closed, so the statistics of the last collection stay on show. Eleven pages:
// "Space" (capacity and free space of the drives ticked on it) and "Deleted" (the
// cumulative totals of the deletion panel, with their reset) need no collection; the
// others show the tallies of the last collection as tables and charts and are covered by
// "Statistics haven't been collected yet!" until one has run.
//
// "&Collect statistics" asks TfrmWhichDrive for the drives, folders and types, then walks
// them on this thread, pumping the window's events on the walk's clock: "Abort", "Close"
// and Esc stop it at once, and the tallies of a stopped run stay on show.
class TfrmStatistics : public QDialog {
    Q_OBJECT

public:
    enum Page {
        kSpace = 0,
        kDeleted,
        kTypes,
        kSizes,
        kOverhang,
        kAccess,
        kCreated,
        kModified,
        kCombined,
        kAttribute,
        kTime,
        kPageCount
    };

    explicit TfrmStatistics(QWidget* parent = nullptr);
    ~TfrmStatistics() override;

    // ---- collection ------------------------------------------------------------------
    // "&Collect statistics": TfrmWhichDrive modally; on OK `collect` with its choice.
    void btOKClick();
    // Collects `entries` (the checked drives and folders, in order) through `filter`:
    // nothing without entries; the error box when their capacity is 0; else the
    // information box, then drive by drive with the pages rebuilt after each.
    void collect(const QList<DriveEntry>& entries, const TypeFilter& filter);
    // "Abort" (and "Close" or Esc while collecting): stops the walk at its next check.
    void btAbortClick();
    // "Close" and Esc: abort while collecting, else hide the window.
    void btCancelClick();

    bool isCollecting() const { return collecting_; }
    bool isCollected() const { return collected_; }
    const StatTallies& tallies() const { return tallies_; }
    QString statusText() const;
    // The text of the current drive ("/ [root]"), the last one collected.
    const QString& currentDrive() const { return currentDrive_; }
    // The title of the printed type table: "File types for drive " and the volume's key
    // of the current drive ("root", "home"; for a folder, the key of its volume).
    QString typeTableTitle() const;

    // ---- pages -----------------------------------------------------------------------
    void showPage(int page);
    int currentPage() const;
    // The page's chart view shown now (nullptr for a listing or a page without one).
    QChartView* shownChart() const;
    // Whether the not-collected panel covers the current page.
    bool notCollectedPanelShown() const;

    // "&Print page": as the page asks: a chart, the type table or the window's image.
    // Returns false when nothing was printed (not collected, or the dialog cancelled).
    bool btPrintClick();

    // "Reset these numbers" of the "Deleted" page.
    void Button1Click();
    // Shows the cumulative totals.
    void showFilesDeleted();
    // Redraws the "Space" page from the ticked drives.
    void doDiskSize();

    // ---- for tests -------------------------------------------------------------------
    // How the printer is chosen (default: the print dialog, which offers PDF too; a
    // preview for charts).
    void setPrintDialog(std::function<bool(QPrinter&)> ask) { printDialog_ = std::move(ask); }
    // How often the walk lets events run, in milliseconds.
    void setPumpInterval(int milliseconds) { pumpIntervalMs_ = milliseconds; }
    // Replaces the drives of the "Space" page.
    void setSpaceDrives(const QList<DriveEntry>& entries);

    QTabWidget* OvcNotebook1 = nullptr;
    QPushButton* btOK = nullptr;
    QPushButton* btPrint = nullptr;
    QPushButton* btCancel = nullptr;
    ElidedLabel* pnlStatus = nullptr;

    // Space
    DriveCheckList* pckStatDrive = nullptr;
    QCheckBox* cbTotal = nullptr;
    QRadioButton* rbSpaceBar = nullptr;
    QRadioButton* rbSpacePie = nullptr;
    QChartView* chartSpace = nullptr;
    QWidget* pnlPies = nullptr;
    QList<QChartView*> pies;
    QScrollBar* ScrollBar1 = nullptr;
    QLabel* lblCapacity = nullptr;
    QLabel* lblFree = nullptr;
    QLabel* lblUsed = nullptr;
    QLabel* lblUnit = nullptr;
    QTimer* Timer1 = nullptr;  // bar growth
    QTimer* Timer2 = nullptr;  // pie turning

    // Deleted
    std::array<QLineEdit*, 6> edTotals{};  // deleted files, bytes; zipped; recycled
    QLabel* lblDelSince = nullptr;
    QLabel* lblZipSince = nullptr;
    QPushButton* Button1 = nullptr;

    // Types
    StringGrid* gridTypes = nullptr;
    QChartView* chartTypes = nullptr;
    QScrollBar* ScrollBar2 = nullptr;
    QPushButton* btSort = nullptr;
    SortMenu* sortTypes = nullptr;
    std::array<QRadioButton*, 4> rgTypes{};

    // Sizes
    StringGrid* gridSizes = nullptr;
    QChartView* chartSizes = nullptr;
    std::array<QRadioButton*, 3> rgSizes{};

    // Overhang
    std::array<QLabel*, 5> lblOver{};
    std::array<QLabel*, 5> imArrow{};
    QLabel* pnlCluster = nullptr;
    QWidget* pnlOverhang = nullptr;
    QLabel* lblSize = nullptr;
    QLabel* lblNumFiles = nullptr;
    QLabel* lblLbl = nullptr;
    QLabel* lblAllocated = nullptr;
    QChartView* chartOverhang = nullptr;

    // Access, Created, Modified (in that order), Combined
    std::array<StringGrid*, 3> gridDates{};
    std::array<QChartView*, 3> chartDates{};
    std::array<std::array<QRadioButton*, 3>, 4> rgDates{};
    StringGrid* gridCombined = nullptr;
    QChartView* chartCombined = nullptr;

    // Attribute
    StringGrid* gridAttr = nullptr;
    QChartView* chartAttrFiles = nullptr;
    QChartView* chartAttrSize = nullptr;

    // Time
    QChartView* chartTime = nullptr;

signals:
    // A collection has ended (done or aborted).
    void collectionFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

private:
    class CollectHooks;

    // statistics_window.cpp
    void buildWindow();
    QWidget* buildSpacePage();
    QWidget* buildDeletedPage();
    void FormShow();
    void OvcNotebook1PageChanged(int page);
    void disenable(bool enabled);
    void scan(const DriveEntry& entry);
    void setStatus(const QString& text);
    void placeNotCollectedPanel();
    void rgSpaceClick();
    void doPieCharts();
    void Timer1Timer();
    void Timer2Timer();
    void pieClick();
    void ScrollBar1Change(int angle);
    void changeBackgroundColor(bool white);
    bool printChart(QPrinter& printer, QChartView* view);
    bool printTypeTable(QPrinter& printer);
    bool printWindowImage(QPrinter& printer);

    // statistics_pages.cpp
    QWidget* buildTypesPage();
    QWidget* buildSizesPage();
    QWidget* buildOverhangPage();
    QWidget* buildDatePage(int which);
    QWidget* buildCombinedPage();
    QWidget* buildAttributePage();
    QWidget* buildTimePage();
    void rebuildPages();
    void clearVariables();
    void doFileTypes();
    void doTotals();
    void rgTypesClick();
    void fillGridSizes();
    void doFileSizes();
    void fillGridDates(int which);
    void fillCombinedGridDates();
    void doFileAges();
    void rgAccessClick(int page);
    void doFileAttrs();
    void doFileTimes();
    void doOverHang();
    void drawClusterArrow();

    StatTallies tallies_;
    TypeFilter filter_;
    std::unique_ptr<CollectHooks> hooks_;
    std::function<bool(QPrinter&)> printDialog_;
    QList<DriveEntry> drives_;
    QString drivesDone_;
    QString currentDrive_;
    QString currentDriveKey_;
    qint64 clusterSize_ = 0;
    int pumpIntervalMs_ = 30;
    bool collecting_ = false;
    bool collected_ = false;
    bool abortRequested_ = false;
    bool overhangEnabled_ = false;
    bool drawingSpace_ = false;
    int spaceDrivesShown_ = 0;
    int barDepth_ = 1;
    double driveAngle_ = 0;
    double totalAngle_ = 0;

    QFrame* pnlNotCollected_ = nullptr;
    QLabel* lblNotCollected_ = nullptr;
    QPushButton* btAbort_ = nullptr;
    std::array<QStackedWidget*, kPageCount> views_{};
    QWidget* spaceFigures_ = nullptr;
};

}  // namespace dw
