#include "safety/ui/zip_directory.h"

#include <QCoreApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/utility.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "platform/volumes.h"
#include "safety/archive_name.h"
#include "safety/archive_restore.h"
#include "safety/ui/get_folder_name.h"
#include "widgets/drive_combo_box.h"
#include "widgets/elided_label.h"
#include "widgets/folder_list_box.h"
#include "widgets/message_boxes.h"

namespace dw {

TfrmZipDirectory::TfrmZipDirectory(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmZipDirectory"));
    setWindowTitle(QStringLiteral("Destination folder"));

    auto* heading = new QLabel(QStringLiteral("Restore the files of the archive"), this);
    lblZip = new ElidedLabel(this);
    lblZip->setObjectName(QStringLiteral("lblZip"));
    QFont bold = lblZip->font();
    bold.setBold(true);
    lblZip->setFont(bold);
    auto* into = new QLabel(QStringLiteral("into the folder:"), this);

    DriveComboBox1 = new DriveComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DLB = new FolderListBox(this);
    DLB->setObjectName(QStringLiteral("DLB"));
    DLB->setMinimumSize(360, 240);
    DirLabel = new ElidedLabel(this);
    DirLabel->setObjectName(QStringLiteral("DirLabel"));

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QStringLiteral("&Create sub-folder..."), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(DriveComboBox1, &DriveComboBox::driveChosen, this,
            [this](const QByteArray& mountPoint) { DLB->setFolder(mountPoint); });
    // The label follows the highlight, so what it shows is where OK restores to.
    connect(DLB, &FolderListBox::selectedFolderChanged, this,
            [this](const QByteArray& folder) { showFolder(folder); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button3);
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(lblZip);
    layout->addWidget(into);
    layout->addWidget(DriveComboBox1);
    layout->addWidget(DLB, 1);
    layout->addWidget(DirLabel);
    layout->addLayout(buttons);

    // The suggested root: "/", where the stored full paths lead back to each file.
    DLB->setFolder(platform::kRootFolder);
    showFolder(DLB->selectedFolder());
}

void TfrmZipDirectory::setArchive(const QString& archivePath) {
    archive_ = archivePath;
    lblZip->setText(archivePath);
}

QByteArray TfrmZipDirectory::chosenFolder() const {
    return DLB->selectedFolder();
}

void TfrmZipDirectory::showFolder(const QByteArray& folder) {
    DirLabel->setText(QFile::decodeName(folder));
    DriveComboBox1->showVolumeOf(folder);
}

void TfrmZipDirectory::Button1Click() {
    const QByteArray target = chosenFolder();
    if (target == platform::kRootFolder && isVolumeArchiveName(archive_)) {
        QStringList keys;
        for (const platform::Volume& v : platform::mountedVolumes()) {
            keys.append(platform::volumeKey(v.mountPoint));
        }
        if (!archiveVolumeKey(archive_, keys).isEmpty()) {
            accept();
            return;
        }
        ShowError(QStringLiteral(
            "The volume this archive was made from is not mounted, so its files cannot go "
            "back to their places now.  Mount the volume first, or choose another folder to "
            "restore the files into."));
        return;
    }
    const platform::Answer answer = platform::prompter().ask(
        platform::MessageKind::Question, QCoreApplication::applicationName(),
        QStringLiteral("You are not restoring into the original root folder.  The files will "
                       "not be restored to their original locations. Is this OK?") +
            QStringLiteral("\n\nThe files will be restored into the folder \"%1\".")
                .arg(QFile::decodeName(target)),
        platform::Buttons::YesNo);
    if (answer == platform::Answer::Yes) {
        accept();
    }
}

void TfrmZipDirectory::Button3Click() {
    const QByteArray below = chosenFolder();
    TfrmGetFolderName ask(this);
    if (ask.exec() == QDialog::Accepted && !ask.folderName().isEmpty()) {
        const QByteArray name = QFile::encodeName(ask.folderName());
        QString error;
        if (makeFolders(below, name, &error)) {
            // The new folder is where the user means to restore to.
            DLB->setFolder(below == platform::kRootFolder ? platform::kRootFolder + name
                                                          : below + platform::kSep + name);
            return;
        }
        ShowError(QStringLiteral("Cannot create the folder: ") + error);
    }
    DLB->refresh();
}

}  // namespace dw
