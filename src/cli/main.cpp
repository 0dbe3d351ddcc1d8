// diskwell-cli: the command-line front end of Diskwell's engines.
#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QTextStream>

#include <cstdio>

#include "cli/cli_support.h"
#include "cli/command_line.h"
#include "platform/process_memory.h"

int main(int argc, char** argv) {
    dw::platform::keepLargeBlocksApart();
    // The arguments as the system gave them: folder names are native bytes and must not
    // go through a text decoding.
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i) {
        args.append(QByteArray(argv[i]));
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(dw::cli::kProgramName));
    QCoreApplication::setApplicationVersion(QStringLiteral(DISKWELL_VERSION));

    dw::cli::setEndingWithCommand(true);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = dw::cli::runCommandLine(args, out, err);
    out.flush();
    err.flush();
    return status;
}
