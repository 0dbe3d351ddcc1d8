#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

struct sqlite3;

// The scan history: the folder sums of earlier scans, kept in one SQLite file so that a
// later scan of the same root can tell what grew. Plain SQL, schema version in
// `PRAGMA user_version`:
//   scans   (id, root BLOB, volume BLOB, time, options, allocated, apparent, files, folders)
//   paths   (id, path BLOB UNIQUE)            each folder path stored once, exact bytes
//   folders (scan, path, allocated, apparent, files, latest_access)  one row per folder
// The file is written in WAL mode; every scan is saved in one transaction, so a process
// killed during a save leaves the earlier scans as they were.
namespace dw {

// One folder of a scan, as recorded.
struct HistoryFolder {
    QByteArray path;          // native bytes, exactly as walked
    qint64 allocated = 0;     // bytes its counted files take on the disk
    qint64 apparent = 0;      // the counted files' sizes
    qint64 files = 0;         // the counted files
    qint64 latestAccess = 0;  // seconds since 1970 (UTC) of the latest last access; 0: none

    bool operator==(const HistoryFolder&) const = default;
};

// One recorded scan.
struct HistoryScan {
    qint64 id = 0;      // given by record(); ignored when recording
    QByteArray root;    // the folder scanned, native bytes
    QByteArray volume;  // the volume holding it, as the caller names it (may be empty)
    qint64 time = 0;    // seconds since 1970 (UTC)
    QString options;    // how it was scanned ("main", "all"); only scans of equal options compare
    // The totals over its folders (filled in by record() from the folders given).
    qint64 allocated = 0;
    qint64 apparent = 0;
    qint64 files = 0;
    qint64 folders = 0;
};

// The user's choices about the history (settings section "History").
struct HistorySettings {
    bool record = true;  // whether finished scans are recorded
    int keptScans = 20;  // scans kept per root, at least 1
};

// The settings as stored, with their defaults for what is missing or out of range.
HistorySettings readHistorySettings();

// What opening or using the history came to.
enum class HistoryStatus {
    Ok,
    // The file or its folder could not be made, opened, read or written (permissions, a
    // full disk, another process holding it past the busy timeout). The file is left.
    Unavailable,
    // The file was not a database, was truncated or damaged, or was another program's
    // database (schema version 0 with tables in it): it was moved aside (renamed
    // beside itself, never overwritten or deleted) and a new, empty history started.
    MovedAside,
    // The file was written by a newer version (a higher schema version): it is left as it
    // is and nothing is recorded in it.
    NewerSchema,
};

class ScanHistory {
public:
    // The schema version this build writes and reads.
    static constexpr int kSchemaVersion = 1;
    // How many scans of one root are kept by default; older ones are pruned.
    static constexpr int kDefaultKeptScans = HistorySettings{}.keptScans;
    // How long a save waits for another process's save before giving up.
    static constexpr int kBusyTimeoutMs = 10000;

    // "$XDG_DATA_HOME/diskwell/history.sqlite" ($XDG_DATA_HOME when absolute, else
    // "~/.local/share").
    static QByteArray defaultFile();

    // Nothing is opened until open().
    explicit ScanHistory(QByteArray file);
    ~ScanHistory();
    ScanHistory(const ScanHistory&) = delete;
    ScanHistory& operator=(const ScanHistory&) = delete;

    // Opens the file, making it and its folder when missing and migrating an older
    // schema. Returns Ok, or the problem, with errorText() saying it in one sentence;
    // after MovedAside the history is open (and empty) and movedAsideTo() names where the
    // old file went. After Unavailable or NewerSchema the history is closed: record()
    // does nothing and the readers return nothing.
    HistoryStatus open();
    bool isOpen() const { return db_ != nullptr; }
    const QByteArray& file() const { return file_; }
    const QString& errorText() const { return error_; }
    const QByteArray& movedAsideTo() const { return movedTo_; }

    // Saves `scan` with `folders` in one transaction and then keeps only the newest
    // `keptScans` scans of its root (at least 1). `progress`, when set, is called after
    // every 4,096 folders written, inside the transaction. Returns the new scan's id, or
    // nullopt when nothing was saved (errorText() says why; a damaged file found here is
    // moved aside as by open() and the scan is not saved).
    std::optional<qint64> record(const HistoryScan& scan, const QList<HistoryFolder>& folders,
                                 int keptScans = kDefaultKeptScans,
                                 const std::function<void()>& progress = {});

    // The scans of `root` (every scan when empty), newest first (by time, then id).
    QList<HistoryScan> scans(const QByteArray& root = {});
    // One scan; nullopt when there is no such scan.
    std::optional<HistoryScan> scan(qint64 id);
    // The folders of scan `id`, in path byte order; empty for an unknown scan.
    QList<HistoryFolder> folders(qint64 id);

    // Clears the whole history (every scan and path). False, with errorText(), when it
    // could not be written.
    bool forget();

private:
    HistoryStatus openFile();
    HistoryStatus migrate();
    HistoryStatus moveAside(const QString& reason);
    // After a failed call that gave `code`: moves a damaged file aside, else says the
    // file could not be `what` ("read", "written") and closes it.
    HistoryStatus giveUp(int code, const QString& what);
    void fail(const QString& what);
    bool exec(const char* sql);
    void close();

    QByteArray file_;
    sqlite3* db_ = nullptr;
    QString error_;
    QByteArray movedTo_;
};

}  // namespace dw
