#include <gtest/gtest.h>

#include "scan/wildcard.h"

namespace dw {
namespace {

struct MatchCase {
    const char* pattern;
    QByteArray name;
    bool matches;
};

TEST(Wildcard, MatchesLikeTheFindersWildcardBox) {
    const MatchCase cases[] = {
        // "*.*" and "*" take every name, with or without a dot.
        {"*.*", "readme", true},
        {"*.*", "a.b.c", true},
        {"*.*", ".profile", true},
        {"*", "anything at all", true},
        // Extensions, ASCII letters in either case.
        {"*.doc", "letter.doc", true},
        {"*.doc", "LETTER.DOC", true},
        {"*.DOC", "letter.Doc", true},
        {"*.doc", "letter.docx", false},
        {"*.doc", "doc", false},
        {"*.doc", "a.doc.bak", false},
        // "?" is exactly one character, a whole UTF-8 sequence counting as one.
        {"b?", "b1", true},
        {"b?", "b", false},
        {"b?", "b12", false},
        {"b?", "b\xc3\xa9", true},  // é
        {"b??", "b\xc3\xa9", false},
        {"*??", "\xe2\x82\xac", false},  // one character, three bytes
        {"?", "\xe2\x82\xac", true},
        {"?", "\xff", true},  // a byte outside any sequence is one character
        {"??", "\xff\xfe", true},
        // Non-ASCII letters are not folded.
        {"\xc3\xa9*", "\xc3\x89t\xc3\xa9", false},
        {"\xc3\xa9*", "\xc3\xa9t\xc3\xa9", true},
        // Stars anywhere, backtracking.
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},
        {"*abc", "ababc", true},
        {"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {"**", "", true},
        {"?", "", false},
        {"", "", true},
        {"", "x", false},
        // Bytes that mean something elsewhere are plain characters here.
        {"tab\there", "TAB\tHERE", true},
        {"[ab]", "a", false},
        {"[ab]", "[AB]", true},
    };
    for (const MatchCase& c : cases) {
        EXPECT_EQ(WildcardMatch(QByteArray(c.pattern), c.name), c.matches)
            << "pattern '" << c.pattern << "' name '" << c.name.toStdString() << "'";
    }
}

TEST(Wildcard, SeveralPatternsAndEmptyOnes) {
    const WildcardPattern several(QStringLiteral(" *.txt ; b? ;;"));
    EXPECT_FALSE(several.matchesEverything());
    EXPECT_FALSE(several.isEmpty());
    EXPECT_TRUE(several.matches("notes.TXT"));
    EXPECT_TRUE(several.matches("b2"));
    EXPECT_FALSE(several.matches("image.png"));
    EXPECT_FALSE(several.matches("notes.txt "));  // blanks in a name still count

    EXPECT_TRUE(WildcardPattern().matchesEverything());
    EXPECT_EQ(WildcardPattern().text(), QStringLiteral("*.*"));
    EXPECT_TRUE(WildcardPattern(QStringLiteral("*.doc;*.*")).matchesEverything());
    EXPECT_TRUE(WildcardPattern(QStringLiteral("*")).matches("no-dot"));

    for (const char* text : {"", " ", ";", " ; ;"}) {
        const WildcardPattern none{QString::fromLatin1(text)};
        EXPECT_TRUE(none.isEmpty()) << text;
        EXPECT_FALSE(none.matches("a")) << text;
        EXPECT_FALSE(none.matches("")) << text;
    }

    // A pattern typed with non-ASCII letters matches the names' UTF-8 bytes.
    EXPECT_TRUE(WildcardPattern(QStringLiteral("caf\u00e9.*")).matches("caf\xc3\xa9.txt"));
}

}  // namespace
}  // namespace dw
