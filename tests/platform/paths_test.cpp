#include <gtest/gtest.h>

#include "platform/paths.h"

namespace dw::platform {
namespace {

TEST(Paths, JoinPathPutsExactlyOneSeparatorBetweenFolderAndName) {
    const struct {
        const char* folder;
        const char* name;
        const char* expected;
    } cases[] = {
        {"/", "a", "/a"},
        {"/data", "a.txt", "/data/a.txt"},
        {"/data/", "a.txt", "/data/a.txt"},
        {"/data//", "a.txt", "/data/a.txt"},
        {"/data", "/a.txt", "/data/a.txt"},
        {"/", "/a", "/a"},
        {"/data", "sub/a.txt", "/data/sub/a.txt"},
        {"/data", "", "/data/"},
        {"", "a.txt", "a.txt"},  // never turned into a file of the root
        {"/my folder ", " name\twith tab ", "/my folder / name\twith tab "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(joinPath(QString::fromUtf8(c.folder), QString::fromUtf8(c.name)),
                  QString::fromUtf8(c.expected))
            << c.folder << " + " << c.name;
        EXPECT_EQ(joinPath(QByteArray(c.folder), QByteArray(c.name)), QByteArray(c.expected))
            << c.folder << " + " << c.name;
    }
    // Native names are bytes, not necessarily UTF-8: they pass through untouched.
    EXPECT_EQ(joinPath(QByteArray("/d\xe9j\xe0"), QByteArray("\xff\xfe.bin")),
              QByteArray("/d\xe9j\xe0/\xff\xfe.bin"));
}

}  // namespace
}  // namespace dw::platform
