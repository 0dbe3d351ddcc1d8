#include "safety/archive_restore.h"

#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/paths.h"
#include "platform/posix_io.h"

namespace dw {

namespace {

constexpr qint64 kChunk = 256 * 1024;
constexpr int kPasswordAttempts = 3;

using platform::UniqueFd;

QByteArray joined(const QByteArray& root, const QList<QByteArray>& parts, qsizetype count) {
    QByteArray path = root;
    for (qsizetype i = 0; i < count; ++i) {
        path = platform::joinPath(path, parts[i]);
    }
    return path;
}

// The folders of the entry being restored, open from the root down. Entries of one
// folder usually follow each other, so the chain is kept and only its changed tail is
// reopened.
class FolderChain {
public:
    FolderChain(int rootFd, QByteArray root) : rootFd_(rootFd), root_(std::move(root)) {}
    ~FolderChain() { truncate(0); }
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;

    // The descriptor of the folder `parts[0..count)` below the root, made where missing
    // (`lastMode` for the last one when it is made, the default for the others). -1
    // with `failure` filled when it cannot be reached without following a link.
    int enter(const QList<QByteArray>& parts, qsizetype count, mode_t lastMode,
              RestoreFailure& failure) {
        qsizetype same = 0;
        while (same < count && same < static_cast<qsizetype>(chain_.size()) &&
               chain_[static_cast<size_t>(same)].first == parts[same]) {
            ++same;
        }
        truncate(same);
        for (qsizetype i = same; i < count; ++i) {
            const int parent = chain_.empty() ? rootFd_ : chain_.back().second.get();
            const QByteArray& name = parts[i];
            const mode_t mode = i + 1 == count ? lastMode : 0777;
            UniqueFd fd = openFolder(parent, name);
            if (!fd && errno == ENOENT) {
                const bool made = ::mkdirat(parent, name.constData(), mode) == 0;
                if (!made && errno != EEXIST) {
                    const int err = errno;
                    fillSystem(failure, err, joined(root_, parts, i + 1));
                    return -1;
                }
                fd = openFolder(parent, name);
                if (made && fd) {
                    giveParentsOwner(parent, fd.get());
                }
            }
            if (!fd) {
                const int err = errno;
                const QString where = QFile::decodeName(joined(root_, parts, i + 1));
                struct stat st;
                if ((err == ELOOP || err == ENOTDIR) &&
                    ::fstatat(parent, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                    failure.problem = RestoreProblem::LinkInPath;
                    failure.reason = S_ISLNK(st.st_mode)
                                         ? QStringLiteral(
                                               "The folder %1 is a symbolic link, which is not "
                                               "followed")
                                               .arg(where)
                                         : QStringLiteral("%1 is not a folder").arg(where);
                } else {
                    fillSystem(failure, err, joined(root_, parts, i + 1));
                }
                return -1;
            }
            chain_.emplace_back(name, std::move(fd));
        }
        return count == 0 ? rootFd_ : chain_.back().second.get();
    }

    static void fillSystem(RestoreFailure& failure, int err, const QByteArray& where) {
        failure.problem = RestoreProblem::System;
        failure.reason =
            QStringLiteral("%1: %2").arg(QFile::decodeName(where), platform::errnoText(err));
    }

private:
    // A folder the administrator's restore makes belongs to whoever owns the folder it
    // is made in, as if that user had made it: restoring into /home/ann must not leave
    // folders there that ann cannot write to.
    static void giveParentsOwner(int parent, int fd) {
        struct stat st;
        if (::geteuid() == 0 && ::fstat(parent, &st) == 0 && st.st_uid != 0) {
            if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
                // The folder stays the administrator's; its files still restore.
            }
        }
    }

