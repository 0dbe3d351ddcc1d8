#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "base/settings_sections.h"

namespace dw {

// A window's saved position and size, stored as one text of ten decimal integers, each
// followed by one blank: flags, show command, minimised x and y, maximised x and y,
// and the normal rectangle's left, top, right and bottom (right and bottom exclusive).
struct PlacementRecord {
    static constexpr int kShowNormal = 1;
    static constexpr int kShowMinimized = 2;
    static constexpr int kShowMaximized = 3;

    int flags = 0;
    int showCommand = kShowNormal;
    int minX = 0;
    int minY = 0;
    int maxX = 0;
    int maxY = 0;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    // Reads the numbers in order, each up to the next blank. A number that is missing,
    // empty, not a decimal integer or outside the int range reads as 1 for the show
    // command and 0 for every other field; so "" gives a record that is not applicable.
    static PlacementRecord parse(const QString& text);

    // The ten numbers in decimal, each followed by one blank ("0 1 0 0 0 0 10 20 410 320 ").
    QString toText() const;

    // Only a record whose left edge is smaller than its right edge is applied.
    bool applicable() const { return left < right; }

    bool operator==(const PlacementRecord&) const = default;
};

// A numbered list as read from the store.
struct NumberedList {
    // False when "Number" is absent, not an integer, or -1 or less: the list was never
    // saved and the editors show their default entries. True for "Number" 0 (a saved,
    // empty list).
    bool saved = false;
    // The non-empty entries "File1" .. "File<Number>" in that order.
    QStringList entries;
};

// The program's settings: sections below the program key of the user's settings file
// (platform::SettingsFile::user()). The object holds nothing: every call opens the
// file, reads or writes it and closes it again, so several stores (and several running
// copies of the program) always agree. Section names are those of settings_sections.h;
// an empty section name means the program key itself.
class SettingsStore {
public:
    // The text of `name` in `section`; `def` when the section or value is missing or the
    // file cannot be read. A stored empty text is returned as such.
    QString readString(const QString& section, const QString& name, const QString& def) const;

    // The stored text read as a 64-bit integer: optional blanks around it, "0x" or "0X"
    // followed by hexadecimal digits when the text is longer than 2 characters (up to 16
    // digits, taken as the bit pattern, so "0xFFFFFFFFFFFFFFFF" is -1), else an optional
    // sign and decimal digits. `def` when the value is missing or is no such integer
    // ("0x", "12abc", "", a decimal beyond the 64-bit range).
    qint64 readInteger(const QString& section, const QString& name, qint64 def) const;

    // Store `text`, or `value` as decimal text, creating the file and section as needed.
    // False when the settings file could not be written (see SettingsFile::setValue);
    // callers report it.
    bool writeString(const QString& section, const QString& name, const QString& text);
    bool writeInteger(const QString& section, const QString& name, qint64 value);

    // Reads "Number" (default -1) and "File1" .. "File<Number>" ("File" and i in
    // decimal without leading zeros) of `section`. Values beyond the count are ignored,
    // however large the stored count is.
    NumberedList readList(const QString& section) const;

    // readList for a list that protects files, where nothing unreadable or damaged may
    // pass for an empty list. `error` (when given) is emptied, and the list is readList's,
    // when all is well. When the settings file exists but cannot be read
    // (platform::SettingsFile::checkedValues), returns a list never saved and sets
    // `error` to that message. When the count is damaged ("Number" present but not a
    // whole number of 0 or more: empty, "abc", "-5", beyond 64 bits; or absent while
    // "File<i>" entries are there), the list is saved and holds every non-empty entry
    // "File<i>" there is, by i, and `error` is "The list \"SECTION\" in the settings file
    // PATH is damaged: its count \"Number\" is \"TEXT\"" (or "... is missing").
    NumberedList readListChecked(const QString& section, QString* error) const;

    // Stores "Number" := the count and "File1" .. "File<count>" := each entry's text
    // before its first TAB (the whole entry when it has none), in one atomic write.
    // Values "File<i>" above the new count stay in the file unread. False when the
    // file could not be written; then nothing of the list changed.
    bool writeList(const QString& section, const QStringList& entries);

    // A window's placement record, kept directly below the user's root (not below the
    // program key) in `key`\`subkey`, value `valueName`. A missing value reads as the
    // record of "" (not applicable).
    PlacementRecord readPlacement(const QString& key, const QString& subkey,
                                  const QString& valueName) const;
    bool writePlacement(const QString& key, const QString& subkey, const QString& valueName,
                        const PlacementRecord& record);

    // The full key path of a section: the program key, "\" and the section.
    static QString sectionPath(const QString& section);
};

// A stored integer read as readInteger reads it; std::nullopt when the text is no such
// integer.
std::optional<qint64> parseStoredInteger(const QString& stored);
// A native path (any bytes but NUL) as a settings text that gives back exactly its
// bytes, for lists of folders such as "NewFolders". A path that is valid UTF-8 without a
// TAB is stored as its text, so the file stays readable and older lists read as before.
// Any other path is stored as "bytes:" followed by its bytes, where each byte that is
// not part of a valid UTF-8 character, each TAB (which would end a list entry) and each
// "%" is written as "%" and two hexadecimal digits
// ("/data/caf\xe9" becomes "bytes:/data/caf%E9").
QString nativePathSetting(const QByteArray& path);
// The reverse: a text in the "bytes:" form gives its bytes back (a "%" not followed by
// two hexadecimal digits stands for itself); any other text is taken as UTF-8.
QByteArray nativePathFromSetting(const QString& text);

// The name of the running program file without its folder ("diskwell"), the subkey of
// several placement records. Empty only when the platform cannot tell.
QString programFileName();

// The subkey of a placement key: its own subkey, or programFileName() when it has none.
QString placementSubkey(const settings::PlacementKey& key);

// The text of value `name` in key `keyPath` of the user's settings file (the key path
// taken from the user's root, e.g. "Software\Brightwater Systems\Diskwell\3.0\Folders");
// empty when the key or value is missing or the file cannot be read. Creates nothing.
QString ReadUserRegString(const QString& keyPath, const QString& name);

// The same from the machine's read-only settings file.
QString ReadMachineRegString(const QString& keyPath, const QString& name);

}  // namespace dw
