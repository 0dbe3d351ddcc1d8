#include "safety/ui/edit_folder_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/paths.h"
#include "safety/folder_list.h"
#include "widgets/folder_chooser.h"

namespace dw {

namespace {

QByteArray withTrailingSeparator(QByteArray folder) {
    if (!folder.endsWith(platform::kSep)) {
        folder.append(platform::kSep);
    }
    return folder;
}

}  // namespace

TfrmEditFolder::TfrmEditFolder(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmEditFolder"));
    setWindowTitle(QStringLiteral("Edit Folder"));

    auto* label = new QLabel(QStringLiteral("&Folder:"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    label->setBuddy(Edit1);
    SpeedButton1 = new QPushButton(QStringLiteral("Browse"), this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoDefault(false);
    cbAll = new QCheckBox(
        QStringLiteral("Protect sub-folders - all sub-folders should NOT be deleted"), this);
    cbAll->setObjectName(QStringLiteral("cbAll"));
    lblExample = new QLabel(this);
    lblExample->setObjectName(QStringLiteral("lblExample"));
    lblExample->setWordWrap(true);
    lblExample->setMinimumHeight(lblExample->fontMetrics().lineSpacing() * 3);
    lblExample->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(SpeedButton1, &QPushButton::clicked, this, &TfrmEditFolder::SpeedButton1Click);
    connect(cbAll, &QCheckBox::clicked, this, &TfrmEditFolder::updateExample);
    connect(Edit1, &QLineEdit::textChanged, this, &TfrmEditFolder::updateExample);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(Edit1, 0, 1);
    layout->addWidget(SpeedButton1, 0, 2);
    layout->addWidget(cbAll, 1, 0, 1, 3);
    layout->addWidget(lblExample, 2, 0, 1, 3);
    layout->addWidget(buttons, 3, 0, 1, 3);
    layout->setColumnStretch(1, 1);
    resize(480, sizeHint().height());
    updateExample();
}

TfrmEditFolder::~TfrmEditFolder() = default;

void TfrmEditFolder::setEntry(const QByteArray& entry) {
    const bool subtree = isSubtreeEntry(entry);
    bytes_ = subtree ? entry.chopped(qsizetype(sizeof(kSubtreeMarker) - 1)) : entry;
    cbAll->setChecked(subtree);
    Edit1->setText(QFile::decodeName(bytes_));
    updateExample();
}

QByteArray TfrmEditFolder::entry() const {
    const QString text = Edit1->text();
    if (text.trimmed().isEmpty()) {
        return {};
    }
    // The bytes shown stay exact while the text is unchanged: names that are not valid
    // UTF-8 do not survive a round trip through display text.
    QByteArray folder = (text == QFile::decodeName(bytes_)) ? bytes_ : QFile::encodeName(text);
    folder = withTrailingSeparator(folder);
    if (cbAll->isChecked()) {
        folder += kSubtreeMarker;
    }
    return folder;
}

void TfrmEditFolder::updateExample() {
    const QString t = Edit1->text();
    const QChar quote(u'"');
    if (cbAll->isChecked()) {
        lblExample->setText(
            t.isEmpty()
                ? QStringLiteral(
                      "All files and sub-folders below the one you select will NOT be deleted.")
                : QStringLiteral("All files and sub-folders below ") + quote + t + quote +
                      QStringLiteral(" will NOT be deleted."));
    } else {
        lblExample->setText(t.isEmpty() ? QString()
                                        : QStringLiteral("Only files in this folder ") + quote + t +
                                              quote + QStringLiteral(" will NOT be deleted."));
    }
}

void TfrmEditFolder::SpeedButton1Click() {
    const std::optional<QByteArray> chosen =
        ChooseFolder(this, QStringLiteral("Select a folder that won't be deleted"),
                     entry().isEmpty() ? QByteArray() : entryFolder(entry()));
    if (!chosen) {
        return;
    }
    bytes_ = withTrailingSeparator(*chosen);
    Edit1->setText(QFile::decodeName(bytes_));
}

}  // namespace dw
