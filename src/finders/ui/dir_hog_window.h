#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <functional>

#include "finders/folder_hogs.h"

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QPushButton;

namespace dw {

class DriveCheckList;
class SafeHarbor;
class SortMenu;
class StringGrid;

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
class TfrmDirHog : public QDialog {
    Q_OBJECT
public:
    // What the window asks of other windows; each may be unset in tests.
    struct Tools {
        // Opens the folder deletion window for `folder`; returns its modal result and
        // sets `recycled`. Unset: TfrmDelDirectory over this window.
        std::function<int(const QByteArray& folder, bool* recycled)> delDirectory;
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

    // Close, Esc and the close box: as Cancel (ignored while a scan or run goes on
    // unless it says otherwise).
    void reject() override;

    StringGrid* grid() const { return grid_; }
    DriveCheckList* driveList() const { return pckDrive_; }
    SortMenu* sortMenu() const { return sortMenu_; }
    QString statusText() const;
    bool scanning() const { return scanning_; }

    // For tests: called after each folder's progress text during a scan.
    void setScanStepHook(std::function<void()> hook) { stepHook_ = std::move(hook); }

private:
    void scan(FolderHogMode mode);
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
    QLabel* status_ = nullptr;
};

}  // namespace dw
