#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>

#include "scan/drive_entry.h"

class QListWidget;
class QPushButton;

namespace dw {

class DriveCheckList;

// "Add new folders": edits the extra folders that every drive check list offers beside
// the drives (the settings list "NewFolders"). The list is read when the dialog is first
// shown and stored only by "Close"; leaving by the close box or Esc stores nothing.
// Created by its caller for one use and shown modally; the caller then fills its drive
// check list again (AddFolderToDriveList does both).
class TfrmAddNewFolder : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAddNewFolder(QWidget* parent = nullptr);
    ~TfrmAddNewFolder() override;

    // The folders (native bytes), sorted, several selectable.
    QListWidget* ListBox1 = nullptr;
    QPushButton* btAdd = nullptr;
    QPushButton* btDel = nullptr;
    QPushButton* Button1 = nullptr;  // "Close"

    // The folders in list order.
    QList<QByteArray> folders() const;

    // Fills the list from "NewFolders".
    void ReadInFromDisk();
    // Stores the list as "NewFolders"; an error box and false when it cannot.
    bool WriteOutToDisk();

    // "Add": the folder browser; the chosen folder joins the list unless it is there
    // (folders compare exactly: on Linux "/data/A" and "/data/a" are two folders).
    void btAddClick();
    // "Del": removes the selected folders; none selected gives an error box, more than
    // one asks "Really delete N folders?" and goes on only on Yes.
    void btDelClick();
    // "Close": stores the list and closes with Accepted.
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void addFolder(const QByteArray& folder);

    bool shownOnce_ = false;
};

// The finders' "Add a folder to the list of drives": shows TfrmAddNewFolder over
// `parent`, then fills `list` again for `kinds` with the extra folders (its checks start
// anew), whether the folders were stored or not.
void AddFolderToDriveList(QWidget* parent, DriveCheckList& list, DriveKinds kinds);

}  // namespace dw
