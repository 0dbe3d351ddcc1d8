#pragma once

#include <QByteArray>
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace dw {

// The password dialog ("Enter Password") asked for an encrypted archive entry: two
// masked fields, "&Password" and "&Verify"; OK is enabled only while both are equal,
// and typing in the first empties the second.
class TfrmPassword : public QDialog {
    Q_OBJECT

public:
    explicit TfrmPassword(QWidget* parent = nullptr);

    // The password typed, as UTF-8 bytes (what ZIP tools of this system use).
    QByteArray password() const;

    QLineEdit* edPassword = nullptr;
    QLineEdit* edVerify = nullptr;
    QPushButton* btOK = nullptr;

private:
    void updateOk();
};

}  // namespace dw
