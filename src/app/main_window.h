#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "finders/ui/browse_window.h"
#include "safety/safe_harbor.h"

class QLabel;
class QPushButton;

namespace dw {

class Backdrop;
class HelpViewer;
class TfrmDup;
class TfrmDupCompare;
class TfrmStatistics;
struct FinderTools;

// The main window `frmMain`: a fixed panel of large buttons, one per tool. It owns the
// program-wide state the tools share (the duplicates/file-hogs switch, the default
// archive folder, the Safe Harbor state), loads it when first shown, and keeps most
// tools closed until a Safe Harbor folder list exists.
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    // The tools the buttons open.
    enum class Tool {
        Duplicates,
        FileHogs,
        FilesAccessed,
        FolderHogs,
        QuickClean,
        Statistics,
        Browse,
        ClearInternetFiles,
        UnzipArchives,
        BuildSafeHarbor,
    };
    Q_ENUM(Tool)

    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The caption of the window.
    static QString caption();

    // Which mode the duplicates window runs in: true for duplicate files, false for file
    // hogs. Set anew by its two buttons just before each opening.
    bool DuplicateMode = true;
    // The default folder for archives, read from the settings at first show.
    QString DefaultZipPath;
    // True while no Safe Harbor folder list has been saved (folders.txt absent at the
    // last load). True before the first load, so that nothing opens before it.
    bool safeHarborMissing() const { return safeHarbor_.safeHarborMissing(); }

    // The Safe Harbor lookup the whole program asks; windows that delete files or show
    // them in lists take it by reference from here. Lives as long as this window.
    SafeHarbor& safeHarbor() { return safeHarbor_; }
    const SafeHarbor& safeHarbor() const { return safeHarbor_; }

    // The Safe Harbor gate: true when the folder list exists; otherwise shows the error
    // box that asks the user to build it, and returns false.
    bool checkExceptionList();

    // Reads the default archive folder from the settings into DefaultZipPath.
    void getDefaultZipPath();

    // (Re)loads the Safe Harbor folder lookup: folders.txt of the settings folder, the
    // search path and the system folders (SafeHarbor::GetSearchPath), keeping the window
    // live meanwhile.
    void GetSearchPath();
    // (Re)loads the protected extensions from the settings (SafeHarbor).
    void ReadSafeHarborExtensions();

    // "Bui&ld safe harbor": shows the Safe Harbor window modally and, when it reports
    // that the lists changed, reloads them, so the gate opens without a restart.
    void btBuildClick();

    // The statistics window, made by the first "&Statistics" and from then on only shown
    // and hidden, so its statistics stay; owned by this window. Null before.
    TfrmStatistics* statisticsWindow() const { return statistics_; }

    // The help window, once it has been opened; owned by this window.
    HelpViewer* helpViewer() const { return helpViewer_; }
    // The background panel, for its colour-depth mode.
    Backdrop* backdrop() const { return backdrop_; }
    // The colour of the title and the two bottom labels: dark blue on the picture, a
    // light colour on the gradient of low-colour screens, so they stay readable on both.
    QColor labelColour() const;

    // Runs the first-show steps for a screen of `bitsPerPixel`; called by the first
    // show with the screen's depth, and by tests with the depth they want.
    void FormShow(int bitsPerPixel);

    // Whether a tool that passed its gate opens its window. On by default; tests that
    // only follow the gate and the signal turn it off so no modal window blocks them.
    void setToolWindowsEnabled(bool enabled) { toolWindowsEnabled_ = enabled; }

signals:
    // A tool passed its gate; sent just before its window opens.
    void toolOpened(dw::TfrmMain::Tool tool);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Enter or Return on a focused button presses it, as Space does.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildButtons();
    QPushButton* addToolButton(const char* objectName, const QString& caption, const QString& tip,
                               const QIcon& icon, bool large);
    void openTool(Tool tool);
    // The browser over `over`, at `folder`, listing the names that match `mask` ("*.*"
    // when empty), with View and Details as from the main window: the finders' and
    // Folder hogs' Browse. `file`, when given, is selected in the list.
    void browseAt(QWidget* over, const QByteArray& folder, const QString& mask,
                  const QByteArray& file = {});
    // What a finder hands on: the deletion panel, the add-a-folder dialog, the browser and
    // the viewer, each shown over `finder`, which must be set before the finder runs and
    // outlive it.
    FinderTools finderTools(QWidget*& finder);
    // The browser's services, shown over `browser` (set before it runs).
    TfrmBrowse::Tools browserTools(QWidget*& browser);
    // The details window of `file`, modal over `over`.
    void openDetails(QWidget* over, const QByteArray& file);
    // The pair comparison over the duplicates window `source`.
    void comparePairs(TfrmDup& source);
    void openGatedTool(Tool tool);
    void btAboutClick();
    void btHelpClick();

    Backdrop* backdrop_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QLabel* lblMaker_ = nullptr;
    QLabel* lblWeb_ = nullptr;
    HelpViewer* helpViewer_ = nullptr;      // made on first use, owned as a child
    TfrmStatistics* statistics_ = nullptr;  // made on first use, owned as a child
    // Made on first use; a child of the duplicates window while shown over it, handed
    // back when that window closes.
    QPointer<TfrmDupCompare> dupCompare_;
    QWidget* pairsWindow_ = nullptr;  // what the comparison's tools open over
    HelpViewer* mainHelpViewer();
    void applyLabelColour();
    bool shownOnce_ = false;
    bool toolWindowsEnabled_ = true;
    SafeHarbor safeHarbor_;
};

// Makes the user's home folder the process's current folder, so that what depends on
// the current folder (the volume checked first in the drive lists) does not depend on
// where the program was started from. Returns false, changing nothing, when the home
// folder cannot be entered.
bool enterHomeFolder();

}  // namespace dw
