#include "safety/share_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSet>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "platform/block_sharing.h"
#include "platform/block_usage.h"
#include "platform/file_remover.h"

namespace dw {

namespace {

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString reasonOf(const platform::ShareOutcome& outcome) {
    switch (outcome.code) {
        case platform::ShareCode::None:
            return {};
        case platform::ShareCode::Unsupported:
            return cannotShareText();
        case platform::ShareCode::OtherVolume:
            return QStringLiteral("it is on another volume than the file it would share with");
        case platform::ShareCode::Differs:
            return QStringLiteral(
                "its contents differ from those of the file it would share "
                "with");
        case platform::ShareCode::SameFile:
            return QStringLiteral("it is the file it would share with");
        case platform::ShareCode::NotRegular:
            return QStringLiteral("it is not a regular file");
        case platform::ShareCode::Refused:
            return QStringLiteral("the system refused: ") + systemText(outcome.error);
    }
    return {};
}

// The bytes of the file open in `fd` that are its own: allocated less shared. nullopt
// when the file system does not say which blocks are shared.
std::optional<qint64> ownBytes(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    const qint64 allocated = qint64(st.st_blocks) * 512;
    const auto extents = platform::BlockUsage::extents(fd);
    if (!extents) {
        return std::nullopt;
    }
    return allocated - platform::BlockUsage::sharedBytes(*extents, allocated);
}

// True when the path still leads to the file `expected` found (its folder and itself).
bool stillThere(platform::FileRemover& remover, const QByteArray& path,
                const platform::FileIdentity& expected) {
    const std::optional<platform::FileIdentity> now = remover.inspect(path);
    return now && now->device == expected.device && now->inode == expected.inode &&
           now->folderDevice == expected.folderDevice && now->folderInode == expected.folderInode;
}

class ShareRun {
public:
    explicit ShareRun(const CleanRunHooks& hooks) : hooks_(hooks) {}

    CleanRunSummary run(const QList<SharePair>& pairs) {
        summary_.files = pairs.size();
        // Every file and twin is checked before any is acted on, as in the other runs.
        std::vector<Checked> checks;
        checks.reserve(size_t(pairs.size()));
        for (const SharePair& pair : pairs) {
            Checked c;
            c.file = remover_.inspect(pair.file, &c.fileReason);
            c.twin = remover_.inspect(pair.twin, &c.twinReason);
            checks.push_back(std::move(c));
        }
        for (qsizetype i = 0; i < pairs.size(); ++i) {
            if (hooks_.starting) {
                hooks_.starting(i, pairs[i].file);
            }
            CleanFileResult r;
            r.path = pairs[i].file;
            r.index = i;
            shareOne(pairs[i], checks[size_t(i)], r);
            if (hooks_.fileDone) {
                hooks_.fileDone(r);
            }
        }
        return summary_;
    }

private:
    struct Checked {
        std::optional<platform::FileIdentity> file;
        std::optional<platform::FileIdentity> twin;
        QString fileReason;
        QString twinReason;
    };

    static QString twinText(const QString& reason) {
        return QStringLiteral("the file it would share with: ") + reason;
    }

