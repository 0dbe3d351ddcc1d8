#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "platform/settings_file.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw::platform {
namespace {

using test::ScopedEnv;

class SettingsFileTest : public ::testing::Test {
protected:
    QString iniPath() const { return QString::fromLocal8Bit(tree_.path("registry.ini")); }

    void writeRaw(const QByteArray& bytes) {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QByteArray readRaw() const {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    test::TempTree tree_;
    ScopedEnv config_{"DISKWELL_CONFIG_DIR", tree_.root()};
};

TEST_F(SettingsFileTest, FolderFollowsTheEnvironment) {
    ScopedEnv home("HOME", "/home/ann");
    struct Case {
        QByteArray own;  // null: unset
        QByteArray xdg;
        QString expected;
    };
    const Case cases[] = {
        {"/srv/portable/cfg/", "/x", QStringLiteral("/srv/portable/cfg")},
        {"", "/home/ann/.cfg", QStringLiteral("/home/ann/.cfg/diskwell")},
        {QByteArray(), "/home/ann/.cfg", QStringLiteral("/home/ann/.cfg/diskwell")},
        {QByteArray(), "relative/cfg", QStringLiteral("/home/ann/.config/diskwell")},
        {QByteArray(), "", QStringLiteral("/home/ann/.config/diskwell")},
        {QByteArray(), QByteArray(), QStringLiteral("/home/ann/.config/diskwell")},
    };
    for (const Case& c : cases) {
        ScopedEnv own("DISKWELL_CONFIG_DIR", c.own);
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(settingsFolder(), c.expected) << c.own.constData() << " " << c.xdg.constData();
        EXPECT_EQ(userSettingsFilePath(), c.expected + QStringLiteral("/registry.ini"));
    }
}

TEST_F(SettingsFileTest, MachineFileFollowsTheEnvironment) {
    {
        ScopedEnv machine("DISKWELL_MACHINE_CONFIG", QByteArray());
        EXPECT_EQ(machineSettingsFilePath(), QStringLiteral("/etc/xdg/diskwell/registry.ini"));
    }
    ScopedEnv machine("DISKWELL_MACHINE_CONFIG", "/opt/site/registry.ini");
    EXPECT_EQ(SettingsFile::machine().path(), QStringLiteral("/opt/site/registry.ini"));
}

TEST_F(SettingsFileTest, FirstWriteCreatesTheFolderAndFile) {
    const QString folder = QString::fromLocal8Bit(tree_.path("new/deeper"));
    ScopedEnv own("DISKWELL_CONFIG_DIR", folder.toLocal8Bit());
    EXPECT_FALSE(SettingsFile::user().value(QStringLiteral("S"), QStringLiteral("a")));
    EXPECT_FALSE(QFileInfo::exists(folder));

    ASSERT_TRUE(SettingsFile::user().setValue(QStringLiteral("S"), QStringLiteral("a"),
                                              QStringLiteral("1")));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/registry.ini")));
    // Nothing but the file itself is left behind (no lock or temporary file).
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("registry.ini")});
}

TEST_F(SettingsFileTest, EveryTextAndNameRoundTrips) {
    const QString texts[] = {
        QString(),
        QStringLiteral("plain"),
        QStringLiteral(" leading"),
        QStringLiteral("trailing "),
        QStringLiteral("  both  "),
        QStringLiteral(" "),
        QStringLiteral("C:\\Temp\\"),
        QStringLiteral("\\n is not a newline, \\s nor a blank, \\x41 nor A"),
        QStringLiteral("line1\nline2\r\nline3\r"),
        QStringLiteral("\ttabs\t"),
        QStringLiteral("=a=b="),
        QStringLiteral("[not a section]"),
        QStringLiteral("; not a comment"),
        QStringLiteral("# nor this"),
        QStringLiteral("%41 stays"),
        QString(QChar(0)) + QStringLiteral("nul") + QChar(0),
        QStringLiteral("\x01\x1f\x7f"),
        QStringLiteral("ünïcödé 日本語 😀"),
        QStringLiteral("ends in a backslash\\"),
    };
    const QString names[] = {
        QStringLiteral("Path"),        QStringLiteral("a=b"),       QStringLiteral("[x]"),
        QStringLiteral(" spaced "),    QStringLiteral("100%"),      QStringLiteral(";semi"),
        QStringLiteral("#hash"),       QStringLiteral("new\nline"), QStringLiteral("ß-Ü"),
        QStringLiteral("back\\slash"),
    };
    const QString sections[] = {
        QStringLiteral("Software\\Brightwater Systems\\Diskwell\\3.0\\ZipFile"),
        QStringLiteral("diskwell.ini\\odd ]name["),
        QStringLiteral(" lead\\trail "),
    };

    SettingsFile file(iniPath());
    int n = 0;
    for (const QString& section : sections) {
        for (const QString& name : names) {
            ASSERT_TRUE(file.setValue(section, name, texts[n++ % std::size(texts)]));
        }
    }
    // A fresh object, so nothing can come from memory.
    const SettingsFile again(iniPath());
    n = 0;
    for (const QString& section : sections) {
        for (const QString& name : names) {
            const std::optional<QString> v = again.value(section, name);
            ASSERT_TRUE(v.has_value()) << section.toStdString() << " / " << name.toStdString();
            EXPECT_EQ(*v, texts[n++ % std::size(texts)]) << name.toStdString();
        }
        EXPECT_EQ(again.values(section).size(), qsizetype(std::size(names)));
    }
    // Every line of the file is either a header, a value or blank: no text leaked a
    // raw line break into it.
    for (const QByteArray& line : readRaw().split('\n')) {
        EXPECT_TRUE(line.isEmpty() || line.startsWith('[') || line.contains('=')) << line.data();
    }
}

TEST_F(SettingsFileTest, AbsentIsNotEmptyAndNamesIgnoreCase) {
    SettingsFile file(iniPath());
    const QString s = QStringLiteral("Sec");
    EXPECT_FALSE(file.value(s, QStringLiteral("a")).has_value());
    EXPECT_FALSE(file.hasSection(s));

    ASSERT_TRUE(file.setValue(s, QStringLiteral("Empty"), QString()));
    EXPECT_TRUE(file.hasSection(QStringLiteral("SEC")));
    EXPECT_EQ(file.value(s, QStringLiteral("empty")), std::optional<QString>(QString()));
    EXPECT_FALSE(file.value(s, QStringLiteral("other")).has_value());
    EXPECT_FALSE(file.value(QStringLiteral("Se"), QStringLiteral("Empty")).has_value());

    // Writing another spelling replaces the value and keeps the first spelling.
    ASSERT_TRUE(
        file.setValue(QStringLiteral("SEC"), QStringLiteral("EMPTY"), QStringLiteral("full")));
    const QList<SettingsFile::Value> values = file.values(s);
    ASSERT_EQ(values.size(), 1);
    EXPECT_EQ(values[0].first, QStringLiteral("Empty"));
    EXPECT_EQ(values[0].second, QStringLiteral("full"));

    EXPECT_FALSE(file.setValue(QString(), QStringLiteral("a"), QStringLiteral("x")));
    EXPECT_FALSE(file.setValue(s, QString(), QStringLiteral("x")));
}

TEST_F(SettingsFileTest, SeveralValuesAreWrittenTogether) {
    SettingsFile file(iniPath());
    ASSERT_TRUE(
        file.setValues(QStringLiteral("L"), {{QStringLiteral("Number"), QStringLiteral("2")},
                                             {QStringLiteral("File1"), QStringLiteral("a")},
                                             {QStringLiteral("File2"), QStringLiteral("b")}}));
    const QList<SettingsFile::Value> values = file.values(QStringLiteral("L"));
    ASSERT_EQ(values.size(), 3);
    EXPECT_EQ(values[2], SettingsFile::Value(QStringLiteral("File2"), QStringLiteral("b")));
    // One bad name refuses the whole batch.
    EXPECT_FALSE(file.setValues(
        QStringLiteral("L"),
        {{QStringLiteral("Number"), QStringLiteral("9")}, {QString(), QStringLiteral("x")}}));
    EXPECT_EQ(file.value(QStringLiteral("L"), QStringLiteral("Number")), QStringLiteral("2"));
}

TEST_F(SettingsFileTest, MalformedFileKeepsWhatItCanReadAndIsNeverRewritten) {
    QByteArray bytes;
    bytes += "\xEF\xBB\xBF";  // a byte order mark
    bytes += "orphan=before any section\n";
    bytes += "garbage line without equals\n";
    bytes += "[Good]\r\n";
    bytes += "a=1\r\n";
    bytes += QByteArray("bin\0ary=x\n", 10);
    bytes += "b = spaced value \n";
    bytes += "=no name\n";
    bytes += "\xFF\xFE=not utf-8\n";
    bytes += "bad=\xC3\x28\n";
    bytes += "; a=comment\n";
    bytes += "[Unterminated\n";
    bytes += "c=lost with its header\n";
    bytes += "[]\n";
    bytes += "d=no section either\n";
    bytes += "[Good]\n";
    bytes += "a=2\n";  // the duplicate section merges and the last value counts
    bytes += "e=\\sfive\\x41\\q\\\n";
    bytes += "[Huge]\n";
    bytes += "long=" + QByteArray(2 * 1024 * 1024, 'x') + "\n";
    bytes += QByteArray(3 * 1024 * 1024, 'y') + "\n";  // a huge line without "="
    bytes += "[Binary]\n";
    QByteArray noise(64 * 1024, '\0');
    QRandomGenerator rng(7);
    for (char& ch : noise)
        ch = char(rng.bounded(256));
    bytes += noise;
    bytes += "\n[Tail]\nz=last";  // no final line end
    writeRaw(bytes);

    auto check = [this](const char* when) {
        const SettingsFile file(iniPath());
        const QString good = QStringLiteral("Good");
        EXPECT_EQ(file.value(good, QStringLiteral("a")), QStringLiteral("2")) << when;
        EXPECT_EQ(file.value(good, QStringLiteral("b")), QStringLiteral("spaced value")) << when;
        EXPECT_EQ(file.value(good, QStringLiteral("e")), QStringLiteral(" fiveA\\q\\")) << when;
        EXPECT_EQ(file.values(good).size(), 3) << when;
        EXPECT_FALSE(file.hasSection(QStringLiteral("Unterminated"))) << when;
        EXPECT_FALSE(file.value(QStringLiteral("Huge"), QStringLiteral("long"))
                         .value_or(QString())
                         .isEmpty())
            << when;
        EXPECT_EQ(file.value(QStringLiteral("Tail"), QStringLiteral("z")), QStringLiteral("last"))
            << when;
    };
    check("before the write");

    // A rewrite would drop the lines it cannot read, and one of them may protect files:
    // the write fails and the file stays byte for byte.
    EXPECT_FALSE(SettingsFile(iniPath()).setValue(QStringLiteral("New"), QStringLiteral("f"),
                                                  QStringLiteral("6")));
    check("after the refused write");
    EXPECT_EQ(readRaw(), bytes);

    // Once the user mends it, writes work again and keep every value.
    writeRaw("[Good]\na=2\n; a comment\n");
    ASSERT_TRUE(SettingsFile(iniPath()).setValue(QStringLiteral("New"), QStringLiteral("f"),
                                                 QStringLiteral("6")));
    EXPECT_EQ(SettingsFile(iniPath()).value(QStringLiteral("Good"), QStringLiteral("a")),
              QStringLiteral("2"));
    EXPECT_EQ(SettingsFile(iniPath()).value(QStringLiteral("New"), QStringLiteral("f")),
              QStringLiteral("6"));
}

TEST_F(SettingsFileTest, OnlyTheFirst16MiBAreRead) {
    QByteArray bytes = "[S]\nfirst=1\n[Filler]\n";
    const QByteArray line = "k=" + QByteArray(1000, 'v') + "\n";
    while (bytes.size() < 16 * 1024 * 1024 - 500)
        bytes += line;
    bytes += "[S]\ncut=" + QByteArray(1000, 'w') + "\n";  // crosses the 16 MiB mark
    writeRaw(bytes);
    const SettingsFile file(iniPath());
    EXPECT_EQ(file.value(QStringLiteral("S"), QStringLiteral("first")), QStringLiteral("1"));
    EXPECT_FALSE(file.value(QStringLiteral("S"), QStringLiteral("cut")).has_value());
}

TEST_F(SettingsFileTest, UnreadableFileReadsAsDefaultsAndIsNotOverwritten) {
    const QByteArray content = "[S]\na=1\n";
    writeRaw(content);
    ASSERT_EQ(chmod(tree_.root().constData(), 0777), 0);
    ASSERT_EQ(chmod(iniPath().toLocal8Bit().constData(), 0), 0);

    const int rc = test::runAsNobody([this] {
        SettingsFile file(iniPath());
        if (file.value(QStringLiteral("S"), QStringLiteral("a")).has_value())
            return 1;
        if (file.hasSection(QStringLiteral("S")))
            return 2;
        // Writing would throw away the values it cannot see.
        if (file.setValue(QStringLiteral("S"), QStringLiteral("b"), QStringLiteral("2")))
            return 3;
        return 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readRaw(), content);
}

TEST_F(SettingsFileTest, FolderInPlaceOfTheFileIsNeitherReadNorReplaced) {
    tree_.dir("registry.ini");
    SettingsFile file(iniPath());
    EXPECT_FALSE(file.value(QStringLiteral("S"), QStringLiteral("a")).has_value());
    EXPECT_FALSE(file.setValue(QStringLiteral("S"), QStringLiteral("a"), QStringLiteral("1")));
    EXPECT_TRUE(QFileInfo(iniPath()).isDir());
}

// Runs `body` in a child process that the system ends after 30 s, so that a read that
// would wait for ever fails the test instead of hanging it. The child's exit status, or
// -1 when it did not exit normally.
int inChildThatCannotHang(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        ::alarm(30);
        _exit(body() & 0xff);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// What stands where the settings file should be: only a regular file is read; anything
// else reads as absent, never blocks or runs on, and a checked read says why, naming
// the file.
TEST_F(SettingsFileTest, OnlyARegularFileIsReadAndACheckedReadSaysWhyNot) {
    enum class Put { Good, Missing, Fifo, DevZero, Folder, TooLarge, Unreadable };
    const struct {
        const char* what;
        Put put;
        const char* reason;  // nullptr: the checked read succeeds
    } cases[] = {
        {"a good file", Put::Good, nullptr},
        {"no file", Put::Missing, nullptr},
        {"a FIFO without a writer", Put::Fifo, "it is not a regular file"},
        {"a link to /dev/zero", Put::DevZero, "it is not a regular file"},
        {"a folder", Put::Folder, "it is not a regular file"},
        {"a file above 16 MiB", Put::TooLarge, "it is larger than 16 MiB"},
        {"a file its reader may not read", Put::Unreadable, "Permission denied"},
    };
    for (const auto& c : cases) {
        test::TempTree tree;
        ASSERT_EQ(chmod(tree.root().constData(), 0755), 0);
        const QByteArray path = tree.path("registry.ini");
        switch (c.put) {
            case Put::Good:
                tree.file("registry.ini", "[S]\na=1\n");
                break;
            case Put::Missing:
                break;
            case Put::Fifo:
                tree.fifo("registry.ini");
                break;
            case Put::DevZero:
                tree.symlink("registry.ini", "/dev/zero");
                break;
            case Put::Folder:
                tree.dir("registry.ini");
                break;
            case Put::TooLarge:
                tree.file("registry.ini", "[S]\na=1\n");
                ASSERT_EQ(::truncate(path.constData(), 16 * 1024 * 1024 + 1), 0);
                break;
            case Put::Unreadable:
                tree.file("registry.ini", "[S]\na=1\n");
                tree.setMode("registry.ini", 0);
                break;
        }
        const QString file = QFile::decodeName(path);
        const bool good = c.reason == nullptr;
        const QString expectedError =
            good ? QString()
                 : QStringLiteral("The settings file %1 cannot be read: %2")
                       .arg(file, QString::fromUtf8(c.reason));
        const auto body = [&] {
            const SettingsFile settings(file);
            const bool hasValue =
                settings.value(QStringLiteral("S"), QStringLiteral("a")).has_value();
            // A file above the cap reads as its first 16 MiB where nothing protects.
            if (hasValue != (c.put == Put::Good || c.put == Put::TooLarge))
                return 1;
            QString error;
            const auto values = settings.checkedValues(QStringLiteral("S"), &error);
            if (values.has_value() != good || error != expectedError)
                return 2;
            if (good && values->size() != (c.put == Put::Good ? 1 : 0))
                return 3;
            return 0;
        };
        const int status =
            c.put == Put::Unreadable ? test::runAsNobody(body) : inChildThatCannotHang(body);
        EXPECT_EQ(status, 0) << c.what;
    }
}

// Many running copies each adding to one value at the same moment: every addition
// counts, as each is one read-modify-write under the lock.
TEST_F(SettingsFileTest, UpdatesOfSeveralProcessesAddUp) {
    constexpr int kProcesses = 6;
    constexpr int kAdds = 15;
    QList<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        if (pid == 0) {
            SettingsFile file(iniPath());
            for (int i = 0; i < kAdds; ++i) {
                const bool ok = file.update(QStringLiteral("Totals"), [](const auto& current) {
                    qint64 n = 0;
                    for (const auto& [name, text] : current) {
                        if (name == QLatin1String("n"))
                            n = text.toLongLong();
                    }
                    return QList<SettingsFile::Value>{
                        {QStringLiteral("n"), QString::number(n + 1)}};
                });
                if (!ok)
                    _exit(1);
            }
            _exit(0);
        }
        ASSERT_GT(pid, 0);
        children.append(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(SettingsFile(iniPath()).value(QStringLiteral("Totals"), QStringLiteral("n")),
              QString::number(kProcesses * kAdds));
}

TEST_F(SettingsFileTest, TwoProcessesWritingAtOnceKeepEachOthersValues) {
    constexpr int kWrites = 40;
    auto writer = [this](const char* tag) -> pid_t {
        const pid_t pid = fork();
        if (pid != 0)
            return pid;
        SettingsFile file(iniPath());
        for (int i = 0; i < kWrites; ++i) {
            const QString name = QString::fromLatin1(tag) + QString::number(i);
            // Both write to one shared section and one of their own.
            if (!file.setValue(QStringLiteral("Shared"), name, QString::number(i)) ||
                !file.setValue(QString::fromLatin1(tag), QStringLiteral("v"), QString::number(i))) {
                _exit(1);
            }
        }
        _exit(0);
    };
    const pid_t a = writer("a");
    const pid_t b = writer("b");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    for (const pid_t pid : {a, b}) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const SettingsFile file(iniPath());
    EXPECT_EQ(file.values(QStringLiteral("Shared")).size(), 2 * kWrites);
    for (const char* tag : {"a", "b"}) {
        for (int i = 0; i < kWrites; ++i) {
            EXPECT_EQ(
                file.value(QStringLiteral("Shared"), QString::fromLatin1(tag) + QString::number(i)),
                QString::number(i));
        }
        EXPECT_EQ(file.value(QString::fromLatin1(tag), QStringLiteral("v")),
                  QString::number(kWrites - 1));
    }
}

}  // namespace
}  // namespace dw::platform