    static UniqueFd openFolder(int parent, const QByteArray& name) {
        return UniqueFd(
            ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }

    void truncate(qsizetype keep) {
        while (static_cast<qsizetype>(chain_.size()) > keep) {
            chain_.pop_back();
        }
    }

    int rootFd_;
    QByteArray root_;
    std::vector<std::pair<QByteArray, UniqueFd>> chain_;
};

// The components of a stored name, or false when the name would leave the folder.
bool splitName(const QByteArray& name, QList<QByteArray>& parts) {
    parts.clear();
    if (name.startsWith(platform::kSep)) {
        return false;
    }
    for (const QByteArray& part : name.split(platform::kSep)) {
        if (part.isEmpty() || part == ".") {
            continue;
        }
        if (part == "..") {
            return false;
        }
        parts.append(part);
    }
    return true;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

class Restorer {
public:
    Restorer(const ArchiveReader& archive, const QByteArray& root, const RestoreHooks& hooks)
        : archive_(archive), root_(root), hooks_(hooks), umask_(currentUmask()) {}

    RestoreSummary run() {
        const QList<ArchiveEntry>& entries = archive_.entries();
        summary_.entries = entries.size();
        const UniqueFd rootFd(::open(root_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!rootFd) {
            const int err = errno;
            summary_.error = QStringLiteral("Cannot open the folder %1: %2")
                                 .arg(QFile::decodeName(root_), platform::errnoText(err));
            return summary_;
        }
        total_ = entries.size();
        for (const ArchiveEntry& e : entries) {
            total_ += e.size;
        }
        buffer_.resize(kChunk);
        {
            FolderChain chain(rootFd.get(), root_);
            for (qsizetype i = 0; i < entries.size(); ++i) {
                if (tellProgress()) {
                    summary_.stopped = true;
                    break;
                }
                if (hooks_.entryStarted) {
                    hooks_.entryStarted(i, entries[i]);
                }
                RestoreFailure failure;
                failure.index = i;
                failure.entryName = entries[i].name;
                warning_.clear();
                if (restoreOne(chain, i, entries[i], failure)) {
                    ++summary_.restored;
                    if (!warning_.isEmpty()) {
                        ++summary_.warnings;
                        failure.reason = std::exchange(warning_, QString());
                        if (hooks_.warned) {
                            hooks_.warned(failure);
                        }
                    }
                } else {
                    ++summary_.failed;
                    if (hooks_.failed) {
                        hooks_.failed(failure);
                    }
                }
                done_ += entries[i].size + 1;
            }
        }
        if (!summary_.stopped) {
            tellProgress();
        }
        return summary_;
    }

private:
    bool tellProgress() {
        if (!hooks_.progress) {
            return false;
        }
        const int percent = total_ > 0 ? static_cast<int>(done_ * 100 / total_) : 100;
        return hooks_.progress(percent);
    }

    bool restoreOne(FolderChain& chain, qsizetype index, const ArchiveEntry& entry,
                    RestoreFailure& failure) {
        QList<QByteArray> parts;
        if (!splitName(entry.name, parts)) {
            failure.problem = RestoreProblem::UnsafeName;
            failure.reason = QStringLiteral(
                "Its name leads outside the destination folder, so it is not extracted");
            return false;
        }
        if (entry.isLink || entry.isSpecial) {
            failure.problem = RestoreProblem::NotAFile;
            failure.reason =
                entry.isLink
                    ? QStringLiteral("It is a symbolic link; links are not restored")
                    : QStringLiteral("It is not a regular file or folder, so it is not restored");
            return false;
        }
        if (entry.isFolder) {
            const mode_t mode = entry.mode >= 0 ? ((entry.mode & 0777) | 0700) : 0777;
            return chain.enter(parts, parts.size(), mode, failure) >= 0;
        }
        if (parts.isEmpty()) {
            failure.problem = RestoreProblem::UnsafeName;
            failure.reason = QStringLiteral("It has no file name");
            return false;
        }
        const int dirFd = chain.enter(parts, parts.size() - 1, 0777, failure);
        if (dirFd < 0) {
            return false;
        }
        const QByteArray& name = parts.last();
        const QString where = QFile::decodeName(joined(root_, parts, parts.size()));

        // The data is opened before the file is made, so a missing password or a
        // damaged entry leaves nothing behind.
        std::unique_ptr<ArchiveEntryStream> stream = openData(index, entry, failure);
        if (!stream) {
            return false;
        }
        UniqueFd fd(::openat(dirFd, name.constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd) {
            const int err = errno;
            if (err == EEXIST) {
                failure.problem = RestoreProblem::Exists;
                failure.reason =
                    QStringLiteral("%1 already exists; it is kept as it is").arg(where);
            } else {
                FolderChain::fillSystem(failure, err, joined(root_, parts, parts.size()));
            }
            return false;
        }
        bool ok = true;
        for (;;) {
            const qint64 n = stream->read(buffer_.data(), kChunk);
            if (n < 0) {
                failure.problem =
                    stream->error().library ? RestoreProblem::Library : RestoreProblem::System;
                failure.reason = stream->error().text;
                failure.libraryError = stream->error().library;
                ok = false;
                break;
            }
            if (n == 0) {
                break;
            }
            if (!platform::writeAll(fd.get(), buffer_.data(), n)) {
                const int err = errno;
                FolderChain::fillSystem(failure, err, joined(root_, parts, parts.size()));
                ok = false;
                break;
            }
            done_ += n;
            tellProgress();
            done_ -= n;
        }
        if (ok) {
            warning_ = finishFile(fd.get(), entry);
        }
        if (fd.close() != 0 && ok) {
            const int err = errno;
            FolderChain::fillSystem(failure, err, joined(root_, parts, parts.size()));
            ok = false;
        }
        if (!ok) {
            // Only what this restore made itself is removed.
            ::unlinkat(dirFd, name.constData(), 0);
        }
        return ok;
    }

    // Gives the restored file its mode and time: an empty text, or what could not be set
    // and why. The file keeps its bytes either way: it stays as private as it was made.
    QString finishFile(int fd, const ArchiveEntry& entry) {
        if (entry.hasOwner && ::geteuid() == 0) {
            // The owner is a courtesy of the administrator's restore; a failure leaves
            // the file the administrator's, which is still readable to them.
            if (::fchown(fd, static_cast<uid_t>(entry.uid), static_cast<gid_t>(entry.gid)) != 0) {
            }
        }
        mode_t mode;
        if (entry.mode >= 0) {
            mode = static_cast<mode_t>(entry.mode) & 0777;
        } else {
            mode = (entry.readOnly ? 0444 : 0666) & ~umask_;
        }
        QStringList unset;
        if (const int err = platform::setFileMode(fd, mode)) {
            unset.append(QStringLiteral("its permissions (%1)").arg(platform::errnoText(err)));
        }
        const struct timespec times[2] = {{static_cast<time_t>(entry.mtime), 0},
                                          {static_cast<time_t>(entry.mtime), 0}};
        if (const int err = platform::setFileTimes(fd, times)) {
            unset.append(
                QStringLiteral("its modification time (%1)").arg(platform::errnoText(err)));
        }
        if (unset.isEmpty()) {
            return {};
        }
        return QStringLiteral("Restored without ") + unset.join(QStringLiteral(" and ")) +
               QStringLiteral(": its volume cannot keep them");
    }

    std::unique_ptr<ArchiveEntryStream> openData(qsizetype index, const ArchiveEntry& entry,
                                                 RestoreFailure& failure) {
        ArchiveReadError error;
        std::unique_ptr<ArchiveEntryStream> stream;
        if (!entry.encrypted) {
            stream = archive_.openEntry(index, nullptr, &error);
        } else {
            if (password_) {
                stream = archive_.openEntry(index, &*password_, &error);
            } else {
                error.needsPassword = true;
            }
            bool retry = password_.has_value();
            for (int attempt = 0; !stream && (error.needsPassword || error.wrongPassword) &&
                                  attempt < kPasswordAttempts;
                 ++attempt) {
                std::optional<QByteArray> given;
                if (hooks_.password) {
                    given = hooks_.password(entry, retry);
                }
                if (!given) {
                    failure.problem = RestoreProblem::NoPassword;
                    failure.reason = QStringLiteral("It is encrypted, and no password was given");
                    return nullptr;
                }
                stream = archive_.openEntry(index, &*given, &error);
                if (stream) {
                    password_ = given;
                }
                retry = true;
            }
        }
        if (!stream) {
            failure.problem = error.library ? RestoreProblem::Library : RestoreProblem::System;
            failure.reason = error.text;
            failure.libraryError = error.library;
        }
        return stream;
    }

    const ArchiveReader& archive_;
    QByteArray root_;
    const RestoreHooks& hooks_;
    mode_t umask_;
    RestoreSummary summary_;
    std::vector<char> buffer_;
    std::optional<QByteArray> password_;
    qint64 total_ = 0;
    qint64 done_ = 0;
    QString warning_;  // what the file just written could not be given
};

}  // namespace

RestoreSummary restoreArchive(const ArchiveReader& archive, const QByteArray& root,
                              const RestoreHooks& hooks) {
    return Restorer(archive, root, hooks).run();
}

bool makeFolders(const QByteArray& base, const QByteArray& relative, QString* error) {
    QList<QByteArray> parts;
    if (!splitName(relative, parts) || parts.isEmpty()) {
        if (error) {
            *error = QStringLiteral("\"%1\" is not a folder name below %2")
                         .arg(QFile::decodeName(relative), QFile::decodeName(base));
        }
        return false;
    }
    const UniqueFd baseFd(::open(base.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!baseFd) {
        const int err = errno;
        if (error) {
            *error = QStringLiteral("Cannot open the folder %1: %2")
                         .arg(QFile::decodeName(base), platform::errnoText(err));
        }
        return false;
    }
    RestoreFailure failure;
    bool ok;
    {
        FolderChain chain(baseFd.get(), base);
        ok = chain.enter(parts, parts.size(), 0777, failure) >= 0;
    }
    if (!ok && error) {
        *error = failure.reason;
    }
    return ok;
}

QString extractFailureText(const QByteArray& entryName, const QByteArray& archivePath) {
    return QStringLiteral("Cannot extract ") + QFile::decodeName(entryName) +
           QStringLiteral(" from ") + QFile::decodeName(archivePath);
}

QString duplicateNameWarningText(const QByteArray& entryName) {
    return QStringLiteral("Cannot move ") + QFile::decodeName(entryName) +
           QStringLiteral(". Would create a duplicate name. Ignore future warnings?");
}

}  // namespace dw
