#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace dw {

// A file-name pattern as the finders' wildcard boxes hold it: one or more patterns
// separated by ";" ("*.doc;*.txt"), blanks around each one ignored. A name matches when
// it matches any of them. Within a pattern "*" stands for any run of characters (none
// included), "?" for exactly one character, and every other character for itself with
// the ASCII letters in either case ("*.DOC" matches "a.doc"; other letters are matched
// exactly). The pattern "*.*" matches every name, with or without a dot, as does "*".
// A text without any pattern (empty, or only ";" and blanks) matches nothing.
//
// Names are native bytes. A character is one UTF-8 sequence; a byte that is not part of
// a valid sequence counts as one character, so any name can be matched.
class WildcardPattern {
public:
    // The pattern "*.*".
    WildcardPattern();
    explicit WildcardPattern(const QString& text);

    bool matches(const QByteArray& name) const;

    // True when every name matches (one of the patterns is "*.*" or "*"), so a caller
    // can skip the test.
    bool matchesEverything() const { return everything_; }

    // True when the text holds no pattern at all (it then matches nothing).
    bool isEmpty() const { return patterns_.isEmpty(); }

    // The text the pattern was made from.
    const QString& text() const { return text_; }

private:
    QString text_;
    QList<QByteArray> patterns_;
    bool everything_ = false;
};

// One pattern (no ";") against one name, by the rules above ("*.*" matching every name).
bool WildcardMatch(const QByteArray& pattern, const QByteArray& name);

}  // namespace dw
