#include "safety/ui/zip_options.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "widgets/dialog_buttons.h"
#include "widgets/folder_chooser.h"
#include "widgets/message_boxes.h"

namespace dw {

namespace {

constexpr int kCommentLength = 80;

QString section() {
    return QString::fromLatin1(settings::kZipFile);
}

}  // namespace

TfrmZipOptions::TfrmZipOptions(QWidget* parent, QString* defaultZipPath)
    : QDialog(parent), defaultZipPath_(defaultZipPath) {
    setObjectName(QStringLiteral("frmZipOptions"));
    setWindowTitle(QStringLiteral("Archive Zip File Options"));

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    Edit1->setMinimumWidth(360);
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton1->setToolTip(QStringLiteral("Location of archive zip files"));
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });

    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setMaxLength(kCommentLength);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(Edit1, 1);
    folderRow->addWidget(SpeedButton1);

    auto* form = new QFormLayout;
    auto* folderLabel = new QLabel(QStringLiteral("Folder for archive zip files:"), this);
    auto* commentLabel = new QLabel(QStringLiteral("&Comment stored in the archive:"), this);
    commentLabel->setBuddy(Edit2);
    form->addRow(folderLabel, folderRow);
    form->addRow(commentLabel, Edit2);

    auto* buttons = OkCancelButtons(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TfrmZipOptions::readSettings() {
    const SettingsStore store;
    zipPath_ =
        store.readString(section(), QString::fromLatin1(settings::kZipPath), defaultZipFolder());
    comment_ = store.readString(section(), QString::fromLatin1(settings::kZipComment), QString());
    if (defaultZipPath_) {
        *defaultZipPath_ = zipPath_;
    }
    Edit1->setText(zipPath_);
    Edit2->setText(comment_.left(kCommentLength));
    read_ = true;
}

void TfrmZipOptions::writeSettings() {
    zipPath_ = Edit1->text();
    comment_ = Edit2->text();
    if (defaultZipPath_) {
        *defaultZipPath_ = zipPath_;
    }
    SettingsStore store;
    const bool ok =
        store.writeString(section(), QString::fromLatin1(settings::kZipPath), zipPath_) &&
        store.writeString(section(), QString::fromLatin1(settings::kZipComment), comment_);
    if (!ok) {
        ShowError(QStringLiteral("The archive options could not be saved in the settings file."));
    }
}

void TfrmZipOptions::SpeedButton1Click() {
    const std::optional<QByteArray> chosen = ChooseFolder(
        this, QStringLiteral("Location of archive zip files"), QFile::encodeName(Edit1->text()));
    if (chosen) {
        Edit1->setText(QFile::decodeName(*chosen));
    }
}

void TfrmZipOptions::showEvent(QShowEvent* event) {
    if (!read_) {
        readSettings();
    }
    QDialog::showEvent(event);
}

void TfrmZipOptions::done(int result) {
    writeSettings();
    QDialog::done(result);
}

}  // namespace dw
