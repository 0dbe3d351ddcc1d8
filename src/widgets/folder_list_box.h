#pragma once

#include <QByteArray>
#include <QList>
#include <QTreeWidget>

namespace dw {

// A folder list in the classic style (`DirectoryListBox1`, `DLB`): the folders from the
// root down to the current folder, each shown open and indented one step more than the
// one above, then the current folder's sub-folders, shown closed, one step further in,
// in name order (ASCII case folded). Rows are numbered from the top, "/" being row 0. A
// double click or Enter on a row makes that folder the current one. Sub-folders are
// real folders only (a link is never listed as one); folders whose names begin with "."
// are left out unless they are on the way to the current folder. With the sibling
// folders shown (setSiblingsShown), every folder on the way down is listed among the
// other folders of its parent, those shown closed, in the same name order, so that
// opening a folder keeps its neighbours in view; rows are then still numbered as they
// show, top to bottom.
class FolderListBox : public QTreeWidget {
    Q_OBJECT

public:
    explicit FolderListBox(QWidget* parent = nullptr);

    // Makes `folder` (absolute, native bytes) the current folder and refills the list.
    // A folder that cannot be read shows its way down and no sub-folders. Emits
    // folderChanged when the folder differs from the current one.
    void setFolder(const QByteArray& folder);

    // The current folder; "/" before the first setFolder.
    const QByteArray& folder() const { return folder_; }
    // The folder of the highlighted row, however it was highlighted (a click, the arrow
    // keys); the current folder when no row is.
    QByteArray selectedFolder() const;

    // The number of rows, and the folder of `row` (empty for no such row).
    int count() const { return static_cast<int>(rows_.size()); }
    QByteArray folderAt(int row) const;

    // Whether the folders on the way down are listed among their siblings (off at
    // first). Refills the list when it changes.
    void setSiblingsShown(bool shown);
    bool siblingsShown() const { return siblingsShown_; }

    // Reads the current folder's sub-folders again (after one was made).
    void refresh();

signals:
    void folderChanged(const QByteArray& folder);
    // The highlighted row changed (also when the list is filled anew).
    void selectedFolderChanged(const QByteArray& folder);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // The list is always open all the way: no expand arrows.
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

private:
    void fill();
    void openItem(QTreeWidgetItem* item);

    QByteArray folder_ = "/";
    bool siblingsShown_ = false;
    QList<QTreeWidgetItem*> rows_;
};

}  // namespace dw
