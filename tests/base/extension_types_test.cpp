#include <gtest/gtest.h>

#include <QFile>
#include <QMimeDatabase>

#include <algorithm>

#include "base/extension_types.h"
#include "base/utility.h"

namespace dw {
namespace {

QString comment(const char* mimeName) {
    return QMimeDatabase().mimeTypeForName(QString::fromLatin1(mimeName)).comment();
}

// What a name's type must be: a MIME type's description, or a text of its own where the
// database does not know the name.
struct TypeCase {
    QByteArray name;  // native bytes
    const char* mime;
    const char* text;
};

const std::vector<TypeCase>& typeCases() {
    static const std::vector<TypeCase> cases = {
        {"libomp.so.5", "application/x-sharedlib", nullptr},
        {"libz.so.1.2.13", "application/x-sharedlib", nullptr},
        {"ls.5", "application/x-troff-man", nullptr},
        {"archive.tar.gz", "application/x-compressed-tar", nullptr},
        {".hidden.v2.tar.gz", "application/x-compressed-tar", nullptr},
        {".file-1.txt", "text/plain", nullptr},
        {"page.v2.7", "application/x-troff-man", nullptr},
        {"backup.gz", "application/gzip", nullptr},
        {"photo.JPG", "image/jpeg", nullptr},
        {"README", "text/x-readme", nullptr},
        {"README.md", "text/markdown", nullptr},
        {"readme.zzq", "text/x-readme", nullptr},
        {"README.txt", "text/plain", nullptr},  // "*.txt" weighs more than "README*"
        {"notes.txt", "text/plain", nullptr},
        {"notes.txt~", "application/x-trash", nullptr},
        {"Makefile", "text/x-makefile", nullptr},
        {"caf\xe9.txt", "text/plain", nullptr},  // not UTF-8
        {"\xff\xfe.JPG", "image/jpeg", nullptr},
        {".bashrc", nullptr, "BASHRC File"},
        {"data.v1.zzq", nullptr, "ZZQ File"},
        {"setup", nullptr, ""},
        {"trailing.", nullptr, "No extension"},
        {"2023.01.05 holiday.jpeg", "image/jpeg", nullptr},
    };
    return cases;
}

QString expected(const TypeCase& c) {
    return c.mime ? comment(c.mime) : QString::fromUtf8(c.text);
}

TEST(FileTypeOfName, NamesTheWholeNameFromTheDatabase) {
    for (const TypeCase& c : typeCases()) {
        if (c.mime) {
            ASSERT_FALSE(comment(c.mime).isEmpty()) << c.mime;
        }
        EXPECT_EQ(FileTypeOfName(QFile::decodeName(c.name)), expected(c)) << c.name.toStdString();
    }
    EXPECT_EQ(FileTypeOfName(QString()), QString());
}

// The table answers each name as FileTypeOfName does, in whatever order the names come:
// a name sharing its ending with one another glob matched ("README", "README.md")
// or with a longer glob ("libomp.so.5", "ls.5") is never given the other's type.
TEST(ExtensionTypes, AnswersAsTheOneRuleInAnyOrder) {
    std::vector<TypeCase> cases = typeCases();
    for (int pass = 0; pass < 2; ++pass) {
        ExtensionTypes types;
        for (int round = 0; round < 2; ++round) {
            for (const TypeCase& c : cases) {
                const quint32 id = types.idOfName(c.name);
                EXPECT_EQ(types.text(id), expected(c)) << c.name.toStdString();
                EXPECT_EQ(types.utf8(id), expected(c).toUtf8()) << c.name.toStdString();
            }
        }
        std::reverse(cases.begin(), cases.end());
    }

    ExtensionTypes types;
    EXPECT_EQ(types.idOfName("a.txt"), types.idOfName("b.TXT"));
    EXPECT_NE(types.idOfName("a.txt"), types.idOfName("a.txt~"));
    EXPECT_EQ(types.idOfName("libomp.so.5"), types.idOfName("libc.so.6"));
    EXPECT_NE(types.idOfName("libomp.so.5"), types.idOfName("ls.5"));
    const qsizetype met = types.count();
    types.clear();
    EXPECT_EQ(types.count(), 0);
    EXPECT_EQ(types.idOfName("x.txt"), 0u);
    EXPECT_GT(met, 3);
}

}  // namespace
}  // namespace dw
