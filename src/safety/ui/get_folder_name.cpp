#include "safety/ui/get_folder_name.h"
#include "widgets/dialog_buttons.h"

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

    auto* buttons = OkCancelButtons(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(Edit1);
    layout->addWidget(buttons);
}

QString TfrmGetFolderName::folderName() const {
    return Edit1->text();
}

}  // namespace dw
