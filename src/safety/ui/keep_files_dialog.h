#pragma once

#include <QDialog>
#include <QStringList>

class QPushButton;

namespace dw {

class TypeList;

// "Safe Harbor file extensions": the editor of the protected extensions and file names
// (the settings list "NoDelExt"). Created for one use and shown modally by the Safe
// Harbor window. The list is read when the window is first shown and stored whenever it
// closes, by any means.
class TfrmKeepFiles : public QDialog {
    Q_OBJECT

public:
    explicit TfrmKeepFiles(QWidget* parent = nullptr);
    ~TfrmKeepFiles() override;

    TypeList* PickList1 = nullptr;
    QPushButton* btAdd = nullptr;
    QPushButton* btDelete = nullptr;
    QPushButton* btClear = nullptr;
    QPushButton* btDefaults = nullptr;
    QPushButton* btClose = nullptr;

    // The type lines of the stored list: each non-empty stored entry, TAB and its file
    // type's name; "*.drv" and "*.sys" in that form while the list has never been saved.
    static QStringList storedLines();

    // Fills PickList1 with storedLines().
    void ReadInFromDisk();
    // Stores PickList1 as "NoDelExt" (each line's pattern, in list order). On failure
    // shows an error box and returns false.
    bool WriteOutToDisk();

    // "&Add": the extension picker; its choice is added, each line once.
    void btAddClick();
    // "&Delete": removes the selected lines; more than one only after the confirmation
    // "Really delete N extensions?" is answered Yes. Nothing selected: nothing happens.
    void btDeleteClick();
    // "&Clear all": empties the list after "Really clear out all extensions?" is answered
    // Yes.
    void btClearClick();
    // "D&efaults": adds "*.sys" and "*.drv", each unless it is there.
    void btDefaultsClick();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool shownOnce_ = false;
};

}  // namespace dw
