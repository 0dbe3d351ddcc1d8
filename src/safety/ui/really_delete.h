#pragma once

#include <QByteArray>
#include <QDialog>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "safety/deletion_plan.h"

class QLabel;
class QListView;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QWidget;

namespace dw::platform {
class ClockedPump;
}

namespace dw {

class ElidedLabel;

class PathListModel;
class SafeHarbor;
class TfrmStandBy;
struct CleanFileResult;

// The deletion panel `frmReallyDelete` ("Clean up the following files"): the one place
// where the finders' marked files leave the disk.
//
// A finder hands it the native paths of the marked files, its caller word and their
// total size, and shows it modally (execute() does all of this). On show the panel
// sorts the files into the Deletion Panel (`lb1`, the files it will act on) and the
// Safe Harbor list (`lb2`, the files the Safe Harbor protects); the user may move files
// between the two, ask why a file is on the Safe Harbor list, and then delete the files
// of the Deletion Panel, send them to the desktop's trash, or store them in archives
// and delete them, or (after a Same contents search) make them share the blocks of their
// kept twins. The files acted on are exactly those on the Deletion Panel; the
// Safe Harbor list is never acted on.
//
// The panel shows a DeletionPlan and calls it: the plan checks each file (its folder and
// itself, by device and inode) when the split puts it on the Deletion Panel, or when the
// user moves it there, and its runs act on a file only while it is still that file in
// that folder, so a folder replaced while the panel is open leaves both folders' files
// alone and the outcome says so.
//
// Every run removes files through platform::FileRemover (never through a link, never a
// folder, mount point or system folder); after archiving, a file goes only once its
// archive is on disk and reads back. A file that cannot be deleted is reported and the
// run goes on. Each run adds what it really did to the cumulative totals.
//
// Modal results: kClosed (2) when the panel closed without a run, kRunDone (1) after any
// run that got past its confirmation (also an aborted one).
class TfrmReallyDelete : public QDialog {
    Q_OBJECT

public:
    static constexpr int kRunDone = 1;
    static constexpr int kClosed = 2;

    // `harbor` must outlive the panel. `defaultZipPath`, when given, is the program's
    // DefaultZipPath (the main window's), which the archive options dialog updates.
    explicit TfrmReallyDelete(SafeHarbor& harbor, QWidget* parent = nullptr,
                              QString* defaultZipPath = nullptr);
    ~TfrmReallyDelete() override;

    // The whole hand-off from a finder: makes the panel over `parent` with `files` (native
    // paths of the marked files) and `callerName` ("Duplicates", "FileDates",
    // "TempClean", "InternetCache", or empty), shows it modally and returns its modal
    // result: kClosed (2) nothing was done, kRunDone (1) a run took place (the finder
    // then closes too).
    // `twins`, from a Same contents search, gives each marked file the kept file of its
    // group (see setTwins).
    static int execute(QWidget* parent, SafeHarbor& harbor, const QList<QByteArray>& files,
                       const QString& callerName, QString* defaultZipPath = nullptr,
                       const QHash<QByteArray, QByteArray>& twins = {});

    // What a finder hands over before the panel is shown: the marked files (each path
    // once; the split against the Safe Harbor happens on the first show) and the calling
    // tool's word in archive names.
    void setHandOff(const QList<QByteArray>& files, const QString& callerName);
    const QString& callerName() const { return callerName_; }
    // For a hand-off from a Same contents search: each marked file's identical twin that
    // stays (the first unmarked file of its group). "Share blocks" is offered only with
    // twins, and acts on the files of the Deletion Panel that have one: each is made to
    // use its twin's blocks (shareFiles), nothing is deleted. Without twins the button
    // is disabled and its tool tip says why.
    void setTwins(QHash<QByteArray, QByteArray> twins);

    // The Deletion Panel (the files a run acts on) and the Safe Harbor list, each sorted
    // as shown (ASCII case folded, then byte order).
    const QList<QByteArray>& deletionPanel() const;
    const QList<QByteArray>& safeHarborList() const;
    // The potential savings (DeletionPlan::savings): the bytes of the files on the
    // Deletion Panel as they were on disk at the split (a file that was gone counts 0). A
    // file of several names (hard links) counts once, and only while all its names are on
    // the Deletion Panel: removing some of its names frees nothing. Follows every move.
    qint64 savings() const { return plan_.savings(); }
    // A run is under way; Close was confirmed during an archive run.
    bool isRunning() const { return running_ != Run::None; }
    bool abortRequested() const { return abortRequested_; }

