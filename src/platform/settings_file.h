#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace dw::platform {

// The folder that holds the user's settings file and the Safe Harbor folder list:
// $DISKWELL_CONFIG_DIR when it is set and not empty (tests, portable use), else
// $XDG_CONFIG_HOME/diskwell when $XDG_CONFIG_HOME is an absolute path, else
// ~/.config/diskwell. Returned as an absolute, clean path without a trailing "/".
// Nothing is created here; writers create the folder when they first write.
QString settingsFolder();

// The user's settings file: settingsFolder() + "/registry.ini".
QString userSettingsFilePath();

// The machine's read-only settings file: $DISKWELL_MACHINE_CONFIG when it is set and
// not empty, else /etc/xdg/diskwell/registry.ini.
QString machineSettingsFilePath();

// One INI file that stands in for a registry tree. A section is a key path as the
// registry writes it ("Software\Brightwater Systems\Diskwell\3.0\ZipFile",
// "diskwell.ini\frmDups"); its values are named texts. Section and value names are
// matched without regard to case, as registry names are; a write to an existing name
// keeps the spelling already stored.
//
// The object only holds the file's path: every call opens, reads and closes the file,
// so nothing is cached and changes made by another running copy are seen at once.
//
// Only a regular file (or a link to one) is ever read: the file is opened without
// waiting (a FIFO in its place never blocks) and anything but a regular file reads as
// unreadable.
//
// Reading never fails: a missing, unreadable or malformed file reads as "absent" for
// whatever cannot be parsed (checkedValues tells an unreadable or damaged file apart).
// Lines that are not valid UTF-8, hold a NUL, have no "=", or stand before any section
// header are ignored; after a malformed section header ("[name" without "]", "[]") the
// lines up to the next good header are ignored; a section that appears twice is one
// section, and of a value that appears twice the last one counts. Only the first 16 MiB
// of a file are read. A file saved as UTF-16 with its byte-order mark is read as its
// text (platform::textFileAsUtf8); one that cannot be read so is unreadable.
//
// Writing locks the file against other writers (a lock file beside it, waited for up
// to 10 s), reads it afresh, changes the values and replaces the whole file atomically
// (a temporary file renamed over it), so a crash never leaves a torn file and two
// running copies never lose each other's values. A file holding a line that cannot be
// read as written (checkedValues names it) is never rewritten: the write fails and the
// file stays as it is, so a damaged line that may protect files is not dropped. The
// rewritten file holds every value; comments are not kept.
//
// File format: UTF-8, "\n" line ends ("\r\n" read too), "[section]" headers and
// "name=value" lines, blanks around names and values ignored, lines beginning with ";"
// or "#" are comments. In values, "\\", "\n", "\r", "\t", "\xHH" stand for a
// backslash and control characters and "\s" for a blank at either end, so every text
// round-trips exactly. In section and value names, "%HH" stands for the characters
// that would break the format ("%", "=", "[", "]", ";", "#", control characters, a
// blank at either end); a section name's backslashes stay as they are.
class SettingsFile {
public:
    using Value = std::pair<QString, QString>;  // name, text

    explicit SettingsFile(QString path);

    // The user's file (userSettingsFilePath()) and the machine's file
    // (machineSettingsFilePath()); the program only ever reads the machine's file.
    static SettingsFile user();
    static SettingsFile machine();

    const QString& path() const { return path_; }

    // The text of `name` in `section`; std::nullopt when the file, the section or the
    // value is missing or cannot be read. An empty text is a present value.
    std::optional<QString> value(const QString& section, const QString& name) const;

    // Every value of `section` in file order; empty when the section is missing.
    QList<Value> values(const QString& section) const;

    // True when the section is present (it may hold no values).
    bool hasSection(const QString& section) const;

    // values() for what protects files, where an unreadable file must not read as an
    // empty one: the values of `section` (empty when the file or the section is
    // missing), or std::nullopt with `error` (when given) set to "The settings file
    // PATH cannot be read: REASON" when the file exists but cannot be read, is not a
    // regular file (REASON "it is not a regular file"), is larger than 16 MiB ("it is
    // larger than 16 MiB"), or holds a line that cannot be read as written, anywhere in
    // the file (it could be one of the section's, or its header): REASON names the first
    // such line, "its line N holds a NUL byte", "... is not valid UTF-8", "... is a
    // damaged section header", "... is not a \"name=value\" line" or "... belongs to no
    // section".
    std::optional<QList<Value>> checkedValues(const QString& section,
                                              QString* error = nullptr) const;

    // Stores `text` as `name` in `section`, creating the folder, the file and the
    // section as needed. Returns false, leaving the file as it was, when the lock could
    // not be taken, the existing file cannot be read or holds a damaged line (writing
    // would lose what it holds), the result would exceed 16 MiB, or the new file could not be
    // written. An empty section or value name is refused (false).
    bool setValue(const QString& section, const QString& name, const QString& text);

    // Stores several values of one section in one atomic write: either all of them
    // are stored or none. Same failures as setValue.
    bool setValues(const QString& section, const QList<Value>& values);

    // One read-modify-write of `section` under the file's lock, so that concurrent
    // updates (several running copies adding to a total) add up: `change` receives the
    // section's values as read under the lock (empty when missing) and returns the
    // values to store, which are then written as setValues writes them. `change` runs
    // only under the lock, at most once. Same failures as setValue (an empty value name
    // among those returned too); on failure nothing changed.
    bool update(const QString& section,
                const std::function<QList<Value>(const QList<Value>& current)>& change);

private:
    QString path_;
};

}  // namespace dw::platform
