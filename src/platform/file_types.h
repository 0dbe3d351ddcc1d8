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

}  // namespace dw::platform
