#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QMimeDatabase>

#include <cmath>
#include <limits>

#include "base/utility.h"
#include "platform/native_file.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

// Pins another default locale for one test and puts the pinned en_US back even when
// the test fails half-way.
class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

QByteArray readAll(const QByteArray& path) {
    QFile f;
    EXPECT_TRUE(platform::openNativeFile(f, path, QIODevice::ReadOnly)) << path.constData();
    return f.readAll();
}

TEST(ProgramKey, IsTheSettingsRoot) {
    EXPECT_EQ(QString::fromLatin1(ProgramKey),
              QStringLiteral("Software\\Brightwater Systems\\Diskwell\\3.0"));
}

// ---- numbers --------------------------------------------------------------------------

TEST(FormatThousands, GroupsDigitsOfAny64BitValue) {
    const struct {
        qint64 n;
        const char* expected;
    } cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {1234567, "1,234,567"},
        {-5000, "-5,000"},
        {-999, "-999"},
        {2147483648LL, "2,147,483,648"},              // just past the 32-bit range
        {5LL * 1024 * 1024 * 1024, "5,368,709,120"},  // 5 GiB
        {-5LL * 1024 * 1024 * 1024, "-5,368,709,120"},
        {std::numeric_limits<qint64>::max(), "9,223,372,036,854,775,807"},
        {std::numeric_limits<qint64>::min(), "-9,223,372,036,854,775,808"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatThousands(c.n), QString::fromLatin1(c.expected)) << c.n;
    }
}

TEST(FormatThousands, FollowsTheDefaultLocale) {
    {
        LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(FormatThousands(1234567), QStringLiteral("1.234.567"));
        EXPECT_EQ(FormatThousands(5LL * 1024 * 1024 * 1024), QStringLiteral("5.368.709.120"));
        EXPECT_EQ(FormatFloatThousands(-1234567.4), QStringLiteral("-1.234.567"));
    }
    {
        // The C locale leaves group separators out by default; these texts keep them.
        LocaleGuard c(QLocale::c());
        EXPECT_EQ(FormatThousands(1234567), QStringLiteral("1,234,567"));
    }
    EXPECT_EQ(FormatThousands(1234567), QStringLiteral("1,234,567"));
}

