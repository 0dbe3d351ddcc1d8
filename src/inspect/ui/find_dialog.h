#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace dw {

// The viewer's search: the text and its options. One for the whole program, so the last
// search carries over from one viewer window to the next.
struct FindSettings {
    QString text;
    bool backward = false;
    bool matchCase = false;
    bool global = false;
};
FindSettings& lastFindSettings();

// The find dialog `FindDlg` ("Find"): the search text (Edit1), "Search &Forward" or
// "Search &Backward", "&Match Case", "&Global Search", OK and Cancel. It opens with
// lastFindSettings() and writes them back when closed with OK (modal result Accepted).
class TFindDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFindDlg(QWidget* parent = nullptr);

    void accept() override;

    QLineEdit* Edit1() const { return Edit1_; }
    QRadioButton* RadioButton1() const { return RadioButton1_; }
    QRadioButton* RadioButton2() const { return RadioButton2_; }
    QCheckBox* CheckBox1() const { return CheckBox1_; }
    QCheckBox* CheckBox2() const { return CheckBox2_; }

private:
    QLineEdit* Edit1_ = nullptr;
    QRadioButton* RadioButton1_ = nullptr;
    QRadioButton* RadioButton2_ = nullptr;
    QCheckBox* CheckBox1_ = nullptr;
    QCheckBox* CheckBox2_ = nullptr;
};

}  // namespace dw
