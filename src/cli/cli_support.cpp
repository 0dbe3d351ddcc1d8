#include "cli/cli_support.h"

#include <QCoreApplication>
#include <QFile>

namespace dw::cli {

namespace {

bool endingWithCommand_ = false;

}  // namespace

void setEndingWithCommand(bool ending) {
    endingWithCommand_ = ending;
}

bool endingWithCommand() {
    return endingWithCommand_;
}

int usageError(QTextStream& err, const char* command, const QString& message) {
    const QString name = command ? QLatin1String(kProgramName) + u' ' + QLatin1String(command)
                                 : QString::fromLatin1(kProgramName);
    err << name << ": " << message << '\n' << "Try '" << name << " --help'." << '\n';
    err.flush();
    return kExitUsage;
}

void writeBytes(QTextStream& stream, const QByteArray& bytes) {
    if (QIODevice* device = stream.device()) {
        stream.flush();
        device->write(bytes);
    } else {
        stream << QFile::decodeName(bytes);
    }
}

QList<DriveEntry> folderEntries(const QList<QByteArray>& folders) {
    QList<DriveEntry> entries;
    entries.reserve(folders.size());
    for (const QByteArray& folder : folders) {
        DriveEntry e;
        e.kind = DriveEntry::Kind::ExtraFolder;
        e.startFolder = folder;
        e.text = QFile::decodeName(folder);
        e.checked = true;
        entries.append(e);
    }
    return entries;
}

void tell(platform::MessageKind kind, const QString& text, std::optional<platform::Sound> sound) {
    platform::Prompter& p = platform::prompter();
    if (sound) {
        p.playSound(*sound);
    }
    p.ask(kind, QCoreApplication::applicationName(), text, platform::Buttons::Ok);
}

}  // namespace dw::cli
