#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <memory>

#include "platform/event_pump.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace dw {

class ElidedLabel;

class ArchiveReader;
class DriveComboBox;
class FolderListBox;
struct RestoreFailure;

// The restore window `TfrmUnZipIt` ("Unzip Diskwell Archive Zip Files"): a drive
// selector, a folder list and the list of the folder's archives ("Drive*.zip", case
// ignored), the contents of the archive on view as a tree with its path, entry count and
// comment, and the buttons to view an archive, extract it back to its places, and
// close. Extraction runs the restore engine into the folder chosen in TfrmZipDirectory
// and reports each entry that fails as described there (existing files are kept and
// reported as duplicate names, which the user may choose to hear no more of).
class TfrmUnZipIt : public QDialog {
    Q_OBJECT

public:
    // `zipFolder`: DefaultZipPath, where the folder list starts (defaultZipFolder()
    // when empty).
    explicit TfrmUnZipIt(QWidget* parent = nullptr, const QString& zipFolder = QString());
    ~TfrmUnZipIt() override;

    // Show steps: empties lblZip, moves the folder list to the start folder and, when
    // that holds no archive, shows the "no archive zip files" note 600 ms later, once.
    void FormShow();
    // btExtract and btView enabled exactly when an archive of the list is selected.
    void BtExtractEnable();
    // Views the selected archive: loads it into the tree unless it cannot be read (a
    // loaded archive then stays on view; with none loaded the view stays empty).
    void FileListBox1DblClick();
    // Views the selected archive, asks the destination and extracts every entry there.
    void ExtractFiles1Click();

    // The archive loaded into the view, empty when none.
    QByteArray loadedArchive() const;

    DriveComboBox* DriveComboBox1 = nullptr;
    FolderListBox* DirectoryListBox1 = nullptr;
    QListWidget* FileListBox1 = nullptr;
    QTreeWidget* Outline = nullptr;
    ElidedLabel* lblZip = nullptr;
    QLabel* lblCount = nullptr;
    QLabel* pnlComment = nullptr;
    QProgressBar* Gauge1 = nullptr;
    QPushButton* btView = nullptr;
    QPushButton* btExtract = nullptr;
    QPushButton* btClose = nullptr;

    // Closes the window, except while a restore runs.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillFileList();
    QByteArray selectedArchive() const;
    bool OutlineLoad(const QByteArray& path);
    void showArchive();
    void OutlineProcessItemFailure(const RestoreFailure& failure);
    void OutlineArchiveProgress(int percent);

    std::unique_ptr<ArchiveReader> archive_;
    QByteArray startFolder_;
    bool ignoreDuplicateWarnings_ = false;
    // The same choice for entries that could not be written.
    bool ignoreFailureWarnings_ = false;
    bool shownOnce_ = false;
    bool busy_ = false;
    platform::ClockedPump pump_;
};

}  // namespace dw
