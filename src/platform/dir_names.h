#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <memory>

namespace dw::platform {

// What a folder listing says about an entry before anything is stat'ed. Most file
// systems record the type in the listing; some do not, and then it is Unknown and only a
// stat can tell.
enum class NameType {
    Folder,   // a real directory (a symbolic link is never one)
    Regular,  // a regular file
    Other,    // a symbolic link, FIFO, socket or device
    Unknown,  // not recorded in the listing: stat the entry to know
};

// Lists the names of the folder open in a descriptor that the caller owns (a DirReader's
// `fd()`), with the listing's type of each entry, without stat'ing anything. A walk uses
// it to find the subfolders and the wanted files of a large folder cheaply, and stats
// only the entries it keeps (DirReader::stat).
//
// The listing moves the descriptor's read position, which it shares with everything
// else reading that descriptor: list a folder with one DirNames at a time, and `start`
// again after anything else has read it. Owns only a read buffer; movable, not copyable.
class DirNames {
public:
    DirNames();
    ~DirNames();
    DirNames(DirNames&& other) noexcept;
    DirNames& operator=(DirNames&& other) noexcept;
    DirNames(const DirNames&) = delete;
    DirNames& operator=(const DirNames&) = delete;

    // Starts listing the folder open in `fd` at `position`: 0 for its beginning, or a
    // `tell()` of an earlier listing of the same folder (also through another descriptor
    // of it) to go on after the entry it had reached. Returns false and sets `error()`
    // when the descriptor cannot be positioned (closed, not a folder).
    bool start(int fd, qint64 position = 0);

    // Fills `name` (native bytes, overwritten in place so a loop allocates nothing while
    // nobody keeps a copy) and `type` with the next entry and returns true; "." and ".."
    // are never reported. Returns false at the end of the folder (`error()` 0) or when
    // reading failed (`error()` set), and before any `start`.
    bool next(QByteArray& name, NameType& type);

    // The position after the last entry reported (`start`'s position before the first).
    qint64 tell() const { return position_; }

    // The errno of the last failed start or read, 0 otherwise.
    int error() const { return error_; }

    // Frees the read buffer and forgets the descriptor; `start` again before `next`.
    // For walks that keep many suspended listings and must bound their memory.
    void release();

private:
    bool fill();

    int fd_ = -1;
    int error_ = 0;
    std::unique_ptr<char[]> buffer_;
    int length_ = 0;
    int offset_ = 0;
    bool atEnd_ = true;
    qint64 position_ = 0;
};

}  // namespace dw::platform
