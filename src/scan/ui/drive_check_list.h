#pragma once

#include <QList>
#include <QListWidget>

#include "scan/drive_entry.h"

namespace dw {

// A check list of drives and extra folders (the finders' `pckDrive`): one row per
// DriveEntry with a glyph (the volume's kind for drives, a folder for extra folders), its
// text and a check box. The list holds the structured entries it was given, so callers
// read back start folders, never texts. Any number of rows may be checked.
class DriveCheckList : public QListWidget {
    Q_OBJECT

public:
    explicit DriveCheckList(QWidget* parent = nullptr);

    // Replaces every row by `entries`, in their order, checked as they say.
    void setEntries(const QList<DriveEntry>& entries);

    // The entries with their current checks, in row order.
    QList<DriveEntry> entries() const;

    // Only the checked entries, in row order.
    QList<DriveEntry> checkedEntries() const;

    int checkedCount() const;

    // Checks or unchecks every row ("Select All", "Deselect All").
    void setAllChecked(bool checked);

signals:
    // A row's check changed, by the user or by setAllChecked (not by setEntries).
    void checksChanged();

private:
    QList<DriveEntry> entries_;
    bool filling_ = false;
};

// Fills `list` with the drive entries of this machine for a window's `kinds`, the
// current folder's volume checked (else the root volume "/"), followed by the extra
// folders of the settings list "NewFolders", unchecked, when `withExtraFolders`.
void FillDriveCheckList(DriveCheckList& list, DriveKinds kinds, bool withExtraFolders);

}  // namespace dw
