#pragma once

#include <QByteArray>
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dw {

// "Edit Folder": edits one entry of the Safe Harbor folder list, its folder (`Edit1`,
// typed or chosen with "Browse") and whether the folder's sub-folders are protected too
// (`cbAll`: a subtree entry). Created for one use and shown modally; "OK" closes with
// QDialog::Accepted, "Cancel" with Rejected.
class TfrmEditFolder : public QDialog {
    Q_OBJECT

public:
    explicit TfrmEditFolder(QWidget* parent = nullptr);
    ~TfrmEditFolder() override;

    QLineEdit* Edit1 = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QCheckBox* cbAll = nullptr;
    QLabel* lblExample = nullptr;

    // Shows `entry` for editing: a subtree entry without its "*.*" and with cbAll
    // checked, any other entry as it is with cbAll unchecked.
    void setEntry(const QByteArray& entry);

    // The entry the dialog holds: the folder text (the very bytes given to setEntry or
    // chosen with Browse while the text is unchanged, so any file name survives), with
    // "/" appended when it does not end with one, followed by "*.*" when cbAll is
    // checked. The empty text when Edit1 is empty (or only blanks).
    QByteArray entry() const;

    // Sets lblExample from cbAll and Edit1: "All files and sub-folders below "T" will NOT
    // be deleted." / "All files and sub-folders below the one you select will NOT be
    // deleted." when checked, "Only files in this folder "T" will NOT be deleted." / the
    // empty text when not (T the text of Edit1, or empty).
    void updateExample();

    // "Browse": the folder browser, opening at the folder of Edit1; its choice, with a
    // trailing "/", replaces the text.
    void SpeedButton1Click();

private:
    QByteArray bytes_;  // what Edit1 shows, as native bytes
};

}  // namespace dw
