#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "base/settings_store.h"
#include "platform/environment.h"
#include "support/cli_runner.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::CliRun;

// Runs the built diskwell-cli with its settings folder and PATH as given.
CliRun runCli(const QStringList& args, const QString& configDir, const QByteArray& path) {
    test::CliOptions options;
    options.env.insert(QStringLiteral("DISKWELL_CONFIG_DIR"), configDir);
    options.env.insert(QStringLiteral("PATH"), QFile::decodeName(path));
    return test::runCli(args, options);
}

TEST(CliProtected, AnswersForEachPathFromTheProgramsLists) {
    test::TempTree t;
    const QByteArray r = platform::shortPath(t.root());
    t.dir("config");
    t.file("bin/tool");
    t.file("data/deep/report.txt");
    t.file("docs/a.txt");
    t.file("docs/sub/b.txt");
    t.file("plain/driver.SYS");
    t.file("plain/notes.txt");
    t.file("plain/caf\xc3\xa9.txt");
    t.file("config/folders.txt", r + "/data/*.*\n" + r + "/docs/\n");
    {
        test::ScopedEnv config("DISKWELL_CONFIG_DIR", r + "/config");
        ASSERT_TRUE(
            SettingsStore().writeList(QStringLiteral("NoDelExt"), {QStringLiteral("*.sys")}));
    }
    const QString config = QFile::decodeName(r + "/config");

    const QByteArray paths[] = {
        r + "/bin/tool",
        r + "/data",
        r + "/data/deep/report.txt",
        r + "/docs",
        r + "/docs/a.txt",
        r + "/docs/sub/b.txt",
        r + "/plain/driver.SYS",
        r + "/plain/notes.txt",
        r + "/plain/caf\xc3\xa9.txt",
        r + "/missing/x.sys",
        "-odd",
    };
    QStringList args{QStringLiteral("protected"), QStringLiteral("--")};
    for (const QByteArray& p : paths) {
        args.append(QFile::decodeName(p));
    }
    const CliRun run = runCli(args, config, r + "/bin:/nowhere-h6");
    ASSERT_EQ(run.status, 0) << run.err.constData();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
    const QByteArray expected =
        r + "/bin/tool\tprotected\tin the search path\n" + r +
        "/data\tprotected\treferenced in the registry\n" + r +
        "/data/deep/report.txt\tprotected\treferenced in the registry\n" + r +
        "/docs\tprotected\treferenced in the registry\n" + r +
        "/docs/a.txt\tprotected\treferenced in the registry\n" + r +
        "/docs/sub/b.txt\tnot protected\n" + r +
        "/plain/driver.SYS\tprotected\tincluded in the protected file extensions\n" + r +
        "/plain/notes.txt\tnot protected\n" + r + "/plain/caf\xc3\xa9.txt\tnot protected\n" + r +
        "/missing/x.sys\tprotected\tincluded in the protected file extensions\n" +
        "-odd\tnot protected\n";
    EXPECT_EQ(run.out, expected);

    // The system folders answer too.
    const CliRun system = runCli({QStringLiteral("protected"), QStringLiteral("/etc/hostname")},
                                 config, "/nowhere-h6");
    EXPECT_EQ(system.out, QByteArray("/etc/hostname\tprotected\tin the Windows/System folder\n"));

    // The system's trees are protected as a whole, their caches and logs are not.
    const CliRun trees =
        runCli({QStringLiteral("protected"), QStringLiteral("/etc/ssh/ssh_config"),
                QStringLiteral("/usr/lib/x86_64-linux-gnu/libc.so.6"),
                QStringLiteral("/var/lib/dpkg/status"), QStringLiteral("/var/log/syslog")},
               config, "/nowhere-h6");
    EXPECT_EQ(trees.out,
              QByteArray("/etc/ssh/ssh_config\tprotected\tin the Windows/System folder\n"
                         "/usr/lib/x86_64-linux-gnu/libc.so.6\tprotected\tin the Windows/System "
                         "folder\n"
                         "/var/lib/dpkg/status\tprotected\tin the Windows/System folder\n"
                         "/var/log/syslog\tnot protected\n"));
}

TEST(CliProtected, MissingListAndBadArguments) {
    QTemporaryDir config;
    const CliRun missing = runCli({QStringLiteral("protected"), QStringLiteral("/srv/x/a.txt")},
                                  config.path(), "/usr/bin");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, QByteArray("/srv/x/a.txt\tnot protected\n"));
    EXPECT_TRUE(missing.err.contains("has not been built yet")) << missing.err.constData();

    const CliRun none = runCli({QStringLiteral("protected")}, config.path(), "/usr/bin");
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_TRUE(none.err.contains("no path given"));

    const CliRun option =
        runCli({QStringLiteral("protected"), QStringLiteral("--all"), QStringLiteral("/x")},
               config.path(), "/usr/bin");
    EXPECT_EQ(option.status, 2);
    EXPECT_TRUE(option.err.contains("unknown option '--all'"));

    const CliRun help =
        runCli({QStringLiteral("help"), QStringLiteral("protected")}, config.path(), "/usr/bin");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: diskwell-cli protected PATH..."));
}

}  // namespace
}  // namespace dw
