#include "inspect/ui/find_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace dw {

FindSettings& lastFindSettings() {
    static FindSettings settings;
    return settings;
}

TFindDlg::TFindDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FindDlg"));
    setWindowTitle(QStringLiteral("Find"));
    auto* layout = new QVBoxLayout(this);
    Edit1_ = new QLineEdit(this);
    Edit1_->setObjectName(QStringLiteral("Edit1"));
    Edit1_->setMinimumWidth(260);
    layout->addWidget(Edit1_);

    auto* options = new QHBoxLayout;
    auto* direction = new QGroupBox(this);
    auto* directionLayout = new QVBoxLayout(direction);
    RadioButton1_ = new QRadioButton(QStringLiteral("Search &Forward"), direction);
    RadioButton1_->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton2_ = new QRadioButton(QStringLiteral("Search &Backward"), direction);
    RadioButton2_->setObjectName(QStringLiteral("RadioButton2"));
    directionLayout->addWidget(RadioButton1_);
    directionLayout->addWidget(RadioButton2_);
    auto* checks = new QVBoxLayout;
    CheckBox1_ = new QCheckBox(QStringLiteral("&Match Case"), this);
    CheckBox1_->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox2_ = new QCheckBox(QStringLiteral("&Global Search"), this);
    CheckBox2_->setObjectName(QStringLiteral("CheckBox2"));
    checks->addWidget(CheckBox1_);
    checks->addWidget(CheckBox2_);
    checks->addStretch(1);
    options->addWidget(direction);
    options->addLayout(checks);
    layout->addLayout(options);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFindDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TFindDlg::reject);
    layout->addWidget(buttons);

    const FindSettings& last = lastFindSettings();
    Edit1_->setText(last.text);
    Edit1_->selectAll();
    (last.backward ? RadioButton2_ : RadioButton1_)->setChecked(true);
    CheckBox1_->setChecked(last.matchCase);
    CheckBox2_->setChecked(last.global);
}

void TFindDlg::accept() {
    FindSettings& last = lastFindSettings();
    last.text = Edit1_->text();
    last.backward = RadioButton2_->isChecked();
    last.matchCase = CheckBox1_->isChecked();
    last.global = CheckBox2_->isChecked();
    QDialog::accept();
}

}  // namespace dw
