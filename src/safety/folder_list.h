#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The Safe Harbor folder list: the shape of its entries, its order, and the file
// folders.txt that keeps it between runs.
//
// An entry is a native byte path in one of two forms:
// - a folder entry, ending with "/" ("/opt/app/"): protects the files that lie directly
//   in that folder, nothing below it;
// - a subtree entry, a folder followed by "*.*" ("/opt/app/*.*"): protects that folder
//   and everything below it, at any depth.
// Entries compare with ASCII case folding throughout (over-protection is the safe side).
namespace dw {

// The marker that ends a subtree entry.
inline constexpr char kSubtreeMarker[] = "*.*";

// True when `entry` ends with "*.*".
bool isSubtreeEntry(QByteArrayView entry);

// The folder a subtree entry protects: the entry without its "*.*", followed by "/" when
// it does not end with one ("/opt/app*.*" gives "/opt/app/", so it never covers
// "/opt/apple"). For any other entry: the entry itself, followed by "/" when it does not
// end with one. The empty entry gives the empty text.
QByteArray entryFolder(QByteArrayView entry);

// `text` with the ASCII letters A-Z turned into a-z (lowerAscii) or a-z into A-Z
// (upperAscii); every other byte kept.
QByteArray lowerAscii(QByteArrayView text);
QByteArray upperAscii(QByteArrayView text);

// Order of the folder list: the texts compared byte by byte after ASCII case folding;
// texts equal that way are ordered by their bytes, so the order is total and the same
// on every run. Negative, 0 (only for identical texts) or positive.
int compareFolderText(QByteArrayView a, QByteArrayView b);

// True when `text` begins with `prefix`, ASCII case folded.
bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix);

// True when the two texts are equal, ASCII case folded.
bool equalsNoCase(QByteArrayView a, QByteArrayView b);

// Sorts `list` by compareFolderText.
void sortFolderList(QList<QByteArray>& list);

// Removes every entry that a subtree entry of `list` covers, then sorts the list
// (sortFolderList). An entry is covered when it begins (case folded) with the folder of
// a subtree entry (entryFolder): folder entries in or below that folder, and other
// subtree entries at or below it. Of subtree entries that cover each other only the
// outermost one stays, and of several equal ones (case folded) only one, so no entry of
// the result lies below a subtree entry of it. Entries that no subtree entry covers stay
// as they are, duplicates included.
// Example: "/a/", "/a/b/", "/a/*.*", "/a/b/*.*", "/c/" become "/a/*.*", "/c/".
void removeCoveredFolders(QList<QByteArray>& list);

// The path of folders.txt: platform::settingsFolder() followed by "/folders.txt".
QString foldersFilePath();

// The largest folder list read: a list of folders is far smaller, and anything larger
// is not one (a link to a device, a runaway file).
inline constexpr qint64 kMaxFolderListBytes = 64 * 1024 * 1024;

// The entries of the folder list file `file`: one entry per line, lines ended by "\n"
// or "\r\n" (a last line without an end counts), empty lines left out, every other byte
// kept (blanks included, since folder names may hold them, and bytes that are not
// UTF-8). A file saved as UTF-16 with its byte-order mark is read as its text, in UTF-8
// (platform::textFileAsUtf8). std::nullopt when the file does not exist or cannot be
// read (`error`, when given, is then set: empty when the file does not exist, else the
// reason it could not be read: the system's text, "it is not a regular file", "it is
// larger than 64 MiB", "it is UTF-16 text that cannot be read", or "its line N holds a
// NUL byte", which no folder name can). The file is opened without
// waiting (a FIFO in its place never blocks) and read only when it is a regular file.
std::optional<QList<QByteArray>> ReadFolderList(const QString& file, QString* error = nullptr);

// Saves `entries` to `file`: sorted (sortFolderList), one per line, each ended by "\n",
// written to a temporary file that then replaces `file` (a crash never leaves half a
// list); the folder is created when missing. An empty list deletes `file` instead
// (nothing to delete is fine). Entries holding a line break cannot be kept in a line per
// entry: they make the save fail before anything is written. Returns true on success;
// false with `error` set to a readable reason otherwise, `file` then unchanged.
bool SaveFolderList(const QString& file, QList<QByteArray> entries, QString* error = nullptr);

}  // namespace dw
