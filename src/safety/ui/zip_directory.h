#pragma once

#include <QByteArray>
#include <QDialog>

class QLabel;
class QPushButton;

namespace dw {

class ElidedLabel;

class DriveComboBox;
class FolderListBox;

// The destination dialog `TfrmZipDirectory` ("Destination folder") of a restore: the
// archive being restored, a drive selector and folder list opening on the suggested
// root, the chosen folder, OK, Cancel and "&Create sub-folder...".
//
// Archives store full paths without the leading "/", so the suggested root is always
// "/", where every file goes back to its place. OK on "/" closes at once when the
// archive's name carries the key of a mounted volume; when it names a volume that is
// not mounted, restoring into "/" would fill the empty mount point folder instead, so
// an error says so and the dialog stays open. Any other folder, and "/" for an archive
// whose name carries no volume ("DriveC.zip"), asks "You are not restoring into the
// original root folder. ..." first, naming the folder. The process's current folder is never
// changed.
class TfrmZipDirectory : public QDialog {
    Q_OBJECT

public:
    explicit TfrmZipDirectory(QWidget* parent = nullptr);

    // The archive being restored (its full path; shown in lblZip).
    void setArchive(const QString& archivePath);

    // The folder chosen: the highlighted folder of the list (DirLabel shows it), valid
    // after OK.
    QByteArray chosenFolder() const;

    // OK: closes with Accepted, or asks / refuses as above.
    void Button1Click();
    // "&Create sub-folder...": asks a name and makes the folder below the chosen one,
    // which then becomes the chosen folder.
    void Button3Click();

    ElidedLabel* lblZip = nullptr;
    DriveComboBox* DriveComboBox1 = nullptr;
    FolderListBox* DLB = nullptr;
    ElidedLabel* DirLabel = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;

private:
    void showFolder(const QByteArray& folder);

    QString archive_;
};

}  // namespace dw
