#include "widgets/dialog_buttons.h"

#include <QDialog>
#include <QPushButton>

namespace dw {

QDialogButtonBox* OkCancelButtons(QDialog* dialog, QPushButton** ok) {
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* okButton = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    okButton->setObjectName(QStringLiteral("btOK"));
    okButton->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btCancel"));
    QObject::connect(okButton, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    if (ok)
        *ok = okButton;
    return buttons;
}

}  // namespace dw
