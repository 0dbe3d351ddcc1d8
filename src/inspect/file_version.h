#pragma once

#include <QByteArray>
#include <QStringList>

namespace dw {

// The version information that Windows programs and libraries (PE files: .exe, .dll,
// .sys ...) carry in their VS_VERSION_INFO resource, as lines of text.
//
// Eleven lines when the file has that resource and it lists a language and code page
// (the first entry of its Translation value), none otherwise. Line k is the k-th label
// ("Company: ", "File description: ", "File version: ", "Internal name: ",
// "Copyright: ", "Trademarks: ", "Original filename: ", "Private build info: ",
// "Product name: ", "Product version: ", "Special build info: "), then with `withTab`
// one TAB (two after "Copyright: "), then the string of the matching key (CompanyName,
// FileDescription, FileVersion, InternalName, LegalCopyright, LegalTrademarks,
// OriginalFilename, PrivateBuild, ProductName, ProductVersion, SpecialBuild) in the
// string table of that language and code page (its name "040904E4" matched in either
// case), blanks at its start removed; a key the table lacks gives an empty value. When
// the file has no table of that name, the first string table it has is read instead;
// with no string table at all, the eleven values are empty.
//
// Reads only what it needs (headers, section table, resource directory, the version
// block, at most 1 MiB of it), never follows a symbolic link, and checks every offset
// and length against the file and the block: a file that is not PE, a damaged or
// truncated one, or one whose sizes lie gives no lines (or the lines of what could be
// read), never a crash or a read outside its buffers.
QStringList FileVersionLines(const QByteArray& path, bool withTab);

// The same for a PE image already in memory (`image` is the whole file).
QStringList VersionLinesOfImage(const QByteArray& image, bool withTab);

// The eleven labels, in their order.
const QStringList& VersionLineLabels();

}  // namespace dw
