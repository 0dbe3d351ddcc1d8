#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <functional>

#include "safety/folder_clean.h"
#include "safety/folder_tally.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace dw {

class ElidedLabel;

class SafeHarbor;

// The folder deletion window `frmDelDirectory` ("Clean directory, sub-directories and all
// files"): removes one whole folder, sends its files to the desktop's trash, or stores
// them in an archive (and, with "Delete files after zipping them up" checked, deletes
// them then), through cleanFolder. The folder hogs window and the browser open it for one
// folder.
//
// On show it counts what would go (tallyFolder: files, folders, bytes) and shows the
// figure; a button clicked before the count ends acts once it has ended, so nothing is
// removed before the figure was shown. Cancel (or Esc) during the count stops it (the
// figure then says "at least") and drops the click waiting for it.
//
// A run first warns (Yes/No) when the Safe Harbor marks the folder, or a folder below it,
// not to be deleted; folders of the system's own trees are never removed whatever the
// answer. Read-only, hidden and system files are asked about one by one (Yes/No/Cancel;
// anything but Yes stops the run). Cancel during a run asks "Really abort?  Folders may
// be partially deleted!" and stops between two files. After the run the window tells
// what was done and what stayed with its reason, adds what was really done to the
// totals, and closes.
//
// Modal results: kRunDone (1) after a run that ended by itself, kNothingDone (2) when
// nothing was done or the user stopped the run.
class TfrmDelDirectory : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRunDone = 1;
    static constexpr int kNothingDone = 2;

    // `harbor` must outlive the window; `folder` is the folder's native path.
    // `defaultZipPath`: the program's DefaultZipPath (not owned; may be null).
    TfrmDelDirectory(SafeHarbor& harbor, const QByteArray& folder, QWidget* parent = nullptr,
                     QString* defaultZipPath = nullptr);
    ~TfrmDelDirectory() override;

    // Shows the window over `parent` for `folder` and returns its modal result;
    // `useRecycleBin`, when given, tells whether the run sent the files to the trash, and
    // `mode` which of the three runs it was (Delete when none ran).
    static int execute(QWidget* parent, SafeHarbor& harbor, const QByteArray& folder,
                       bool* useRecycleBin = nullptr, QString* defaultZipPath = nullptr,
                       FolderCleanMode* mode = nullptr);

    // Close, Esc and the close box: as Cancel (ignored while a scan or run goes on
    // unless it says otherwise).
    void reject() override;

    const QByteArray& folder() const { return folder_; }
    // True when the run sent the files to the trash.
    bool useRecycleBin() const { return useRecycleBin_; }
    // The kind of the last run (Delete when none ran).
    FolderCleanMode runMode() const { return runMode_; }
    bool deletionRunning() const { return deletionRunning_; }
    // What the last run did.
    const FolderCleanSummary& summary() const { return summary_; }

    // Counts what the folder holds and shows it (done on show; a button that finds it
    // not done yet runs it first). Keeps the window's events running meanwhile.
    void countContents();
    bool counting() const { return counting_; }
    const FolderTally& tally() const { return tally_; }
    // The figure as the window shows it ("To be removed: 3 files in 1 folder, 12,288
    // bytes.").
    static QString tallyText(const FolderTally& tally, bool finished);

    // For tests: called as each file is taken, with its path.
    void setRunStepHook(std::function<void(const QByteArray& path)> hook) {
        stepHook_ = std::move(hook);
    }

    // The three buttons and Cancel, as their clicks run them.
    void btDeleteClick();
    void btRecycleClick();
    void btZipClick();
    void BitBtn3Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    // True when `action` may act now: the count has ended (it is run first when it has
    // not started). False while the count runs (`action` then runs at its end unless it
    // is stopped) or when the count run here was stopped.
    bool readyToAct(std::function<void()> action);
    // Runs `settings` after the Safe Harbor warning; false when the user declined it or
    // the folder was refused (the window stays open).
    bool StartTheDeletionProcess(FolderCleanSettings settings);
    void tellOutcome(const FolderCleanSettings& settings);

    SafeHarbor& harbor_;
    QByteArray folder_;
    QString* defaultZipPath_ = nullptr;
    bool useRecycleBin_ = false;
    FolderCleanMode runMode_ = FolderCleanMode::Delete;
    bool deletionRunning_ = false;
    bool abortRequested_ = false;
    FolderCleanSummary summary_;
    std::function<void(const QByteArray&)> stepHook_;
    FolderTally tally_;
    bool counting_ = false;
    bool counted_ = false;
    bool countAbort_ = false;
    std::function<void()> pending_;

    QLabel* lblTop = nullptr;
    ElidedLabel* lblDirectory = nullptr;
    QLabel* lblTally = nullptr;
    QPushButton* btDelete = nullptr;
    QPushButton* btRecycle = nullptr;
    QPushButton* btZip = nullptr;
    QCheckBox* cbDelete = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QLabel* pnlCount = nullptr;
    ElidedLabel* pnlName = nullptr;
    QProgressBar* Gauge1 = nullptr;
};

}  // namespace dw
