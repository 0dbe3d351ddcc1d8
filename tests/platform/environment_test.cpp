#include <gtest/gtest.h>

#include <optional>

#include "platform/environment.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw::platform {
namespace {

using test::ScopedEnv;

TEST(Environment, SearchPathSplitsAtColonsAndSkipsEmptyElements) {
    const std::pair<QByteArray, QList<QByteArray>> cases[] = {
        {"", {}},
        {":", {}},
        {"/usr/bin", {"/usr/bin"}},
        {"/usr/bin::/bin:", {"/usr/bin", "/bin"}},
        {":/opt/my tools/bin", {"/opt/my tools/bin"}},
        {"/bin:/bin", {"/bin", "/bin"}},
    };
    for (const auto& [value, folders] : cases) {
        EXPECT_EQ(splitSearchPath(value), folders) << value.constData();
    }
}

TEST(Environment, SearchPathIsReadWholeHoweverLong) {
    QByteArray value;
    QList<QByteArray> expected;
    for (int i = 0; i < 4000; ++i) {
        const QByteArray folder = "/opt/a/rather/long/folder/name/number/" + QByteArray::number(i);
        value += folder + "::";
        expected.append(folder);
    }
    ASSERT_GT(value.size(), 100'000);
    const ScopedEnv path("PATH", value);
    EXPECT_EQ(searchPath(), expected);
    const ScopedEnv none("PATH", std::nullopt);
    EXPECT_TRUE(searchPath().isEmpty());
}

TEST(Environment, ShortPathResolvesLinksAndDots) {
    test::TempTree tree;
    tree.file("real/sub/file.txt", "x");
    tree.symlink("link", "real/sub");
    const QByteArray root = shortPath(tree.root());
    EXPECT_EQ(shortPath(tree.path("link/file.txt")), root + "/real/sub/file.txt");
    EXPECT_EQ(shortPath(tree.path("link")), root + "/real/sub");
    EXPECT_EQ(shortPath(tree.path("real/./sub/../sub/")), root + "/real/sub");
    // A path that does not exist comes back as it was given.
    EXPECT_EQ(shortPath(tree.path("link/missing.txt")), tree.path("link/missing.txt"));
    EXPECT_EQ(shortPath("relative/missing"), "relative/missing");
    EXPECT_EQ(shortPath({}), QByteArray());
}

TEST(Environment, HomeAndTempFolders) {
    test::TempTree tree;
    {
        const ScopedEnv home("HOME", tree.root() + "//");
        EXPECT_EQ(homeFolder(), tree.root());
    }
    {
        // Not usable: the password database's home takes over.
        const ScopedEnv home("HOME", QByteArray("relative/home"));
        EXPECT_TRUE(homeFolder().startsWith('/'));
        const ScopedEnv none("HOME", std::nullopt);
        EXPECT_TRUE(homeFolder().startsWith('/'));
    }
    {
        const ScopedEnv tmp("TMPDIR", tree.root() + "/");
        EXPECT_EQ(tempFolder(), tree.root());
    }
    {
        const ScopedEnv tmp("TMPDIR", tree.path("missing"));
        EXPECT_EQ(tempFolder(), "/tmp");
    }
    EXPECT_FALSE(currentFolder().isEmpty());
    EXPECT_TRUE(currentVolumeFolder().startsWith('/'));
}

}  // namespace
}  // namespace dw::platform