TEST(FormatFloatThousands, RoundsToWholeNumbersWithFourteenSignificantDigits) {
    const struct {
        double x;
        const char* expected;
    } cases[] = {
        {0.0, "0"},
        {-0.4, "0"},
        {1234.4, "1,234"},
        {1234.5, "1,235"},
        {-1234.5, "-1,235"},
        {5368709120.0, "5,368,709,120"},
        {12345678901234.4, "12,345,678,901,234"},
        {99999999999999.5, "100,000,000,000,000"},
        {123456789012345678.0, "123,456,789,012,350,000"},
        {-123456789012345678.0, "-123,456,789,012,350,000"},
        {1e20, "100,000,000,000,000,000,000"},
        {1.23456789012346e25, "12,345,678,901,235,000,000,000,000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFloatThousands(c.x), QString::fromLatin1(c.expected)) << c.x;
    }
    EXPECT_EQ(FormatFloatThousands(std::nan("")), QString());
    EXPECT_EQ(FormatFloatThousands(std::numeric_limits<double>::infinity()), QString());
    EXPECT_EQ(FormatFloatThousands(-std::numeric_limits<double>::infinity()), QString());
}

TEST(StrToIntSafe, GivesZeroForAnythingButAWholeNumber) {
    const struct {
        const char* text;
        qint64 expected;
    } cases[] = {
        {"123", 123},
        {"-45", -45},
        {"+8", 8},
        {"  7 ", 7},
        {"5368709120", 5368709120LL},
        {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"9223372036854775808", 0},  // does not fit
        {"", 0},
        {"-", 0},
        {"12a", 0},
        {"1,234", 0},
        {"1.5", 0},
        {"0x10", 0},
        {"1 2", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrToIntSafe(QString::fromLatin1(c.text)), c.expected) << c.text;
    }
}

TEST(StrToFloatSafe, ReadsTheLocalesDecimalSeparator) {
    EXPECT_DOUBLE_EQ(StrToFloatSafe(QStringLiteral("1.5")), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloatSafe(QStringLiteral(" -2.25 ")), -2.25);
    EXPECT_DOUBLE_EQ(StrToFloatSafe(QStringLiteral("abc")), 0.0);
    EXPECT_DOUBLE_EQ(StrToFloatSafe(QString()), 0.0);
    EXPECT_DOUBLE_EQ(StrToFloatSafe(QStringLiteral("inf")), 0.0);
    LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_DOUBLE_EQ(StrToFloatSafe(QStringLiteral("1,5")), 1.5);
}

// ---- text -----------------------------------------------------------------------------

TEST(TabField, TakesFieldsFromOneAndTrimsBlanksAndControls) {
    const struct {
        const char* line;
        int n;
        const char* expected;
    } cases[] = {
        {"a\tb\tc", 1, "a"},
        {"a\tb\tc", 2, "b"},
        {"a\tb\tc", 3, "c"},
        {"a\tb\tc", 4, ""},
        {"a\tb\tc", 5, ""},
        {"a\tb\tc", 0, ""},
        {"a\tb\tc", -1, ""},
        {"whole line", 1, "whole line"},
        {"whole line", 2, ""},
        {"a\t\tc", 2, ""},
        {"a\t\tc", 3, "c"},
        {"a\t", 2, ""},
        {"a\t   \tc", 2, ""},  // only blanks
        {"  x y \x01\r\n\tb", 1, "x y"},
        {"a\t\x02 inner  text \x1f", 2, "inner  text"},
        {"", 1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TabField(QString::fromLatin1(c.line), c.n), QString::fromLatin1(c.expected))
            << QByteArray(c.line).toPercentEncoding().constData() << " field " << c.n;
    }
}

TEST(IsBlankText, AcceptsOnlyBackspaceNewlinesAndSpaces) {
    EXPECT_TRUE(IsBlankText(QString()));
    EXPECT_TRUE(IsBlankText(QStringLiteral(" ")));
    EXPECT_TRUE(IsBlankText(QStringLiteral("\b\n\r  \r\n")));
    EXPECT_FALSE(IsBlankText(QStringLiteral("\t")));
    EXPECT_FALSE(IsBlankText(QStringLiteral(" \t ")));
    EXPECT_FALSE(IsBlankText(QStringLiteral("\v")));
    EXPECT_FALSE(IsBlankText(QStringLiteral("  a ")));
    EXPECT_FALSE(IsBlankText(QString(QChar(0x00A0))));  // no-break space is not a blank here
}

TEST(CharacterTests, KnowOnlyAsciiLettersAndDigits) {
    EXPECT_TRUE(IsLetter('a') && IsLetter('Z') && IsLetter(QChar(u'q')));
    EXPECT_FALSE(IsLetter('0') || IsLetter('_') || IsLetter('@') || IsLetter('['));
    EXPECT_FALSE(IsLetter('\xe9') || IsLetter(QChar(0x00E9)) || IsLetter(QChar(0x0416)));
    EXPECT_TRUE(IsDigit('0') && IsDigit('9') && IsDigit(QChar(u'5')));
    EXPECT_FALSE(IsDigit('a') || IsDigit('/') || IsDigit(':') || IsDigit(QChar(0x0663)));
    EXPECT_TRUE(IsLetterOrDigit('x') && IsLetterOrDigit('7'));
    EXPECT_FALSE(IsLetterOrDigit(' ') || IsLetterOrDigit('\0') || IsLetterOrDigit(QChar(0x00B2)));
    EXPECT_EQ(DigitsOnly(QStringLiteral("a1b2-3 x\u0664 4")), QStringLiteral("1234"));
    EXPECT_EQ(DigitsOnly(QStringLiteral("none")), QString());
}

TEST(DateToTextSafe, FallsBackTo1980ForAnInvalidDate) {
    EXPECT_EQ(DateToTextSafe(QDate(1999, 3, 10)), QStringLiteral("3/10/99"));
    EXPECT_EQ(DateToTextSafe(QDate()), QStringLiteral("1/1/80"));
    LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DateToTextSafe(QDate(1999, 3, 10)), QStringLiteral("10.03.99"));
}

// ---- relative dates -------------------------------------------------------------------

struct RelativeCase {
    QDate date;
    const char* expected;
};

