#include "widgets/folder_chooser.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace dw {

namespace {

FolderChooser& installed() {
    static FolderChooser chooser;
    return chooser;
}

}  // namespace

std::optional<QByteArray> ChooseFolder(QWidget* parent, const QString& title,
                                       const QByteArray& start) {
    if (installed()) {
        return installed()(parent, title, start);
    }
    QString dir = QFile::decodeName(start);
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QDir::rootPath();
    }
    const QString chosen =
        QFileDialog::getExistingDirectory(parent, title, dir, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    QByteArray path = QFile::encodeName(QDir::cleanPath(chosen));
    return path;
}

FolderChooser setFolderChooser(FolderChooser chooser) {
    FolderChooser previous = std::move(installed());
    installed() = std::move(chooser);
    return previous;
}

}  // namespace dw
