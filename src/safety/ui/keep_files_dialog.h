#pragma once

#include <QDialog>
#include <QStringList>

class QPushButton;

namespace dw {

class TypeList;
class TypeListEditor;

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

    // "&Add" (the extension picker), "&Delete" and "&Clear all" work as TypeListEditor
    // says. "D&efaults": adds "*.sys" and "*.drv", each unless it is there.
    void btDefaultsClick();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TypeListEditor* editor_ = nullptr;
    bool shownOnce_ = false;
};

}  // namespace dw
