#include "safety/get_folder_name.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dw {

TfrmGetFolderName::TfrmGetFolderName(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmGetFolderName"));
    setWindowTitle(QStringLiteral("Create Sub-folder"));
    auto* label = new QLabel(QStringLiteral("&Name of the new folder:"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMinimumWidth(280);
    label->setBuddy(Edit1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btOK"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btCancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(Edit1);
    layout->addWidget(buttons);
}

QString TfrmGetFolderName::folderName() const {
    return Edit1->text();
}

}  // namespace dw