    // For tests: called as each file of a run is taken, with its place in the list;
    // and how often a run lets window events run (milliseconds, default 30; 0: at every
    // file and progress step). The controls are reached by their object names
    // (lb1, lb2, btDelete, lblSavings, ...).
    void setRunStepHook(std::function<void(qsizetype index)> hook) { stepHook_ = std::move(hook); }
    void setPumpInterval(int milliseconds) { pumpIntervalMs_ = milliseconds; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    enum class Run { None, Delete, Trash, Zip, Share };

    void buildControls();
    // The show steps: savings text, counts, the split (MoveFiles), the Deletion Panel
    // tab; when every file is protected, the box that says so after half a second and the
    // Safe Harbor tab. Run by the first show.
    void FormShow();
    // Moves every file of the Deletion Panel that the Safe Harbor protects to the Safe
    // Harbor list. The stand-by notice shows when this takes more than a moment.
    void MoveFiles();
    void UpdateHeaders();
    void updateLeftRight();
    // The selected files of one list to the other ("Move files OFF to safe harbor",
    // "Move files to the deletion panel"); not asked of the Safe Harbor again. A file
    // protected as part of the system's trees (reason 1) goes to the Deletion Panel only
    // when the user says Yes to a question naming it and the reason (No is the default).
    void btToAgainstClick();
    void btMoveLeftClick();
    // "Reason that file is on this list", for the current file of the Safe Harbor list.
    void btReasonClick();
    // True, after a box saying so, when the Deletion Panel is empty.
    bool NoFilesToDelete();
    // The three actions: each asks its confirmation (or the archive options), runs over
    // the Deletion Panel with the progress panel in place of the buttons, records the
    // totals, tells what was done (files and bytes acted on, files kept and why, the
    // archives written) and closes the panel with kRunDone.
    void btDeleteAllClick();
    void btRecycleClick();
    void btZipClick();
    void btShareClick();
    // "Close": closes with kClosed when idle; during an archive run asks whether to
    // abort; ignored during delete and trash runs (it is disabled then).
    void btCloseClick();
    void lb1Click();
    void lb2Click();
    // The selected files of `fromView` (showing `from`), moved in the plan to the other
    // side; both lists then show the plan again.
    void moveSelected(PathListModel& from, QListView& fromView);
    void showPlan();
    // Swaps the action panel for the progress panel (or back) around a run.
    void beginRun(Run run, qsizetype files);
    void endRun();
    // Run steps: the file taken, and events on a clock.
    void stepTo(qsizetype index, const QByteArray& path);
    void pump();
    void DeleteAllClick();
    void RecycleClick();
    void ZipItClick();
    void ShareClick();
    void finishRun();
    void updateSavings();
    // The box after a run: `done` (what was done, as a sentence) and the files kept.
    void tellOutcome(const QString& done, const QList<CleanFileResult>& kept,
                     const QList<QByteArray>& archives, const QString& lead = {},
                     bool plain = false);

    QTabWidget* PageControl1 = nullptr;
    QWidget* tabDelete = nullptr;
    QWidget* tabSafeHarbor = nullptr;
    QListView* lb1 = nullptr;
    QListView* lb2 = nullptr;
    QLabel* lblLeft = nullptr;
    QLabel* lblRight = nullptr;
    QLabel* lblDelete = nullptr;
    QLabel* lblSavings = nullptr;
    ElidedLabel* lblName = nullptr;
    QPushButton* btToAgainst = nullptr;
    QPushButton* btMoveLeft = nullptr;
    QPushButton* btReason = nullptr;
    QPushButton* btZip = nullptr;
    QPushButton* btDelete = nullptr;
    QPushButton* btRecycle = nullptr;
    QPushButton* btShare = nullptr;
    QPushButton* btClose = nullptr;
    QWidget* pnlButtons = nullptr;
    QWidget* pnlProgress = nullptr;
    QProgressBar* bar = nullptr;
    QProgressBar* Gauge1 = nullptr;

    SafeHarbor& harbor_;
    QString* defaultZipPath_;
    QString callerName_;
    QHash<QByteArray, QByteArray> twins_;
    // The files of both lists, their checks and what they would free.
    DeletionPlan plan_;
    PathListModel* model1_ = nullptr;
    PathListModel* model2_ = nullptr;
    TfrmStandBy* standBy_ = nullptr;
    bool shownOnce_ = false;
    Run running_ = Run::None;
    bool abortRequested_ = false;
    qsizetype current_ = -1;
    QByteArray currentPath_;
    int gaugePercent_ = 0;
    int pumpIntervalMs_ = 30;
    std::unique_ptr<platform::ClockedPump> pump_;
    std::function<void(qsizetype index)> stepHook_;
};

}  // namespace dw
