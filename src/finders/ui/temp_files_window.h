#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QPushButton;

namespace dw {

class TypeList;
class TypeListEditor;

// The editor of the stored temporary-file extensions, `frmTempFiles`, caption
// "Temporary file extensions". Shows the stored list (its own four defaults while none
// was ever stored), adds patterns from the extension picker, deletes, clears, adds the
// fourteen default patterns ("D&efaults", each one not yet present), and stores the list
// however it is closed, even unchanged.
class TfrmTempFiles : public QDialog {
    Q_OBJECT

public:
    // `chooseLines` (the extension picker by default) gives the type lines "&Add" adds.
    explicit TfrmTempFiles(QWidget* parent = nullptr,
                           std::function<QStringList()> chooseLines = {});
    ~TfrmTempFiles() override;

    TypeList* PickList1 = nullptr;
    QPushButton* btDefaults = nullptr;
    QPushButton* btClose = nullptr;

    void ReadInFromDisk();
    void WriteOutToDisk();
    void btDefaultsClick();

protected:
    void done(int result) override;

private:
    TypeListEditor* editor_ = nullptr;
};

}  // namespace dw
