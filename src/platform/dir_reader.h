#pragma once

#include <QByteArray>

#include <optional>

#include "platform/dir_entry.h"
#include "platform/dir_names.h"

namespace dw::platform {

// Reads the entries of one folder through its own descriptor, without changing the
// current folder and without following links.
//
// Every entry is stat'ed relative to the folder's descriptor with no link followed and
// no automount triggered, so a symbolic link is reported as itself (a system entry,
// never a folder), and the attributes, size, times and identity are those of the entry.
// "." and ".." are never reported.
//
// A reader owns its descriptor and a small read buffer; it can be moved, not copied.
// Opening a child relative to `fd()` keeps a walk correct when folders above it are
// renamed or replaced while it runs.
class DirReader {
public:
    DirReader() = default;
    ~DirReader();
    DirReader(DirReader&& other) noexcept;
    DirReader& operator=(DirReader&& other) noexcept;
    DirReader(const DirReader&) = delete;
    DirReader& operator=(const DirReader&) = delete;

    // Opens the folder at `path` (absolute, or relative to the current folder), closing
    // whatever was open before. Trailing "/" are ignored, so the last component is never
    // followed when it is a link: a link to a folder fails (ELOOP or ENOTDIR), as does
    // anything that is not a directory. Links in earlier components are resolved by the
    // kernel as usual. Returns false and sets `error()` to the errno when it cannot open;
    // true and `error()` 0 otherwise. An empty path fails with ENOENT.
    bool open(const QByteArray& path);

    // Opens the entry `name` of the folder open in `parentFd` (a descriptor such as a
    // reader's `fd()`; AT_FDCWD means the current folder). `name` should be one
    // component: the last component is never followed, earlier ones would be. Failure
    // as for `open`; EMFILE/ENFILE tell the caller it is out of descriptors and may
    // reopen by path later.
    bool openAt(int parentFd, const QByteArray& name);
    bool openAt(const DirReader& parent, const QByteArray& name) {
        return openAt(parent.fd(), name);
    }

    // Closes the folder; the reader can be opened again. Safe to call when closed.
    void close();

    bool isOpen() const { return fd_ >= 0; }

    // The open folder's descriptor, owned by the reader (valid until `close`, the next
    // open or destruction), or -1 when nothing is open.
    int fd() const { return fd_; }

    // The errno of the last failed open or read, 0 when the last one succeeded or the
    // folder was read to its end.
    int error() const { return error_; }

    // Fills `entry` with the next entry and returns true; returns false at the end of
    // the folder (error() 0) or when reading failed (error() set). The order is the
    // file system's. `entry.name` is overwritten in place, so reusing one DirEntry for
    // a whole folder allocates nothing per entry unless the caller keeps a copy of the
    // name. Entries that vanish between the read and the stat, or cannot be stat'ed at
    // all (a folder with read but no search permission), are left out.
    bool next(DirEntry& entry);

    // Stats the entry `name` of the open folder without following it, as `next` would
    // report it. Returns false with errno set when it cannot (no such entry, closed).
    // The name is copied into `entry.name`'s own buffer, never shared with `name`.
    bool stat(const QByteArray& name, DirEntry& entry) const;

    // Stats the open folder itself (its name left empty): for the device a walk must
    // not leave, checked on the folder really opened rather than on its path.
    bool statFolder(DirEntry& entry) const;

    // The position after the last entry returned (0 before the first), to resume a
    // folder after reopening it by path: open, then `seek(tell())` of the old reader.
    qint64 tell() const { return fd_ >= 0 ? names_.tell() : 0; }
    bool seek(qint64 position);

private:
    bool adopt(int fd);
    void closeDescriptor();

    int fd_ = -1;
    int error_ = 0;
    DirNames names_;  // the listing of fd_
};

// The entry at `path`, not followed when it is a link, or nullopt when it cannot be
// stat'ed. Its name is the last component of the path ("/" for the root). Trailing "/"
// are ignored, so a link named with a trailing "/" is still reported as itself.
std::optional<DirEntry> statPath(const QByteArray& path);

}  // namespace dw::platform
