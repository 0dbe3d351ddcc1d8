#pragma once

#include <QByteArray>
#include <QDialog>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

class QLabel;
class QMenu;
class QPushButton;

namespace dw {

class DriveComboBox;
class ElidedLabel;
class FolderListBox;
class SafeHarbor;
class SortMenu;
class StringGrid;

// The browser `frmBrowse` ("Browse through folders"): one folder at a time, file by
// file. The drive list and the folder tree (DirectoryListBox1, read as it opens) choose
// the folder; every change refills the grid with the folder's plain files that match the
// mask (hidden and system files are never listed) in six columns ("Modified", "Time",
// "Access", "Size", "Filename", "Type"), re-sorted by the checked sort item in its stored
// direction. Files are marked with "&Mark" or a double click ("Marked for deletion: ...")
// and handed to the deletion panel with "&Clean marked files"; "Delete &Folder" removes
// the shown folder through the folder deletion window (refusing mount points and the
// system's folders) and leaves the browser on its parent, or back in the folder when
// nothing was done. The label above the grid is highlighted, with the hint "Folder is ON
// the Non-Deletion List", when the Safe Harbor protects the folder; a folder too long for
// it is shortened in the middle, whole in its tool tip. The folder tree lists the folders
// on the way down among their siblings. "Options", right of the label, opens the grid's
// popup menu. The columns are sized by dragging or double-clicking the edges of their
// titles; until the user sizes one, "Filename" and "Type" share what the first four
// leave. A name or type too long for its column ends in "…", whole in its tool tip.
// Closing with marked files asks first. The placement is kept under "frmBrowse".
class TfrmBrowse : public QDialog {
    Q_OBJECT
public:
    struct Tools {
        // The deletion panel for `files`; returns its modal result. Unset: the real one.
        std::function<int(const QList<QByteArray>& files)> reallyDelete;
        // The folder deletion window for `folder`; returns its modal result. Unset: the
        // real one.
        std::function<int(const QByteArray& folder)> delDirectory;
        // The file viewer for one file. Unset: "&View" and its menu item stay hidden.
        std::function<void(const QByteArray& file)> view;
        // The details window for a file; without it "&Details" and its menu item are
        // hidden.
        std::function<void(const QByteArray& file)> details;
    };

    // `harbor` must outlive the window; `defaultZipPath` may be null.
    TfrmBrowse(SafeHarbor& harbor, QWidget* parent = nullptr, QString* defaultZipPath = nullptr,
               Tools tools = {});
    ~TfrmBrowse() override;

    // The browsed folder (native bytes) and the file mask ("*.*"; several patterns
    // separated by ";"). Setting either refills the grid and clears the marks.
    void setFolder(const QByteArray& folder);
    QByteArray folder() const;
    void setMask(const QString& mask);
    const QString& mask() const { return mask_; }
    // Makes the row of the file `path` (native bytes) the current one, scrolled into
    // view. False, changing nothing, when the grid does not list that file (another
    // folder, left out by the mask, hidden, gone).
    bool selectFile(const QByteArray& path);

    // The buttons and menu items, as their clicks run them.
    void btMarkClick();
    void gridDblClick();
    void Markall1Click();
    void Unmarkall1Click();
    void btDeleteFilesClick();
    void btDeleteDirectoryClick();
    void btLaunchClick();
    // "&View": the viewer on the selected row's file, when it exists.
    void btViewClick();
    // "&Details" and the menu's "Details": the details of the selected row's file, when
    // it still exists.
    void Details1Click();
    // A click on the mask panel: the wildcard dialog.
    void pnlScanClick();

    StringGrid* grid() const { return grid_; }
    FolderListBox* folderList() const { return DirectoryListBox1_; }
    SortMenu* sortMenu() const { return sortMenu_; }
    ElidedLabel* folderLabel() const { return Label1_; }
    QString scanText() const;
    QString sizeText() const;
    qsizetype markedCount() const { return marked_.size(); }
    qint64 markedBytes() const { return markedBytes_; }

    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void shareNameAndTypeColumns();
    void refill();
    void FillGrid();
    void toggle(qsizetype row);
    void clearAllMarks();
    void showMarked();
    void updateLabel();

    SafeHarbor& harbor_;
    QString* defaultZipPath_;
    Tools tools_;
    QString mask_ = QStringLiteral("*.*");
    QHash<QByteArray, qint64> marked_;
    qint64 markedBytes_ = 0;
    qint64 folderTotal_ = 0;
    qsizetype fileCount_ = 0;
    bool columnsSized_ = false;    // the user has sized a column of the grid
    bool sharingColumns_ = false;  // the window itself sizes the two last columns

    DriveComboBox* DriveComboBox1_ = nullptr;
    FolderListBox* DirectoryListBox1_ = nullptr;
    ElidedLabel* Label1_ = nullptr;
    StringGrid* grid_ = nullptr;
    SortMenu* sortMenu_ = nullptr;
    QMenu* popup_ = nullptr;
    QLabel* pnlScan_ = nullptr;
    QPushButton* pnlWild_ = nullptr;
    QLabel* pnlSize_ = nullptr;
    QPushButton* btDeleteDirectory_ = nullptr;
    QPushButton* btLaunch_ = nullptr;
    QPushButton* btMark_ = nullptr;
    QPushButton* btView_ = nullptr;
    QPushButton* btDeleteFiles_ = nullptr;
    QPushButton* btClose_ = nullptr;
    QPushButton* btDetails_ = nullptr;
    QPushButton* btOptions_ = nullptr;
};

}  // namespace dw
