#include "support/cli_runner.h"

#include <QProcess>

namespace dw::test {

namespace {
constexpr int kStartMs = 30'000;
constexpr int kFinishMs = 120'000;
}  // namespace

CliRun runCli(const QStringList& args, const CliOptions& options) {
    QProcess p;
    p.setProcessEnvironment(options.env);
    if (!options.workingFolder.isEmpty())
        p.setWorkingDirectory(options.workingFolder);
    if (options.merged)
        p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(DISKWELL_CLI_PATH), args);
    CliRun run;
    if (!p.waitForStarted(kStartMs))
        return run;
    p.write(options.input);
    p.closeWriteChannel();
    if (!p.waitForFinished(kFinishMs) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = p.exitCode();
    run.out = p.readAllStandardOutput();
    if (!options.merged)
        run.err = p.readAllStandardError();
    return run;
}

}  // namespace dw::test