    void shareOne(const SharePair& pair, const Checked& c, CleanFileResult& r) {
        if (!c.file) {
            r.reason = c.fileReason;
            return;
        }
        if (!c.twin) {
            r.reason = twinText(c.twinReason);
            return;
        }
        if (!c.file->isRegular || !c.twin->isRegular) {
            r.reason = reasonOf({platform::ShareCode::NotRegular});
            return;
        }
        if (c.file->device != c.twin->device) {
            r.reason = reasonOf({platform::ShareCode::OtherVolume});
            return;
        }
        if (!usage_.mayShare(pair.file, c.file->device)) {
            r.reason = cannotShareText();
            return;
        }
        if (hooks_.checked) {
            hooks_.checked(r.index, pair.file);
        }
        QString why;
        const platform::UniqueFd twinFd = remover_.openForReading(pair.twin, *c.twin, &why);
        if (!twinFd) {
            r.reason = twinText(why);
            r.code = remover_.lastCode();
            return;
        }
        const platform::UniqueFd fileFd = remover_.openForReading(pair.file, *c.file, &why);
        if (!fileFd) {
            r.reason = why;
            r.code = remover_.lastCode();
            return;
        }
        const std::optional<qint64> before = ownBytes(fileFd.get());
        const platform::ShareOutcome outcome = platform::shareBlocks(twinFd.get(), fileFd.get());
        if (outcome.code != platform::ShareCode::None) {
            r.reason = reasonOf(outcome);
            return;
        }
        // The call went through the descriptors; the names must still lead to them, or
        // the files the user sees are not the ones that were shared.
        if (!stillThere(remover_, pair.file, *c.file)) {
            r.reason = platform::FileRemover::replacedFileText();
            r.code = platform::RemoveCode::ReplacedFile;
            return;
        }
        if (!stillThere(remover_, pair.twin, *c.twin)) {
            r.reason = twinText(platform::FileRemover::replacedFileText());
            r.code = platform::RemoveCode::ReplacedFile;
            return;
        }
        const std::optional<qint64> after = ownBytes(fileFd.get());
        r.done = true;
        r.size = (before && after) ? std::max<qint64>(*before - *after, 0) : 0;
        ++summary_.doneCount;
        summary_.doneBytes += r.size;
    }

    const CleanRunHooks& hooks_;
    platform::FileRemover remover_;
    platform::BlockUsage usage_;
    CleanRunSummary summary_;
};

// True when the regular files open in `a` and `b` (of equal sizes) hold the same bytes.
bool sameBytes(int a, int b) {
    constexpr qint64 kBlock = 1024 * 1024;
    QByteArray left(kBlock, Qt::Uninitialized);
    QByteArray right(kBlock, Qt::Uninitialized);
    for (off_t offset = 0;; offset += kBlock) {
        const ssize_t n = ::pread(a, left.data(), size_t(kBlock), offset);
        const ssize_t m = ::pread(b, right.data(), size_t(kBlock), offset);
        if (n < 0 || n != m) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (std::memcmp(left.constData(), right.constData(), size_t(n)) != 0) {
            return false;
        }
    }
}

platform::UniqueFd openRegular(const QByteArray& path, struct stat& st) {
    // O_NONBLOCK: a FIFO given by mistake must not wait for a writer.
    platform::UniqueFd fd(
        ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return {};
    }
    return fd;
}

}  // namespace

QList<SharePair> pairIdenticalFiles(const QList<QByteArray>& files) {
    struct Listed {
        QByteArray path;
        quint64 inode = 0;
    };
    // Per device and size, the first file of each set of identical bytes; reopened for
    // each comparison (and only while it is still that file) rather than held open, so a
    // long list cannot run out of descriptors.
    std::map<std::pair<quint64, qint64>, std::vector<Listed>> firsts;
    QSet<std::pair<quint64, quint64>> seen;
    QList<SharePair> pairs;
    for (const QByteArray& path : files) {
        struct stat st {};
        platform::UniqueFd fd = openRegular(path, st);
        if (!fd || seen.contains({quint64(st.st_dev), quint64(st.st_ino)})) {
            continue;
        }
        seen.insert({quint64(st.st_dev), quint64(st.st_ino)});
        std::vector<Listed>& sets = firsts[{quint64(st.st_dev), qint64(st.st_size)}];
        const auto twin = std::find_if(sets.begin(), sets.end(), [&](const Listed& first) {
            struct stat fst {};
            const platform::UniqueFd firstFd = openRegular(first.path, fst);
            return firstFd && fst.st_dev == st.st_dev && quint64(fst.st_ino) == first.inode &&
                   fst.st_size == st.st_size && sameBytes(firstFd.get(), fd.get());
        });
        if (twin != sets.end()) {
            pairs.append({path, twin->path});
        } else {
            sets.push_back({path, quint64(st.st_ino)});
        }
    }
    return pairs;
}

QString cannotShareText() {
    return QStringLiteral("its file system cannot share blocks between files");
}

CleanRunSummary shareFiles(const QList<SharePair>& pairs, const CleanRunHooks& hooks) {
    return ShareRun(hooks).run(pairs);
}

}  // namespace dw
