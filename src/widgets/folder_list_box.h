#pragma once

#include <QByteArray>
#include <QListWidget>

namespace dw {

// A folder list in the classic style (`DirectoryListBox1`, `DLB`): the folders from the
// root down to the current folder, each shown open and indented by its depth, then the
// current folder's sub-folders, shown closed, in name order (ASCII case folded). A
// double click or Enter on a row makes that folder the current one. Sub-folders are
// real folders only (a link is never listed as one); folders whose names begin with "."
// are left out unless they are on the way to the current folder.
class FolderListBox : public QListWidget {
    Q_OBJECT

public:
    explicit FolderListBox(QWidget* parent = nullptr);

    // Makes `folder` (absolute, native bytes) the current folder and refills the list.
    // A folder that cannot be read shows its way down and no sub-folders. Emits
    // folderChanged when the folder differs from the current one.
    void setFolder(const QByteArray& folder);

    // The current folder; "/" before the first setFolder.
    const QByteArray& folder() const { return folder_; }

    // The folder of `row`, or empty for no such row.
    QByteArray folderAt(int row) const;

    // Reads the current folder's sub-folders again (after one was made).
    void refresh();

signals:
    void folderChanged(const QByteArray& folder);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill();
    void openRow(int row);

    QByteArray folder_ = "/";
};

}  // namespace dw
