#pragma once

#include <QByteArrayView>

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

// `text` without the bytes 0 to 32 (blanks and control characters) at both ends: how a
// field of a tab line is taken before it is compared.
QByteArrayView trimmedField(QByteArrayView text);

}  // namespace dw