void expectRelative(const QDateTime& reference, std::initializer_list<RelativeCase> cases) {
    for (const RelativeCase& c : cases) {
        EXPECT_EQ(RelativeDateText(c.date, reference), QString::fromLatin1(c.expected))
            << c.date.toString(Qt::ISODate).toStdString() << " seen from "
            << reference.toString(Qt::ISODate).toStdString();
    }
}

TEST(RelativeDateText, WordsTheDistanceFromWednesday10March1999) {
    const QDateTime wednesday(QDate(1999, 3, 10), QTime(14, 30));
    expectRelative(wednesday, {
                                  {QDate(1999, 3, 10), "Today"},
                                  {QDate(1999, 3, 9), "Yesterday"},
                                  {QDate(1999, 3, 11), "Tomorrow"},
                                  {QDate(1999, 3, 7), "This week"},  // Sunday
                                  {QDate(1999, 3, 6), "Last week"},  // Saturday
                                  {QDate(1999, 2, 28), "Last week"},
                                  {QDate(1999, 2, 27), "2 wks ago"},
                                  {QDate(1999, 2, 24), "2 wks ago"},
                                  {QDate(1999, 2, 20), "3 wks ago"},
                                  {QDate(1999, 1, 1), "10 wks ago"},
                                  {QDate(1998, 12, 31), "3 mons ago"},
                                  {QDate(1998, 12, 10), "3 mons ago"},
                                  {QDate(1998, 2, 10), "13 mons ago"},
                                  {QDate(1997, 1, 10), "26 mons ago"},
                                  {QDate(1996, 1, 10), "3 yrs 2 mons ago"},
                                  {QDate(1996, 3, 10), "3 yrs ago"},
                                  {QDate(1996, 2, 10), "3 yrs 1 mon ago"},
                                  {QDate(1989, 3, 31), "10 yrs ago"},
                                  {QDate(1999, 3, 12), "This week"},
                                  {QDate(1999, 3, 13), "This week"},  // Saturday
                                  {QDate(1999, 3, 14), "Next week"},  // Sunday
                                  {QDate(1999, 3, 15), "Next week"},
                                  {QDate(1999, 3, 20), "Next week"},
                                  {QDate(1999, 3, 21), "2 wks"},
                                  {QDate(1999, 3, 28), "3 wks"},
                                  {QDate(1999, 5, 31), "12 wks"},
                                  {QDate(1999, 6, 1), "3 mons"},
                                  {QDate(1999, 7, 1), "4 mons"},
                                  {QDate(2000, 4, 1), "13 mons"},
                                  {QDate(2000, 3, 1), "12 mons"},
                                  {QDate(2002, 2, 1), "2 yrs 11 mons"},  // 3 calendar years
                                  {QDate(2002, 3, 1), "3 yrs"},
                                  {QDate(2003, 5, 1), "4 yrs 2 mons"},
                                  {QDate(2003, 4, 1), "4 yrs 1 mon"},
                              });
}

TEST(RelativeDateText, CountsCalendarMonthsAndYearsAcrossTheNewYear) {
    // Seen from Saturday 1 January 2000: calendar years and months, not elapsed time.
    expectRelative(QDateTime(QDate(2000, 1, 1), QTime(0, 0)),
                   {
                       {QDate(1999, 12, 31), "Yesterday"},
                       {QDate(1999, 12, 26), "This week"},  // Sunday
                       {QDate(1999, 12, 25), "Last week"},  // Saturday
                       {QDate(1999, 11, 1), "8 wks ago"},
                       {QDate(1999, 10, 31), "3 mons ago"},
                       {QDate(1998, 1, 1), "24 mons ago"},
                       {QDate(1997, 12, 31), "2 yrs 1 mon ago"},  // 3 calendar years
                       {QDate(1997, 1, 1), "3 yrs ago"},
                       {QDate(1996, 12, 31), "3 yrs 1 mon ago"},
                   });
    // Seen from Friday 31 December 1999.
    expectRelative(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)),
                   {
                       {QDate(2000, 1, 1), "Tomorrow"},
                       {QDate(2000, 1, 2), "Next week"},  // Sunday
                       {QDate(2000, 1, 8), "Next week"},
                       {QDate(2000, 1, 9), "2 wks"},
                       {QDate(2000, 2, 29), "9 wks"},
                       {QDate(2000, 3, 1), "3 mons"},
                       {QDate(2002, 1, 1), "2 yrs 1 mon"},  // 3 calendar years
                       {QDate(2002, 12, 31), "3 yrs"},
                       {QDate(2003, 1, 1), "3 yrs 1 mon"},
                   });
}

