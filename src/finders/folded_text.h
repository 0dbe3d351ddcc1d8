#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <string>

// Case-insensitive comparison of the finders' texts (file names, folders, the texts of
// their list fields) as they are kept: native bytes or UTF-8, never decoded into a
// lossy display string.
namespace dw {

// A text made of up to two parts read one after the other, such as a folder prefix
// ("/data/") and a file name, compared as if they were one text.
struct TextParts {
    QByteArrayView first;
    QByteArrayView second;
};

// Compares `a` and `b` character by character: a valid UTF-8 character counts as its
// upper-case form (Unicode's simple one-to-one mapping, ASCII a-z as A-Z), and a byte
// that is not part of a valid UTF-8 sequence counts as a value of its own above every
// character, so two names that differ in such bytes never compare equal. A text that is
// the beginning of the other comes first. Returns a negative number, 0 or a positive
// number as `a` sorts before, with or after `b`.
int compareFolded(QByteArrayView a, QByteArrayView b);
int compareFolded(TextParts a, TextParts b);

inline bool equalFolded(QByteArrayView a, QByteArrayView b) {
    return compareFolded(a, b) == 0;
}

// The first `chars` characters of `text` as bytes of a key for sorting many texts
// quickly, written to `out` (`chars` bytes): each character's upper-case form when that
// is ASCII, 0xFF in place of the first character that is not (and nothing after it),
// zeros after the end. Compared byte by byte, keys keep the order of compareFolded: a
// smaller key means a text that sorts first, and texts that compare equal have equal
// keys. Equal keys say nothing: such texts must be compared whole.
void foldedPrefixKey(TextParts text, int chars, quint8* out);

// Appends `text` to `out` as bytes whose plain order keeps the order of compareFolded:
// every character as its compared value (one byte for ASCII, four otherwise). Two such
// byte strings compare (byte by byte as unsigned values, a string that is the beginning
// of the other first) as compareFolded compares their texts, and equal texts give equal
// bytes, so many texts can be sorted on their bytes after one pass each.
void appendFoldedSortBytes(TextParts text, std::string& out);

// `text` without its first `bytes` bytes (taken from the first part, then the second).
TextParts skipBytes(TextParts text, qsizetype bytes);

// The number of bytes at the start of `a` and `b` that are the same, at most `limit`,
// moved back to a byte that starts a character in both (never inside a UTF-8
// sequence), so both texts can be read on from there.
qsizetype commonPrefixBytes(TextParts a, TextParts b, qsizetype limit);

// `text` without the bytes 0 to 32 (blanks and control characters) at both ends: how a
// field of a tab line is taken before it is compared.
QByteArrayView trimmedField(QByteArrayView text);

}  // namespace dw
