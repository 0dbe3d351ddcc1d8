#pragma once

// Helpers shared by the archive tests: file contents, other tools' view of an archive,
// and archives crafted entry by entry (names and types our writer would never make).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace dw::test {

// The bytes of the file at `path`, or nullopt when it cannot be read.
std::optional<QByteArray> readBytes(const QByteArray& path);

// `size` bytes that deflate well (lines of words) and `size` bytes that do not.
QByteArray textBytes(qint64 size, int seed = 1);
QByteArray randomBytes(qint64 size, int seed = 1);

// A program's exit status and output.
struct ProgramRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};
ProgramRun runProgram(const QString& program, const QStringList& args,
                      const QByteArray& input = {});

// Python's zipfile view of an archive: one line per entry, "NAME_HEX METHOD SIZE
// COMPSIZE MODE_OCTAL", then "comment COMMENT_HEX" and "testzip OK" when every CRC
// checks. Names come back as the exact stored bytes (hex).
struct PythonEntry {
    QByteArray name;
    int method = -1;
    qint64 size = 0;
    qint64 compressedSize = 0;
    unsigned mode = 0;
};
struct PythonView {
    bool ok = false;  // python ran and read the archive
    QList<PythonEntry> entries;
    QByteArray comment;
    bool crcOk = false;
    QString failure;
};
PythonView pythonZipView(const QByteArray& archivePath);

// One entry of a crafted archive.
struct CraftedEntry {
    CraftedEntry(QByteArray n, QByteArray d, unsigned mode = 0100644, QByteArray pw = {})
        : name(std::move(n)), data(std::move(d)), unixMode(mode), password(std::move(pw)) {}
    QByteArray name;
    QByteArray data;
    unsigned unixMode = 0100644;  // type and permission bits; 0 records none
    QByteArray password;          // non-empty: encrypted (traditional PKWARE)
};
// Writes an archive holding exactly `entries` (stored names as given) with libzip.
bool craftArchive(const QByteArray& path, const QList<CraftedEntry>& entries);

}  // namespace dw::test
