#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "finders/dup_search.h"
#include "finders/ui/finder_window.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace dw {

class SafeHarbor;

// The end of the status line after a search that Abort (or Esc) stopped: the rows shown
// are those found, or proven equal, before it.
inline constexpr char kListIncompleteText[] = "list incomplete: the search was aborted";

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
// "&Start" checks the size limits (and says what is wrong) before it asks about the marks;
// a scan takes the criterion from the window. While it runs, the status line counts the
// files seen and the candidates, then for "Same contents" the bytes read of those to read
// with a percentage that never falls, and "Filling the list..." while the rows are
// written (on a thread of their own: the window keeps painting; Abort has nothing left
// to stop then); a scan whose candidates fill the list stops with a warning. After an Abort the
// window keeps the rows found (the groups proven equal) before it, and its status line ends with
// kListIncompleteText. The rest is the finder window's (FinderWindow).
//
// Shown modally and destroyed when it closes; it saves its placement then. While a scan
// runs, only Abort (or Esc) acts; closing the window then stops the scan and closes it
// once the walk has returned.
class TfrmDup : public FinderWindow {
    Q_OBJECT

public:
    // The windows that later parts of the program open from here (see FinderTools), and
    // the pair comparison, shown without being modal, reading this window. A service that
    // is not given is not offered: its buttons and menu items stay hidden.
    struct Tools : FinderTools {
        std::function<void(TfrmDup& source)> comparePairs;
    };

    // `harbor` (may be null: no highlighting is offered) must outlive the window.
    TfrmDup(bool duplicateMode, const SafeHarbor* harbor, QWidget* parent = nullptr,
            Tools tools = {});
    ~TfrmDup() override;

    bool duplicateMode() const { return duplicateMode_; }
    // The criterion of the last scan (0 to 7), as the pair comparison reads it.
    int criterion() const { return criterion_; }
    // Results of the last scan (the grid's data rows that hold a file).
    qsizetype resultCount() const { return foundCount(); }
    // The options as they stand in the window.
    DupOptions options() const;
    // "Include hidden folders": whether the walk enters hidden folders. Off by default;
    // the window remembers it in the settings (each mode apart).
    bool includeHiddenFolders() const;
    // The title of the printed report for the current options and checked entries.
    QString reportTitle() const override;

    // For tests: the most candidates a scan may collect; what runs on a reading thread of
    // "Same contents" before each file is opened (ContentHooks::beforeRead).
    void setCandidateLimit(qsizetype limit) { candidateLimit_ = limit; }
    void setReadHook(std::function<void(quint32 id)> hook) { readHook_ = std::move(hook); }

    // The marking helpers of "Same contents" (popup menu "Mark", shown after a scan by
    // that criterion): every group keeps one file unmarked, the first of its rows, the
    // one changed last, or the one changed first (the earliest row on a tie, or when a
    // file's date cannot be read), and all its other rows are marked; marks made before
    // are cleared. A group of one file's names ("hard links, no space to gain") is left
    // unmarked, since removing names of a file wins nothing.
    enum class Keep { First, Newest, Oldest };
    void markAllBut(Keep keep);
    // "Same contents": the files the last scan could not read or that changed while read.
    qsizetype unreadableCount() const { return unreadable_; }
    qsizetype changedCount() const { return changed_; }

protected:
    bool checkOptions() override;
    std::unique_ptr<Scan> makeScan(GridTable& grid) override;
    WalkOptions walkOptions() const override;
    void setOptionsEnabled(bool enabled) override;
    void afterScan() override;
    void showResultButtons() override;
    QString foundStatus(qsizetype found) const override;
    void clearTable(GridTable& table) override;
    void fitColumnsToTexts() override;
    QString browseMask() const override;
    // Same contents: each marked row's file and the first unmarked file of its group.
    QHash<QByteArray, QByteArray> twinsOfMarked() const override;

private:
    class DupScan;

    // dup_window_layout.cpp
    static Setup setupFor(bool duplicateMode);
    QWidget* buildOptions();
    // dup_window.cpp
    void rbLargerClick();
    void cbWildCardChange();
    void cbDupChange();

    const bool duplicateMode_;
    std::function<void(TfrmDup& source)> comparePairs_;

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
    QCheckBox* cbEmpty_ = nullptr;
    QList<QAction*> keepItems_;
    QPushButton* btCompare_ = nullptr;

    qsizetype candidateLimit_ = DupCandidateList::kDefaultLimit;
    std::function<void(quint32 id)> readHook_;
    // The last scan was stopped by Abort (or Esc).
    bool aborted_ = false;
    int criterion_ = 0;
    // "Same contents", from the last scan: each row's group (rows 1 on, in order), the
    // groups of hard links only, and the files left out.
    std::vector<quint32> rowGroups_;
    std::vector<bool> hardLinkGroups_;
    qsizetype unreadable_ = 0;
    qsizetype changed_ = 0;
};

}  // namespace dw
