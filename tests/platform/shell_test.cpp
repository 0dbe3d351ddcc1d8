#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>

#include "platform/shell.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw::platform {
namespace {

// Puts a stand-in xdg-open first on PATH for one scope: it records its argument and
// exits with the status the test asks for.
class FakeXdgOpen {
public:
    FakeXdgOpen(test::TempTree& tree, int exitStatus, bool installed = true)
        : log_(tree.path("xdg-open.log")) {
        const QByteArray bin = tree.dir("bin");
        if (installed) {
            tree.file("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + log_ + "'\nexit " +
                                          QByteArray::number(exitStatus) + "\n");
            tree.setMode("bin/xdg-open", 0755);
        }
        // Without the stand-in, nothing else on PATH may be found either.
        path_.emplace("PATH", installed ? bin + ":" + qgetenv("PATH") : bin);
    }

    QByteArray argument() const {
        QFile f(QFile::decodeName(log_));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(not run)");
    }

private:
    QByteArray log_;
    std::optional<test::ScopedEnv> path_;
};

TEST(Shell, OpenIsJudgedByXdgOpensExitStatus) {
    test::TempTree tree;
    const QByteArray file = tree.file("docs/report 100%.txt", "x");
    {
        FakeXdgOpen fake(tree, 0);
        EXPECT_TRUE(openWithDesktop(file));
        EXPECT_EQ(fake.argument(), file);
    }
    {
        FakeXdgOpen fake(tree, 3);  // no application for the type
        EXPECT_FALSE(openWithDesktop(file));
    }
    {
        FakeXdgOpen fake(tree, 0, false);
        EXPECT_FALSE(openWithDesktop(file));
    }
    EXPECT_FALSE(openWithDesktop({}));
}

TEST(Shell, OddNamesReachTheExactFile) {
    test::TempTree tree;
    FakeXdgOpen fake(tree, 0);
    const QByteArray newline = tree.file("new\nline -x.txt");
    EXPECT_TRUE(openWithDesktop(newline));
    EXPECT_EQ(fake.argument(), newline);

    const QByteArray bad = tree.file("bad\xff name.txt");
    EXPECT_TRUE(openWithDesktop(bad));
    const QByteArray url = fake.argument();
    ASSERT_TRUE(url.startsWith("file://")) << url.constData();
    EXPECT_EQ(QByteArray::fromPercentEncoding(url.mid(7)), bad);
}

TEST(Shell, WebAddressesGoToXdgOpenAsTheyAre) {
    test::TempTree tree;
    {
        FakeXdgOpen fake(tree, 0);
        EXPECT_TRUE(openUrlWithDesktop(QUrl(QStringLiteral("https://example.org/a b?q=1"))));
        EXPECT_EQ(fake.argument(), QByteArray("https://example.org/a%20b?q=1"));
    }
    {
        FakeXdgOpen fake(tree, 4);
        EXPECT_FALSE(openUrlWithDesktop(QUrl(QStringLiteral("https://example.org/"))));
    }
    FakeXdgOpen fake(tree, 0);
    EXPECT_FALSE(openUrlWithDesktop(QUrl()));
    EXPECT_FALSE(openUrlWithDesktop(QUrl(QStringLiteral("relative/page.html"))));
}

}  // namespace
}  // namespace dw::platform
