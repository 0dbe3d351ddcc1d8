#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace dw {

class TypeList;
class TypeListEditor;

// "File types": the editor of one of the statistics' stored type lists ("Include" or
// "Exclude"), opened modally by the drive and type dialog. It reads the list when first
// shown and, however it is closed ("Close", Esc, the close box), stores it and closes
// with QDialog::Accepted.
class TfrmStatList : public QDialog {
    Q_OBJECT

public:
    // `listName`: "Include" or "Exclude".
    explicit TfrmStatList(const QString& listName, QWidget* parent = nullptr);
    ~TfrmStatList() override;

    const QString& listName() const { return listName_; }

    TypeList* PickList1 = nullptr;
    QLabel* lblCount = nullptr;
    QPushButton* btAdd = nullptr;
    QPushButton* btDelete = nullptr;
    QPushButton* btClear = nullptr;
    QPushButton* btClose = nullptr;

    // Loads the list (ReadStatTypeList) and shows its count ("N available").
    void FormShow();
    // "&Add" (the extension picker), "&Delete" and "&Clear all" work as TypeListEditor
    // says; the count follows each.
    // "Close", Esc, the close box: stores the list (WriteStatTypeList; an error box
    // when that fails) and closes with Accepted.
    void btCloseClick();

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateCount();

    TypeListEditor* editor_ = nullptr;
    QString listName_;
    bool shownOnce_ = false;
};

}  // namespace dw
