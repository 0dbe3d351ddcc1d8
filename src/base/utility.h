#pragma once

#include <QByteArray>
#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>

// Small stateless helpers that every window and engine shares: number and date texts,
// path joining, tab lines, character tests, file-type names and the readable strings of
// a file. None keeps state between calls (the list of known file suffixes is cached by
// the platform layer) and none throws.
namespace dw {

// The settings store's root key, below which the program keeps its sections.
inline constexpr char ProgramKey[] = "Software\\Brightwater Systems\\Diskwell\\3.0";

// `n` as whole decimal text in the default locale, with its group (thousands) separator
// between groups of digits even where the locale would leave it out, and its own minus
// sign: 1234567 gives "1,234,567" in English (US), "1.234.567" in German; 0 gives "0".
// 64-bit: sizes above 2 GiB show in full.
QString FormatThousands(qint64 n);

// `x` rounded to a whole number (halves away from zero) and shown as FormatThousands
// does, with at most 14 significant digits: beyond those, the digits are rounded and
// written as zeros (123456789012345678 gives "123,456,789,012,350,000"). Empty text for
// NaN and infinities.
QString FormatFloatThousands(double x);

// The whole decimal number `text` denotes (an optional sign, decimal digits; blanks
// around it are allowed), or 0 when it is no such number or does not fit in 64 bits.
qint64 StrToIntSafe(const QString& text);

// The number `text` denotes in the default locale (its decimal and group separators;
// blanks around it allowed; exponents accepted), or 0 when it is no valid finite number.
double StrToFloatSafe(const QString& text);

// `date` in the default locale's short date format; for an invalid date, the text of
// 1 January 1980 in that format.
QString DateToTextSafe(const QDate& date);

// The locale's long time format without its time-zone part ("h:mm:ss AP t" gives
// "h:mm:ss AP"): the program's times are local file and clock times that carry no zone.
// Quoted literal text is kept as it is.
QString LongTimeFormat(const QLocale& locale = QLocale());

// The characters "0" to "9" of `text`, in their order; everything else dropped.
QString DigitsOnly(const QString& text);

// Field `n` of a tab line (fields separated by one TAB, numbered from 1): field 1 is
// everything before the first TAB (the whole line without one), field n > 1 everything
// between the (n-1)-th and the n-th TAB or the end. Blanks and control characters
// (codes 0 to 32) are removed from both ends of the field. Empty text when the line has
// fewer than `n` fields or `n` is below 1.
QString TabField(const QString& line, int n);

// ASCII character tests: letters A-Z and a-z, digits 0-9, either. Nothing else counts,
// accented letters and other scripts included.
constexpr bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
constexpr bool IsLetterOrDigit(char c) {
    return IsLetter(c) || IsDigit(c);
}
constexpr bool IsLetter(QChar c) {
    return c.unicode() < 128 && IsLetter(static_cast<char>(c.unicode()));
}
constexpr bool IsDigit(QChar c) {
    return c.unicode() < 128 && IsDigit(static_cast<char>(c.unicode()));
}
constexpr bool IsLetterOrDigit(QChar c) {
    return IsLetter(c) || IsDigit(c);
}

// True for the empty text and for a text made only of backspace (8), line feed (10),
// carriage return (13) and space (32). Any other character, TAB included, makes it false.
bool IsBlankText(const QString& text);

// How far `date` lies from the date of `reference`, in words: "Today", "Yesterday",
// "Tomorrow"; past dates "This week", "Last week", "N wks ago" (below 3 calendar months),
// "N mon ago"/"N mons ago" (up to 2 calendar years), "N yrs [M mon(s) ]ago"; future dates
// "This week" (before the next Sunday), "Next week", "N wks", "N mon(s)", "N yrs[ M
// mon(s)]". Weeks run Sunday to Saturday; calendar months and years are differences of
// the month and year numbers, whatever the day. Empty for an invalid date or reference
// and for a date before 1 January of the year 1.
QString RelativeDateText(const QDate& date,
                         const QDateTime& reference = QDateTime::currentDateTime());

// The name of the file type of `ext` (an extension with its leading dot, ".doc"):
// "*." and "." give "No extension"; an extension the desktop's file-type database knows
// gives that database's description (in the language it follows); any other non-empty
// text without "*" gives the text without its first character, upper-cased, followed by
// " File" (".xyz" gives "XYZ File"); anything else (the empty text, other patterns)
// gives the empty text.
QString FileTypeName(const QString& ext);

// The name of the file type of the file named `name` (no folder): the description the
// desktop's file-type database gives to the name matched as a whole against its globs
// ("libomp.so.5" a shared library, "a.tar.gz" a compressed tar archive, "README" a
// readme document), in the language it follows. A name the database does not know is
// named by its last extension: "." at the end gives "No extension", any other the text
// after the last dot, upper-cased, followed by " File" ("a.b.xyz" gives "XYZ File"). The
// empty text for a name without a dot that the database does not know, and for the empty
// name. This is the one rule for naming a file's type; ExtensionTypes answers it for
// many files.
QString FileTypeOfName(const QString& name);

// Replaces the content of `list` with "*.*" (only when `withAll`) followed by "*." and
// each file suffix the desktop's file-type database knows whose ".ext" has at most 5
// characters, in lower case, each once, in ascending order ("*.bak", "*.doc", ...).
void RegisteredExtensionPatterns(QStringList& list, bool withAll);

// Writes the runs of readable characters (ASCII letters, digits and spaces) of the file
// `source` to the text file `target` (created or emptied), one run per line, each line
// ended by "\n". Both are native byte paths. The source is read in blocks of 2048
// bytes, but a run goes on across a block boundary as if there were none, and the end
// of the file ends the last run as any byte that is no run character does. A run is
// written when it holds more than `minLength` characters, at most `maxLength` + 1 of
// them (a run that reaches maxLength + 2 is too long and dropped), and differs from the
// line written just before. Returns an empty text when the whole source was read and
// every line written. Otherwise it returns the error for the caller to show (an error
// box, after the exclamation sound): "Could not open file " followed by the source's
// name when the source cannot be opened, followed by ": " and why when it is not a
// regular file of a disk ("it is not a regular file", platform::openFileToLookAt:
// nothing waits) (`target` is not touched either way); "Could not open
// file " with the target's name when the target cannot be created; "Could not read
// file " or "Could not write file " with the file's name when a read or write fails
// (lines written before stay in the target). Shows nothing itself. The holes of a sparse
// source are not read: they end a run as their zeros would. `goOn`, when set, is called
// with the bytes passed so far after every block (from the thread that runs this); when
// it returns false the reading stops there and an empty text is returned, the lines
// written so far left in the target.
QString ExtractStrings(const QByteArray& source, const QByteArray& target, int minLength,
                       int maxLength, const std::function<bool(qint64)>& goOn = {});

}  // namespace dw