TEST(RelativeDateText, IsEmptyForDatesItCannotWord) {
    const QDateTime reference(QDate(1999, 3, 10), QTime(12, 0));
    EXPECT_EQ(RelativeDateText(QDate(), reference), QString());
    EXPECT_EQ(RelativeDateText(QDate(-1, 12, 31), reference), QString());
    EXPECT_EQ(RelativeDateText(QDate(1999, 3, 10), QDateTime()), QString());
    EXPECT_EQ(RelativeDateText(QDate(1, 1, 1), reference), QStringLiteral("1998 yrs 2 mons ago"));
}

// ---- file types -----------------------------------------------------------------------

TEST(FileTypeName, NamesKnownUnknownAndMissingExtensions) {
    EXPECT_EQ(FileTypeName(QStringLiteral(".zzq")), QStringLiteral("ZZQ File"));
    EXPECT_EQ(FileTypeName(QStringLiteral(".Zzq9")), QStringLiteral("ZZQ9 File"));
    EXPECT_EQ(FileTypeName(QString()), QString());
    EXPECT_EQ(FileTypeName(QStringLiteral("*.")), QStringLiteral("No extension"));
    EXPECT_EQ(FileTypeName(QStringLiteral(".")), QStringLiteral("No extension"));
    EXPECT_EQ(FileTypeName(QStringLiteral(".*")), QString());
    EXPECT_EQ(FileTypeName(QStringLiteral("*.png")), QString());

    // Known types carry the database's own description, in whatever language it uses.
    const QString png = QMimeDatabase().mimeTypeForName(QStringLiteral("image/png")).comment();
    ASSERT_FALSE(png.isEmpty());
    EXPECT_EQ(FileTypeName(QStringLiteral(".png")), png);
    EXPECT_EQ(FileTypeName(QStringLiteral(".PNG")), png);
    EXPECT_NE(FileTypeName(QStringLiteral(".png")), QStringLiteral("PNG File"));
    const QString pdf =
        QMimeDatabase().mimeTypeForName(QStringLiteral("application/pdf")).comment();
    EXPECT_EQ(FileTypeName(QStringLiteral(".pdf")), pdf);
}

TEST(RegisteredExtensionPatterns, ListsShortKnownSuffixesSortedOnce) {
    QStringList list{QStringLiteral("left over")};
    RegisteredExtensionPatterns(list, false);
    ASSERT_GT(list.size(), 50);
    EXPECT_FALSE(list.contains(QStringLiteral("*.*")));
    EXPECT_FALSE(list.contains(QStringLiteral("left over")));
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString& p = list.at(i);
        EXPECT_TRUE(p.startsWith(QStringLiteral("*."))) << p.toStdString();
        EXPECT_GE(p.size(), 3) << p.toStdString();
        EXPECT_LE(p.size() - 1, 5) << p.toStdString();  // ".ext" at most 5 characters
        EXPECT_EQ(p, p.toLower()) << p.toStdString();
        if (i > 0) {
            EXPECT_LT(list.at(i - 1), p) << "not sorted or not unique at " << i;
        }
    }
    for (const char* known : {"*.png", "*.txt", "*.pdf", "*.html", "*.jpg"}) {
        EXPECT_TRUE(list.contains(QString::fromLatin1(known))) << known;
    }
    EXPECT_FALSE(list.contains(QStringLiteral("*.desktop")));
    EXPECT_FALSE(list.contains(QStringLiteral("*.tar.gz")));

    QStringList withAll;
    RegisteredExtensionPatterns(withAll, true);
    ASSERT_EQ(withAll.size(), list.size() + 1);
    EXPECT_EQ(withAll.first(), QStringLiteral("*.*"));
    EXPECT_EQ(withAll.mid(1), list);
}

// ---- readable strings of a file -------------------------------------------------------

QByteArray extract(test::TempTree& tree, const QByteArray& content, int minLength = 5,
                   int maxLength = 100) {
    const QByteArray source = tree.file("source.bin", content);
    const QByteArray target = tree.path("strings.txt");
    EXPECT_EQ(ExtractStrings(source, target, minLength, maxLength), QString());
    return readAll(target);
}

