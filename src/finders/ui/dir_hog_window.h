#pragma once

#include <QByteArray>
#include <QDialog>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

#include "finders/folder_hogs.h"
#include "safety/folder_clean.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPrinter;
class QPushButton;
class QSplitter;

namespace dw {

class DriveCheckList;
class ElidedLabel;
class SafeHarbor;
class SortMenu;
class StringGrid;
class TreemapView;

// The folder hogs window `frmDirHog` ("Folder Hogs"): ranks folders by the space their
// files take (scanFolderHogs) in one of two scans, "&Main folders" and "&All Folders",
// over the checked drives and folders, in a six-column grid ("Size", "% Used", "# Files",
// "# Sub-folders", "Latest File Access", "Name"; the name is the folder's real path).
// Every scan ends sorted by Size, largest first. "Clean?" (or a double click on a row)
// opens the folder deletion window for the row's folder, after refusing mount points and
// the system's folders; a cleaned row shows "DELETED" or "RECYCLED" in its Size cell.
// The popup menu (also "Options") highlights folders on the Safe Harbor list, adds
// folders to the list of drives, sorts, prints and copies. The status line shows
// "Folders : " and the row count, and for a selected row its size in KB/MB/GB.
// Below the grid, "Show &treemap" shows the scanned tree as a treemap (TreemapView):
// a click on it selects the row of the folder clicked (in the main-folders scan the
// main folder holding it), a selected row is outlined in it, and its popup menu offers
// Browse and Clean? for the folder as the buttons do; a cleaned folder leaves the map
// and the folders above it shrink. The window keeps its placement and the check box.
class TfrmDirHog : public QDialog {
    Q_OBJECT
public:
    // What the window asks of other windows; each may be unset in tests.
    struct Tools {
        // Opens the folder deletion window for `folder`; returns its modal result and
        // sets `mode` to the kind of run it made. Unset: TfrmDelDirectory over this window.
        std::function<int(const QByteArray& folder, FolderCleanMode* mode)> delDirectory;
        // Shows the browser on `folder`; unset: TfrmBrowse over this window.
        std::function<void(const QByteArray& folder)> browse;
        // Asks for the print dialog; unset: QPrintDialog.
        std::function<bool(QPrinter& printer)> printDialog;
    };

    // `harbor` must outlive the window. `defaultZipPath` may be null.
    TfrmDirHog(SafeHarbor& harbor, QWidget* parent = nullptr, QString* defaultZipPath = nullptr,
               Tools tools = {});
    ~TfrmDirHog() override;

    // The scans, Abort and "Clean?", as their buttons run them.
    void btTopClick();
    void btAllClick();
    void btAbortClick();
    void btDeleteClick();
    void btPrintClick();
    // "&Browse": the browser on the selected row's folder, mask "*.*".
    void btBrowseClick();
    // "Folder names " (true) or "Entire grid separated by tabs" (false).
    void btClipClick(bool folderNames);
    // "Clean?" and "&Browse" for a folder of the treemap (or a row): the same checks and
    // windows as the buttons. The folder's row, if it has one, is marked as the
    // button marks it.
    void cleanFolder(const QByteArray& folder);
    void browseFolder(const QByteArray& folder);

    // Close, Esc and the close box: as Cancel (ignored while a scan or run goes on
    // unless it says otherwise).
    void reject() override;

    StringGrid* grid() const { return grid_; }
    DriveCheckList* driveList() const { return pckDrive_; }
    SortMenu* sortMenu() const { return sortMenu_; }
    QString statusText() const;
    TreemapView* treemap() const { return treemap_; }
    QCheckBox* treemapToggle() const { return cbTreemap_; }
    // The row whose folder is `folder`, -1 when none.
    qsizetype rowOf(const QByteArray& folder) const;
    bool scanning() const { return scanning_; }

    // For tests: called after each folder's progress text during a scan.
    void setScanStepHook(std::function<void()> hook) { stepHook_ = std::move(hook); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The parts the constructor builds, in this order: the drive list with the buttons
    // (the panel that "Shrink top panel" hides), the grid over the treemap, the popup
    // menu of the grid and the Options button, and the connections of all of them.
    QWidget* makeTopPanel();
    QSplitter* makeGridAndMap();
    void makePopupMenu(QWidget* pnlTop);
    void connectControls();

    void scan(FolderHogMode mode);
    void selectRowOf(quint32 item);
    void clean(const QByteArray& folder, qsizetype row);
    void removeFromMap(const QByteArray& folder);
    void ClearGrid();
    void updateStatus();
    void pckDriveClick();

    SafeHarbor& harbor_;
    QString* defaultZipPath_;
    Tools tools_;
    bool scanning_ = false;
    bool abort_ = false;
    qsizetype rowCount_ = 0;
    std::function<void()> stepHook_;
    std::shared_ptr<const SpaceTree> tree_;
    QSet<QByteArray> cleaned_;  // the folders cleaned since the scan
    bool placed_ = false;

    DriveCheckList* pckDrive_ = nullptr;
    StringGrid* grid_ = nullptr;
    SortMenu* sortMenu_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* highlight_ = nullptr;
    QPushButton* btTop_ = nullptr;
    QPushButton* btAll_ = nullptr;
    QPushButton* btAbort_ = nullptr;
    QPushButton* btDelete_ = nullptr;
    QPushButton* btOptions_ = nullptr;
    QPushButton* btBrowse_ = nullptr;
    QPushButton* btClose_ = nullptr;
    ElidedLabel* status_ = nullptr;
    QCheckBox* cbTreemap_ = nullptr;
    TreemapView* treemap_ = nullptr;
};

}  // namespace dw
