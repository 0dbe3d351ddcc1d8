#include <gtest/gtest.h>

#include <QFile>
#include <QUuid>

#include <zip.h>

#include "safety/zip_run.h"
#include "support/cli_runner.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

QByteArray contentOf(const QByteArray& path) {
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// An archive holding exactly `entries` (name, data), names stored as given.
void craft(const QByteArray& path, const QList<std::pair<QByteArray, QByteArray>>& entries) {
    int code = 0;
    zip_t* za = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    ASSERT_NE(za, nullptr);
    for (const auto& [name, data] : entries) {
        zip_source_t* src = zip_source_buffer(za, data.constData(), data.size(), 0);
        ASSERT_GE(zip_file_add(za, name.constData(), src, ZIP_FL_ENC_RAW), 0);
    }
    ASSERT_EQ(zip_close(za), 0);
}

TEST(CliRestore, PutsArchivedFilesBackBelowTheFolderGiven) {
    TempTree tree;
    TempTree zips;
    TempTree into;
    const QByteArray a = tree.file("docs/a.txt", "alpha");
    const QByteArray b = tree.file("docs/odd\tname.txt", "beta");
    ZipRunSettings s;
    s.zipFolder = QFile::decodeName(zips.root());
    s.callerWord = QStringLiteral("Duplicates");
    ZipRunHooks hooks;
    hooks.fileDone = [](const ZipFileResult& r) {
        ASSERT_TRUE(r.archived) << r.reason.toStdString();
        QFile::remove(QFile::decodeName(r.path));
    };
    ZipRun run(s, hooks);
    run.addFile(a);
    run.addFile(b);
    ASSERT_TRUE(run.finish());
    const QString zip = QFile::decodeName(run.archives().value(0));
    EXPECT_TRUE(QFileInfo(zip).fileName().startsWith(QLatin1String("Drive-")));

    const test::CliRun r = test::runCli(
        {QStringLiteral("restore"), zip, QStringLiteral("--into"), QFile::decodeName(into.root())});
    EXPECT_EQ(r.status, 0) << r.errText().toStdString();
    EXPECT_EQ(contentOf(into.root() + a), "alpha");
    EXPECT_EQ(contentOf(into.root() + b), "beta");
    EXPECT_EQ(r.outText(), QStringLiteral("restored 2 of 2 files into ") +
                               QFile::decodeName(into.root()) + QLatin1Char('\n'));
    EXPECT_TRUE(r.errText().isEmpty()) << r.errText().toStdString();

    // Again: every file is there now, so each one is reported and kept.
    ASSERT_TRUE(QFile(QFile::decodeName(into.root() + a)).open(QIODevice::WriteOnly));
    const test::CliRun again =
        test::runCli({QStringLiteral("restore"),
                      QStringLiteral("--into=") + QFile::decodeName(into.root()), zip});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.errText().count(QLatin1String("already exists; it is kept as it is")), 2)
        << again.errText().toStdString();
    EXPECT_EQ(contentOf(into.root() + a), "");
}

TEST(CliRestore, RefusesEntriesLeavingTheFolderAndGoesOnWithTheRest) {
    TempTree tree;
    const QByteArray into = tree.dir("into");
    const QByteArray zip = tree.path("evil.zip");
    craft(zip, {{"../outside.txt", "x"}, {"/tmp/diskwell-cli-abs.txt", "x"}, {"in/ok.txt", "ok"}});
    const test::CliRun r = test::runCli({QStringLiteral("restore"), QFile::decodeName(zip),
                                         QStringLiteral("--into"), QFile::decodeName(into)});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.errText().contains(QStringLiteral("Cannot extract ../outside.txt from ") +
                                     QFile::decodeName(zip) + QStringLiteral(": ")))
        << r.errText().toStdString();
    EXPECT_TRUE(r.errText().contains(QLatin1String("Cannot extract /tmp/diskwell-cli-abs.txt")));
    EXPECT_FALSE(tree.exists("outside.txt"));
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/diskwell-cli-abs.txt")));
    EXPECT_EQ(contentOf(into + "/in/ok.txt"), "ok");
    EXPECT_EQ(r.outText(), QStringLiteral("restored 1 of 3 files into ") + QFile::decodeName(into) +
                               QLatin1Char('\n'));
}

TEST(CliRestore, IntoTheRootAVolumeThatIsNotMountedIsRefusedAsAWhole) {
    TempTree tree;
    const QByteArray zip = tree.path("Drive-no_such_volume_here-TempClean06Sep991533.zip");
    const QByteArray marker =
        "tmp/diskwell-cli-" + QUuid::createUuid().toString(QUuid::Id128).toLatin1();
    craft(zip, {{marker, "must not appear"}});
    const test::CliRun r = test::runCli({QStringLiteral("restore"), QFile::decodeName(zip)});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.errText().contains(QLatin1String("not mounted"))) << r.errText().toStdString();
    EXPECT_FALSE(QFile::exists(QStringLiteral("/") + QString::fromLatin1(marker)));
}

TEST(CliRestore, BadArgumentsDoNothingAndAnUnreadableArchiveFails) {
    TempTree tree;
    const QByteArray zip = tree.path("a.zip");
    craft(zip, {{"a.txt", "a"}});
    const QString z = QFile::decodeName(zip);
    const struct {
        QStringList args;
        int status;
    } cases[] = {
        {{"restore"}, 2},
        {{"restore", z, z}, 2},
        {{"restore", z, "--into"}, 2},
        {{"restore", z, "--into="}, 2},
        {{"restore", z, "--bogus"}, 2},
        {{"restore", QFile::decodeName(tree.file("not.zip", "plain text"))}, 1},
        {{"restore", QFile::decodeName(tree.path("missing.zip"))}, 1},
        {{"restore", z, "--into", QFile::decodeName(tree.path("no/such/folder"))}, 1},
        {{"restore", "--help"}, 0},
    };
    for (const auto& c : cases) {
        const test::CliRun r = test::runCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(QLatin1Char(' ')).toStdString();
        if (c.status != 0) {
            EXPECT_FALSE(r.errText().isEmpty());
        }
    }
    EXPECT_FALSE(tree.exists("a.txt"));
}

}  // namespace
}  // namespace dw
