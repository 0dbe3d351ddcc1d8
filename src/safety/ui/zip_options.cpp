#include "safety/ui/zip_options.h"

#include <QDialogButtonBox>
#include <QDir>
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
#include "platform/dir_reader.h"
#include "widgets/dialog_buttons.h"
#include "widgets/folder_chooser.h"
#include "widgets/message_boxes.h"

#include <unistd.h>

namespace dw {

namespace {

constexpr int kCommentLength = 80;

QString section() {
    return QString::fromLatin1(settings::kZipFile);
}

// The folder as typed, with a leading "~" read as the home folder, as a shell would.
QString typedFolder(const QLineEdit& edit) {
    const QString typed = edit.text().trimmed();
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/"))) {
        return QDir::homePath() + typed.mid(1);
    }
    return typed;
}

}  // namespace

TfrmZipOptions::TfrmZipOptions(QWidget* parent, QString* defaultZipPath)
    : QDialog(parent), defaultZipPath_(defaultZipPath) {
    setObjectName(QStringLiteral("frmZipOptions"));
    setWindowTitle(QStringLiteral("Archive Zip File Options"));

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMinimumWidth(360);
    Edit1->setPlaceholderText(defaultZipFolder());
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton1->setToolTip(QStringLiteral("Location of archive zip files"));
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });

    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setMaxLength(kCommentLength);

    btLastComment = new QToolButton(this);
    btLastComment->setObjectName(QStringLiteral("btLastComment"));
    btLastComment->setText(QStringLiteral("Use &last"));
    btLastComment->setEnabled(false);
    connect(btLastComment, &QToolButton::clicked, this, [this] {
        Edit2->setText(lastComment_);
        Edit2->setFocus();
    });

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(Edit1, 1);
    folderRow->addWidget(SpeedButton1);
    auto* commentRow = new QHBoxLayout;
    commentRow->addWidget(Edit2, 1);
    commentRow->addWidget(btLastComment);

    auto* form = new QFormLayout;
    auto* folderLabel = new QLabel(QStringLiteral("Folder for archive zip files:"), this);
    auto* commentLabel = new QLabel(QStringLiteral("&Comment stored in the archive:"), this);
    commentLabel->setBuddy(Edit2);
    form->addRow(folderLabel, folderRow);
    form->addRow(commentLabel, commentRow);

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
    // The last comment is offered, never put into new archives unasked: archives of
    // other files would otherwise carry a description that is not theirs.
    lastComment_ = comment_.left(kCommentLength);
    comment_.clear();
    Edit2->clear();
    Edit2->setPlaceholderText(
        lastComment_.isEmpty() ? QString() : QStringLiteral("Last used: ") + lastComment_);
    btLastComment->setEnabled(!lastComment_.isEmpty());
    btLastComment->setToolTip(lastComment_.isEmpty()
                                  ? QString()
                                  : QStringLiteral("Use the last comment again: ") + lastComment_);
    read_ = true;
}

void TfrmZipOptions::writeSettings() {
    zipPath_ = typedFolder(*Edit1);
    comment_ = Edit2->text();
    if (defaultZipPath_) {
        *defaultZipPath_ = zipPath_;
    }
    SettingsStore store;
    // An empty field keeps the remembered comment for the next offer.
    const bool ok =
        store.writeString(section(), QString::fromLatin1(settings::kZipPath), zipPath_) &&
        (comment_.isEmpty() ||
         store.writeString(section(), QString::fromLatin1(settings::kZipComment), comment_));
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

QString TfrmZipOptions::folderProblem(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder.isEmpty() ? defaultZipFolder() : folder);
    const std::optional<platform::DirEntry> entry = platform::statPath(path);
    if (!entry) {
        return QStringLiteral("it does not exist");
    }
    if (!entry->isFolder()) {
        return QStringLiteral("it is not a folder");
    }
    if (::access(path.constData(), W_OK | X_OK) != 0) {
        return QStringLiteral("you may not write to it");
    }
    return {};
}

void TfrmZipOptions::done(int result) {
    if (result == QDialog::Accepted) {
        // The run would otherwise fail at its first file, after the user has gone.
        const QString typed = typedFolder(*Edit1);
        const QString problem = folderProblem(typed);
        if (!problem.isEmpty()) {
            ShowError(QStringLiteral("The archives cannot go to the folder \"%1\": %2.  Type "
                                     "another folder or choose one with the button beside the "
                                     "field.")
                          .arg(typed, problem));
            Edit1->setFocus();
            Edit1->selectAll();
            return;
        }
    }
    writeSettings();
    QDialog::done(result);
}

}  // namespace dw
