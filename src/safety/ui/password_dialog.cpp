#include "safety/ui/password_dialog.h"
#include "widgets/dialog_buttons.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dw {

TfrmPassword::TfrmPassword(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPassword"));
    setWindowTitle(QStringLiteral("Enter Password"));
    edPassword = new QLineEdit(this);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    edVerify = new QLineEdit(this);
    edVerify->setObjectName(QStringLiteral("edVerify"));
    edVerify->setEchoMode(QLineEdit::Password);
    auto* passwordLabel = new QLabel(QStringLiteral("&Password"), this);
    passwordLabel->setBuddy(edPassword);
    auto* verifyLabel = new QLabel(QStringLiteral("&Verify"), this);
    verifyLabel->setBuddy(edVerify);

    auto* form = new QFormLayout;
    form->addRow(passwordLabel, edPassword);
    form->addRow(verifyLabel, edVerify);

    auto* buttons = OkCancelButtons(this, &btOK);

    // Typing in the first field asks for the verification anew.
    connect(edPassword, &QLineEdit::textEdited, this, [this] {
        edVerify->clear();
        updateOk();
    });
    connect(edVerify, &QLineEdit::textChanged, this, [this] { updateOk(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(320);
    updateOk();
}

QByteArray TfrmPassword::password() const {
    return edPassword->text().toUtf8();
}

void TfrmPassword::updateOk() {
    btOK->setEnabled(edPassword->text() == edVerify->text());
}

}  // namespace dw
