#include "platform/shell.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "platform/environment.h"
#include "platform/paths.h"

namespace dw::platform {

namespace {

constexpr int kVerdictWaitMs = 5000;

QString argumentFor(const QByteArray& path) {
    QByteArray absolute = path;
    if (!absolute.startsWith(kSep)) {
        // Also keeps a name such as "-x" from being read as an option.
        absolute = currentFolder() + kSep + path;
    }
    const QString text = QFile::decodeName(absolute);
    if (QFile::encodeName(text) == absolute) {
        return text;
    }
    return QStringLiteral("file://") + QString::fromLatin1(absolute.toPercentEncoding("/"));
}

bool runXdgOpen(const QString& argument) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (program.isEmpty()) {
        return false;
    }
    // Parented to the application so that an xdg-open still waiting on its application
    // is reaped when it ends, not killed now.
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(program);
    process->setArguments({argument});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    if (process->waitForFinished(kVerdictWaitMs)) {
        const bool ok = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
        delete process;
        return ok;
    }
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    return true;
}

}  // namespace

bool openWithDesktop(const QByteArray& path) {
    if (path.isEmpty()) {
        return false;
    }
    return runXdgOpen(argumentFor(path));
}

bool openUrlWithDesktop(const QUrl& url) {
    if (!url.isValid() || url.isRelative()) {
        return false;
    }
    return runXdgOpen(url.toString(QUrl::FullyEncoded));
}

}  // namespace dw::platform