TEST(ExtractStrings, WritesLongEnoughRunsOncePerLine) {
    test::ScriptedPrompter prompter;  // no box may appear, ever
    test::TempTree tree;
    const QByteArray nul(1, '\0');
    const QByteArray a101(101, 'a');
    const QByteArray a102(102, 'a');
    const struct {
        QByteArray content;
        QByteArray expected;
    } cases[] = {
        {"abc" + nul + "hello world" + nul, "hello world\n"},
        {"hello world" + nul + "hello world" + nul, "hello world\n"},
        {"hello world" + nul + "other run" + nul + "hello world" + nul,
         "hello world\nother run\nhello world\n"},
        {"hello" + nul, ""},
        {"hellos" + nul, "hellos\n"},
        {a101 + nul, a101 + "\n"},
        {a102 + nul, ""},
        {a102 + nul + "after it" + nul, "after it\n"},
        {"line one\r\nline two\r\n", "line one\nline two\n"},
        {"ends at the end", "ends at the end\n"},  // the file's end ends the run
        {"hello", ""},
        {"caf\xe9 latte\x01", " latte\n"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(extract(tree, c.content), c.expected)
            << c.content.toPercentEncoding().constData();
    }
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

TEST(ExtractStrings, KeepsRunsThatCrossA2048ByteBlock) {
    test::TempTree tree;
    const QByteArray nul(1, '\0');
    const auto at = [&](qsizetype offset, const QByteArray& text) {
        return QByteArray(offset, '\0') + text + nul;
    };
    const QByteArray a101(101, 'a');
    const QByteArray a102(102, 'a');
    const struct {
        const char* what;
        QByteArray content;
        QByteArray expected;
    } cases[] = {
        {"four bytes before the boundary, six after", at(2044, "abcdefghij"), "abcdefghij\n"},
        {"ends exactly at the boundary", at(2048 - 11, "hello world"), "hello world\n"},
        {"starts exactly at the boundary", at(2048, "hello world"), "hello world\n"},
        {"crosses two boundaries", at(2000, QByteArray(100, 'b')) + at(1989, "tail words"),
         QByteArray(100, 'b') + "\ntail words\n"},
        {"too long across the boundary", at(2000, a102), ""},
        {"longest kept across the boundary", at(2000, a101), a101 + "\n"},
        {"only five across the boundary", at(2046, "hello"), ""},
        {"the same line in two blocks", "hello world" + nul + at(2036, "hello world"),
         "hello world\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(extract(tree, c.content), c.expected) << c.what;
    }
}

TEST(ExtractStrings, ReachesNonUtf8NamesAndEmptiesAnOldTarget) {
    test::ScriptedPrompter prompter;
    test::TempTree tree;
    const QByteArray source = tree.file("dump\xff\xfe.bin", QByteArray("readable text\n"));
    const QByteArray target = tree.file("out\xe9.txt", "old content that must go\n");
    ASSERT_EQ(ExtractStrings(source, target, 5, 100), QString());
    EXPECT_EQ(readAll(target), QByteArray("readable text\n"));
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

TEST(ExtractStrings, ReportsASourceThatCannotBeOpened) {
    test::ScriptedPrompter prompter;
    test::TempTree tree;
    const QByteArray missing = tree.path("missing.bin");
    const QByteArray target = tree.path("strings.txt");
    EXPECT_EQ(ExtractStrings(missing, target, 5, 100),
              QStringLiteral("Could not open file ") + QFile::decodeName(missing));
    EXPECT_TRUE(prompter.boxes().isEmpty());
    EXPECT_TRUE(prompter.sounds().isEmpty());
    EXPECT_FALSE(tree.exists("strings.txt"));
}

TEST(ExtractStrings, ReportsATargetThatCannotBeCreated) {
    test::ScriptedPrompter prompter;
    test::TempTree tree;
    const QByteArray source = tree.file("source.bin", QByteArray("hello world\0", 12));
    const QByteArray target = tree.path("no such folder/strings.txt");
    EXPECT_EQ(ExtractStrings(source, target, 5, 100),
              QStringLiteral("Could not open file ") + QFile::decodeName(target));
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

}  // namespace
}  // namespace dw
