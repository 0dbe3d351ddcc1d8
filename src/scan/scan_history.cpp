#include "scan/scan_history.h"

#include <QDateTime>
#include <QFile>

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/settings_store.h"
#include "platform/environment.h"
#include "platform/paths.h"

namespace dw {

namespace {

// Each step brings the schema from its index to the next version; a later version adds
// its step here, so a file of any older version is brought up in order.
const char* const kMigrations[] = {
    // 0 -> 1. Folder rows are keyed by (scan, path) without a rowid: a row is then only
    // its few integers, which keeps a scan of many folders small.
    "CREATE TABLE scans (id INTEGER PRIMARY KEY, root BLOB NOT NULL, volume BLOB NOT NULL,"
    " time INTEGER NOT NULL, options TEXT NOT NULL, allocated INTEGER NOT NULL,"
    " apparent INTEGER NOT NULL, files INTEGER NOT NULL, folders INTEGER NOT NULL);"
    "CREATE INDEX scans_by_root ON scans (root, time);"
    "CREATE TABLE paths (id INTEGER PRIMARY KEY, path BLOB NOT NULL UNIQUE);"
    "CREATE TABLE folders (scan INTEGER NOT NULL, path INTEGER NOT NULL,"
    " allocated INTEGER NOT NULL, apparent INTEGER NOT NULL, files INTEGER NOT NULL,"
    " latest_access INTEGER NOT NULL, PRIMARY KEY (scan, path)) WITHOUT ROWID;",
};
static_assert(std::size(kMigrations) == ScanHistory::kSchemaVersion);

constexpr int kProgressEvery = 4096;

bool isDamage(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// A prepared statement finalized with its scope.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        code_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return code_ == SQLITE_OK; }
    int code() const { return code_; }
    void bind(int i, qint64 v) { sqlite3_bind_int64(stmt_, i, v); }
    void bind(int i, const QByteArray& v) {
        // A zero-length blob must still be a blob, never NULL.
        sqlite3_bind_blob64(stmt_, i, v.constData() ? v.constData() : "", sqlite3_uint64(v.size()),
                            SQLITE_TRANSIENT);
    }
    void bindText(int i, const QString& v) {
        const QByteArray utf8 = v.toUtf8();
        sqlite3_bind_text64(stmt_, i, utf8.constData(), sqlite3_uint64(utf8.size()),
                            SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() {
        code_ = sqlite3_step(stmt_);
        return code_;
    }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    qint64 integer(int col) const { return sqlite3_column_int64(stmt_, col); }
    QByteArray blob(int col) const {
        const void* data = sqlite3_column_blob(stmt_, col);
        return QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(stmt_, col));
    }
    QString text(int col) const {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col)),
                                 sqlite3_column_bytes(stmt_, col));
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int code_ = SQLITE_OK;
};

QString fileText(const QByteArray& path) {
    return QFile::decodeName(path);
}

// Makes `folder` and its missing parents.
bool makeFolders(const QByteArray& folder) {
    struct stat st {};
    if (::stat(folder.constData(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    const QByteArray parent = platform::folderOfPath(folder);
    if (parent != folder && parent != "." && !makeFolders(parent)) {
        return false;
    }
    return ::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST;
}

bool exists(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

qint64 fileSize(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 ? qint64(st.st_size) : -1;
}

// Whether the file's header says it holds more pages than it does: SQLite only finds a
// truncated file when it reads a missing page, maybe long after, so the cut is looked
// for before the file is used. Only meaningful with no write-ahead log waiting to be
// applied, which may legitimately hold the pages the file lacks.
bool headerSaysLonger(const QByteArray& path) {
    const qint64 walSize = fileSize(path + "-wal");
    if (walSize > 0) {
        return false;
    }
    QFile f(fileText(path));
    if (!f.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray header = f.read(100);
    const qint64 size = f.size();
    if (size == 0) {
        return false;
    }
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3", 16))) {
        return false;  // SQLite itself says "not a database"
    }
    const auto byte = [&header](int i) { return quint32(quint8(header[i])); };
    qint64 pageSize = (byte(16) << 8) | byte(17);
    if (pageSize == 1) {
        pageSize = 65536;
    }
    const qint64 pages = (byte(28) << 24) | (byte(29) << 16) | (byte(30) << 8) | byte(31);
    const bool countValid = byte(24) == byte(92) && byte(25) == byte(93) && byte(26) == byte(94) &&
                            byte(27) == byte(95);
    return countValid && pages > 0 && pages * pageSize > size;
}

}  // namespace

HistorySettings readHistorySettings() {
    const SettingsStore store;
    const QString section = QString::fromLatin1(settings::kHistory);
    HistorySettings s;
    s.record = store.readInteger(section, QString::fromLatin1(settings::kHistoryRecord), 1) != 0;
    const qint64 kept =
        store.readInteger(section, QString::fromLatin1(settings::kHistoryKeptScans), s.keptScans);
    s.keptScans = int(std::clamp<qint64>(kept, 1, 1000000));
    return s;
}

QByteArray ScanHistory::defaultFile() {
    return platform::joinPath(platform::dataHomeFolder(), "diskwell/history.sqlite");
}

ScanHistory::ScanHistory(QByteArray file) : file_(std::move(file)) {}

ScanHistory::~ScanHistory() {
    close();
}

void ScanHistory::close() {
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void ScanHistory::fail(const QString& what) {
    error_ = QStringLiteral("The scan history %1 could not be %2: %3.")
                 .arg(fileText(file_), what,
                      db_ != nullptr ? QString::fromUtf8(sqlite3_errmsg(db_))
                                     : QString::fromLocal8Bit(std::strerror(errno)));
}

HistoryStatus ScanHistory::giveUp(int code, const QString& what) {
    if (isDamage(code)) {
        return moveAside(QString::fromUtf8(sqlite3_errstr(code)));
    }
    fail(what);
    close();
    return HistoryStatus::Unavailable;
}

bool ScanHistory::exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

HistoryStatus ScanHistory::open() {
    close();
    error_.clear();
    movedTo_.clear();
    if (headerSaysLonger(file_)) {
        return moveAside(QStringLiteral("it is truncated"));
    }
    return openFile();
}

HistoryStatus ScanHistory::openFile() {
    if (!makeFolders(platform::folderOfPath(file_))) {
        fail(QStringLiteral("made"));
        return HistoryStatus::Unavailable;
    }
    if (sqlite3_open_v2(file_.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        fail(QStringLiteral("opened"));
        close();
        return HistoryStatus::Unavailable;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    return migrate();
}

HistoryStatus ScanHistory::migrate() {
    int version = 0;
    {
        Statement s(db_, "PRAGMA user_version");
        const int rc = s.ok() ? s.step() : s.code();
        if (rc != SQLITE_ROW) {
            return giveUp(rc, QStringLiteral("read"));
        }
        version = int(s.integer(0));
    }
    if (version > kSchemaVersion) {
        error_ = QStringLiteral(
                     "The scan history %1 was written by a newer version of Diskwell (schema "
                     "%2; this one knows %3 and older); it was left as it is and scans are not "
                     "recorded.")
                     .arg(fileText(file_))
                     .arg(version)
                     .arg(kSchemaVersion);
        close();
        return HistoryStatus::NewerSchema;
    }
    if (version == 0) {
        // Version 0 with tables in it is some other program's database at our name: our
        // tables are never written into it.
        Statement s(db_, "SELECT count(*) FROM sqlite_master");
        const int rc = s.ok() ? s.step() : s.code();
        if (rc != SQLITE_ROW) {
            return giveUp(rc, QStringLiteral("read"));
        }
        if (s.integer(0) > 0) {
            return moveAside(QStringLiteral("it holds another program's tables"));
        }
    }
    // The journal mode is kept in the file; asked only once the file is known to be ours.
    if (!exec("PRAGMA journal_mode=WAL")) {
        return giveUp(sqlite3_extended_errcode(db_), QStringLiteral("opened"));
    }
    exec("PRAGMA synchronous=NORMAL");
    if (version == kSchemaVersion) {
        return HistoryStatus::Ok;
    }
    if (!exec("BEGIN IMMEDIATE")) {
        return giveUp(sqlite3_extended_errcode(db_), QStringLiteral("written"));
    }
    // Another process may have migrated it between the first look and the lock.
    int current = version;
    {
        Statement s(db_, "PRAGMA user_version");
        if (s.ok() && s.step() == SQLITE_ROW) {
            current = int(s.integer(0));
        }
    }
    bool ok = true;
    for (int v = current; ok && v < kSchemaVersion; ++v) {
        ok = exec(kMigrations[v]);
    }
    if (ok && current < kSchemaVersion) {
        ok = exec(
            QByteArray("PRAGMA user_version=" + QByteArray::number(kSchemaVersion)).constData());
    }
    if (!ok || !exec("COMMIT")) {
        // Closing rolls the migration back.
        return giveUp(sqlite3_extended_errcode(db_), QStringLiteral("written"));
    }
    return HistoryStatus::Ok;
}

HistoryStatus ScanHistory::moveAside(const QString& reason) {
    close();
    // A name that is free, so nothing earlier moved aside is overwritten.
    const QByteArray stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss")).toUtf8();
    QByteArray target = file_ + ".damaged-" + stamp;
    for (int n = 2; exists(target) || exists(target + "-wal"); ++n) {
        target = file_ + ".damaged-" + stamp + "-" + QByteArray::number(n);
    }
    if (::rename(file_.constData(), target.constData()) != 0) {
        error_ = QStringLiteral(
                     "The scan history %1 is damaged (%2) and could not be moved "
                     "aside: %3; scans are not recorded.")
                     .arg(fileText(file_), reason, QString::fromLocal8Bit(std::strerror(errno)));
        return HistoryStatus::Unavailable;
    }
    // Its log and shared memory go with it: left behind, they would be read as the new
    // file's.
    for (const char* suffix : {"-wal", "-shm"}) {
        if (exists(file_ + suffix)) {
            ::rename((file_ + suffix).constData(), (target + suffix).constData());
        }
    }
    movedTo_ = target;
    const HistoryStatus fresh = openFile();
    if (fresh != HistoryStatus::Ok) {
        return fresh;
    }
    error_ = QStringLiteral(
                 "The scan history %1 was damaged (%2); it was moved to %3 and a new "
                 "history was started.")
                 .arg(fileText(file_), reason, fileText(target));
    return HistoryStatus::MovedAside;
}

std::optional<qint64> ScanHistory::record(const HistoryScan& scan,
                                          const QList<HistoryFolder>& folders, int keptScans,
                                          const std::function<void()>& progress) {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    HistoryScan totals = scan;
    totals.allocated = totals.apparent = totals.files = 0;
    totals.folders = folders.size();
    for (const HistoryFolder& f : folders) {
        totals.allocated += f.allocated;
        totals.apparent += f.apparent;
        totals.files += f.files;
    }
    // Immediate: the write lock is taken (or waited for) up front, so two savers never
    // both read and then find they cannot upgrade.
    if (!exec("BEGIN IMMEDIATE")) {
        const int rc = sqlite3_extended_errcode(db_);
        if (isDamage(rc)) {
            moveAside(QString::fromUtf8(sqlite3_errstr(rc)));
        } else {
            fail(QStringLiteral("written"));
        }
        return std::nullopt;
    }
    const auto rollback = [this]() {
        const int rc = sqlite3_extended_errcode(db_);
        const QString why = QString::fromUtf8(sqlite3_errstr(rc));
        fail(QStringLiteral("written"));
        exec("ROLLBACK");
        if (isDamage(rc)) {
            moveAside(why);
        }
        return std::nullopt;
    };
    qint64 scanId = 0;
    {
        Statement s(db_,
                    "INSERT INTO scans (root, volume, time, options, allocated, apparent, files,"
                    " folders) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        if (!s.ok()) {
            return rollback();
        }
        s.bind(1, totals.root);
        s.bind(2, totals.volume);
        s.bind(3, totals.time);
        s.bindText(4, totals.options);
        s.bind(5, totals.allocated);
        s.bind(6, totals.apparent);
        s.bind(7, totals.files);
        s.bind(8, totals.folders);
        if (s.step() != SQLITE_DONE) {
            return rollback();
        }
        scanId = sqlite3_last_insert_rowid(db_);
    }
    {
        // Most paths are known from the scan before: looked up first, so a known path
        // costs a read, not a write.
        Statement known(db_, "SELECT id FROM paths WHERE path = ?");
        Statement added(db_, "INSERT INTO paths (path) VALUES (?)");
        Statement row(db_,
                      "INSERT OR REPLACE INTO folders (scan, path, allocated, apparent, files,"
                      " latest_access) VALUES (?, ?, ?, ?, ?, ?)");
        if (!known.ok() || !added.ok() || !row.ok()) {
            return rollback();
        }
        qint64 written = 0;
        for (const HistoryFolder& f : folders) {
            known.bind(1, f.path);
            const int found = known.step();
            qint64 pathId = found == SQLITE_ROW ? known.integer(0) : 0;
            known.reset();
            if (found == SQLITE_DONE) {
                added.bind(1, f.path);
                if (added.step() != SQLITE_DONE) {
                    return rollback();
                }
                added.reset();
                pathId = sqlite3_last_insert_rowid(db_);
            } else if (found != SQLITE_ROW) {
                return rollback();
            }
            row.bind(1, scanId);
            row.bind(2, pathId);
            row.bind(3, f.allocated);
            row.bind(4, f.apparent);
            row.bind(5, f.files);
            row.bind(6, f.latestAccess);
            if (row.step() != SQLITE_DONE) {
                return rollback();
            }
            row.reset();
            if (progress && ++written % kProgressEvery == 0) {
                progress();
            }
        }
    }
    {
        Statement old(db_,
                      "SELECT id FROM scans WHERE root = ? ORDER BY time DESC, id DESC"
                      " LIMIT -1 OFFSET ?");
        if (!old.ok()) {
            return rollback();
        }
        old.bind(1, totals.root);
        old.bind(2, qMax(keptScans, 1));
        QList<qint64> pruned;
        int rc = SQLITE_ROW;
        while ((rc = old.step()) == SQLITE_ROW) {
            pruned.append(old.integer(0));
        }
        if (rc != SQLITE_DONE) {
            return rollback();
        }
        if (!pruned.isEmpty()) {
            Statement dropRows(db_, "DELETE FROM folders WHERE scan = ?");
            Statement dropScan(db_, "DELETE FROM scans WHERE id = ?");
            if (!dropRows.ok() || !dropScan.ok()) {
                return rollback();
            }
            for (qint64 id : pruned) {
                dropRows.bind(1, id);
                dropScan.bind(1, id);
                if (dropRows.step() != SQLITE_DONE || dropScan.step() != SQLITE_DONE) {
                    return rollback();
                }
                dropRows.reset();
                dropScan.reset();
            }
            if (!exec("DELETE FROM paths WHERE id NOT IN (SELECT path FROM folders)")) {
                return rollback();
            }
        }
    }
    if (!exec("COMMIT")) {
        return rollback();
    }
    return scanId;
}

QList<HistoryScan> ScanHistory::scans(const QByteArray& root) {
    QList<HistoryScan> result;
    if (db_ == nullptr) {
        return result;
    }
    Statement s(db_, root.isEmpty()
                         ? "SELECT id, root, volume, time, options, allocated, apparent, files,"
                           " folders FROM scans ORDER BY time DESC, id DESC"
                         : "SELECT id, root, volume, time, options, allocated, apparent, files,"
                           " folders FROM scans WHERE root = ? ORDER BY time DESC, id DESC");
    if (!s.ok()) {
        return result;
    }
    if (!root.isEmpty()) {
        s.bind(1, root);
    }
    while (s.step() == SQLITE_ROW) {
        HistoryScan h;
        h.id = s.integer(0);
        h.root = s.blob(1);
        h.volume = s.blob(2);
        h.time = s.integer(3);
        h.options = s.text(4);
        h.allocated = s.integer(5);
        h.apparent = s.integer(6);
        h.files = s.integer(7);
        h.folders = s.integer(8);
        result.append(h);
    }
    return result;
}

std::optional<HistoryScan> ScanHistory::scan(qint64 id) {
    for (const HistoryScan& h : scans()) {
        if (h.id == id) {
            return h;
        }
    }
    return std::nullopt;
}

QList<HistoryFolder> ScanHistory::folders(qint64 id) {
    QList<HistoryFolder> result;
    if (db_ == nullptr) {
        return result;
    }
    Statement s(db_,
                "SELECT p.path, f.allocated, f.apparent, f.files, f.latest_access FROM folders f"
                " JOIN paths p ON p.id = f.path WHERE f.scan = ? ORDER BY p.path");
    if (!s.ok()) {
        return result;
    }
    s.bind(1, id);
    while (s.step() == SQLITE_ROW) {
        result.append({s.blob(0), s.integer(1), s.integer(2), s.integer(3), s.integer(4)});
    }
    return result;
}

bool ScanHistory::forget() {
    if (db_ == nullptr) {
        return false;
    }
    if (!exec("BEGIN IMMEDIATE") ||
        !exec("DELETE FROM folders; DELETE FROM scans; DELETE FROM paths;") || !exec("COMMIT")) {
        fail(QStringLiteral("cleared"));
        exec("ROLLBACK");
        return false;
    }
    // The freed pages go back to the system: forgetting is also asked to take less room.
    exec("VACUUM");
    return true;
}

}  // namespace dw
