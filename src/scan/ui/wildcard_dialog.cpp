#include "scan/ui/wildcard_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "base/utility.h"

namespace dw {

TfrmWildCard::TfrmWildCard(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmWildCard"));
    setWindowTitle(QStringLiteral("Wildcard pattern"));

    auto* label = new QLabel(QStringLiteral("Change the wildcard matching pattern:"), this);
    cbWildCard = new QComboBox(this);
    cbWildCard->setObjectName(QStringLiteral("cbWildCard"));
    cbWildCard->setEditable(true);
    cbWildCard->setInsertPolicy(QComboBox::NoInsert);
    cbWildCard->setMaxVisibleItems(20);
    label->setBuddy(cbWildCard);
    QStringList patterns;
    RegisteredExtensionPatterns(patterns, true);
    cbWildCard->addItems(patterns);
    lblWild = new QLabel(this);
    lblWild->setObjectName(QStringLiteral("lblWild"));
    lblType = new QLabel(this);
    lblType->setObjectName(QStringLiteral("lblType"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cbWildCard, &QComboBox::currentTextChanged, this, &TfrmWildCard::cbWildCardClick);
    connect(cbWildCard, &QComboBox::editTextChanged, this, &TfrmWildCard::cbWildCardClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(cbWildCard);
    layout->addWidget(lblWild);
    layout->addWidget(lblType);
    layout->addStretch();
    layout->addWidget(buttons);
    resize(340, sizeHint().height());
    setPattern(QStringLiteral("*.*"));
}

TfrmWildCard::~TfrmWildCard() = default;

void TfrmWildCard::setPattern(const QString& pattern) {
    cbWildCard->setEditText(pattern);
    cbWildCardClick();
}

QString TfrmWildCard::pattern() const {
    return cbWildCard->currentText();
}

void TfrmWildCard::cbWildCardClick() {
    const QString text = cbWildCard->currentText();
    lblWild->setText(text == QLatin1String("*.*") ? QStringLiteral("All files") : QString());
    lblType->setText(FileTypeName(text.mid(1)));
}

}  // namespace dw
