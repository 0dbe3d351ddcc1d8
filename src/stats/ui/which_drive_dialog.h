#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

#include "scan/drive_entry.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace dw {

class DriveCheckList;
class TypeList;

// "Which drives and file types?": the statistics' choice of drives and folders and of a
// file-type filter, a wizard of three pages shown one at a time.
// 1. "Which drives/folders?": the drive check list (fixed, network, CD-ROM and RAM
//    drives and the extra folders, the current drive checked). "&Next >>" is enabled
//    exactly while an entry is checked; its popup menu selects or deselects all and adds
//    extra folders.
// 2. "Which file types?": all files, selected file types only, or all except selected
//    ones. "&Next >>" with "&All files" ends the dialog with Accepted at once.
// 3. The type list ("Include" or "Exclude") to select from, "&Add/Delete" to edit it, and
//    "OK", enabled exactly while a drive entry is checked and a line is selected.
// Created by its caller for one use and shown modally: Accepted (1) with a choice, or
// Rejected (2) by "Cancel", Esc or the close box.
class TfrmWhichDrive : public QDialog {
    Q_OBJECT

public:
    enum class TypeChoice { AllFiles, Include, Exclude };

    explicit TfrmWhichDrive(QWidget* parent = nullptr);
    ~TfrmWhichDrive() override;

    // Results, after Accepted.
    QList<DriveEntry> checkedEntries() const;
    TypeChoice typeChoice() const { return choice_; }
    QStringList selectedTypeLines() const;

    // The page shown: 0, 1 or 2.
    int currentPage() const;

    DriveCheckList* pckDrive = nullptr;
    QPushButton* btNext1 = nullptr;
    QPushButton* btCancel = nullptr;
    QRadioButton* rbAll = nullptr;
    QRadioButton* rbInclude = nullptr;
    QRadioButton* rbExclude = nullptr;
    QPushButton* btPrevious2 = nullptr;
    QPushButton* btNext2 = nullptr;
    QLabel* lblHeading = nullptr;
    TypeList* PickList1 = nullptr;
    QLabel* lblOf = nullptr;
    QPushButton* btEdit = nullptr;
    QPushButton* btPrevious3 = nullptr;
    QPushButton* btOK = nullptr;

    // Fills the drive list and the type list ("Exclude"), shows page 1. Run by the first
    // show.
    void FormShow();
    // Enables "&Next >>" of page 1 from the checks.
    void pckDriveClick();
    // Page 2's "&Next >>".
    void btNext2Click();
    // Updates lblOf ("selected/count") and "OK" from the selection.
    void PickList1Click();
    // "&Add/Delete": the type-list editor on the list of the choice; then the list is
    // read again, nothing selected.
    void btEditClick();
    // "OK": records the choice and closes with Accepted.
    void btOKClick();

    // Page 1's popup menu: "Add a folder to the list of drives".
    void addFolderClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildDrivesPage();
    void buildChoicePage();
    void buildTypesPage();
    QString listName() const;
    void readTypeList(const QString& name);
    void showPage(int page);

    QStackedWidget* pages_ = nullptr;
    TypeChoice choice_ = TypeChoice::AllFiles;
    bool shownOnce_ = false;
};

}  // namespace dw
