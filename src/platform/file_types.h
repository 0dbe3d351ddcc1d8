#pragma once

#include <QString>
#include <QStringList>

// File types as the desktop knows them: the shared MIME database.
namespace dw::platform {

// The description the MIME database gives to files ending in `extension` (with its
// leading dot, ".png"), in the language the database follows (LANGUAGE, then the
// locale). Empty when the database does not know the extension (it would answer the
// generic binary type), when `extension` is empty or does not begin with a dot, or
// when it holds a wildcard ("*" or "?"). Case is ignored as the database ignores it.
QString fileTypeDescription(const QString& extension);

// Every file-name suffix the database knows, without the leading dot, in lower case,
// each once, sorted. Suffixes with several parts ("tar.gz") are included; suffixes
// holding wildcard characters are not. Computed on the first call and kept for the
// rest of the process (the database does not change during a run); thread-safe.
const QStringList& knownFileSuffixes();

// The description of the type the database gives to the file name `name` matched as a
// whole against its globs ("libm.so.6" is a shared library, "a.tar.gz" a compressed tar
// archive, "README" a readme document, "notes~" a backup file), by name only: no file
// is read. Empty when no glob matches (the generic binary type) and for the empty name.
QString fileTypeOfName(const QString& name);

// What decides which globs of the database can match a name, so that callers naming
// many files can reuse one answer for names alike. Every glob beginning with "*." can
// only match from one of the name's dots on, so such globs see only the name from its
// first dot on; every other glob ("README*", "*~", "Makefile") is kept as its literal
// start and end.
struct FileTypeGlobShape {
    // The longest text a bounded "*." glob can match ("*.tar.gz": 7, "*.anim[1-9j]": 6).
    qsizetype longestSuffix = 0;
    // The lengths of the bounded "*." globs holding a wildcard ("*.[1-9]": 2): the other
    // bounded ones are knownFileSuffixes().
    QList<qsizetype> patternedSuffixLengths;
    // The literal start of each "*." glob that can match texts of any length, lower case
    // ("*.so.[0-9]*" gives ".so."): a name holding one of these may match it from any
    // of its dots.
    QStringList openSuffixStarts;
    // For each other glob, lower case: the text before its first wildcard and the text
    // after its last one (the whole glob and the empty text for a literal name). A name
    // can match the glob only when it begins with the first and ends with the second,
    // the two not overlapping.
    struct Anchors {
        QString start;
        QString end;
    };
    QList<Anchors> otherGlobs;
};
// The shape of the database's globs; computed on the first call, kept for the rest of
// the process; thread-safe.
const FileTypeGlobShape& fileTypeGlobShape();

}  // namespace dw::platform
