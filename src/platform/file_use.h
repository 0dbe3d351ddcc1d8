#pragma once

#include <QByteArray>
#include <QString>

namespace dw::platform {

// Whether another program may be writing a regular file, as far as the kernel tells.
enum class FileUse {
    Free,     // nobody has it open for writing (or mapped writable)
    InUse,    // some open file description of it is open for writing
    Unknown,  // the file system or the caller's rights do not let us ask
};

// Asks the kernel, through `fd` (a descriptor of a regular file open read-only, and only
// that), whether any open file description of the same file is open for writing. The
// question is a read lease (fcntl F_SETLEASE F_RDLCK), which the kernel grants only when
// no descriptor anywhere on the machine has the file open for writing; it is given back
// (F_UNLCK) at once, before returning.
//
// What it catches:
// - a descriptor open for writing (O_WRONLY or O_RDWR), in any process, ours included;
// - a shared writable memory map (MAP_SHARED, PROT_WRITE), even after the descriptor it
//   was made from is closed: the map keeps that open file description alive;
// - a file being written by an NFS server or a loop device only where those hold an
//   open file on this kernel.
// What it does not catch:
// - readers and read-only or private maps (they cannot change the file);
// - a writer that opens the file after the question (nothing here holds it off);
// - a writer on another machine (a network file system), or one that wrote and closed.
//
// Unknown where leases are refused: a file system without them (EINVAL: NFS, many FUSE
// volumes, leases switched off by fs.leases-enable), a file the caller neither owns nor
// holds CAP_LEASE for (EACCES), or any other error. Callers then go on as if it were free.
//
// A break of the lease in the moment it is held is signalled with SIGURG (ignored unless
// the program asks for it) instead of SIGIO, whose default would end the program.
FileUse writersOf(int fd);

// The same for the entry `name` of the folder open as `folderFd`: it is opened read-only
// without following a link and without waiting (a FIFO never blocks, a file under
// another program's lease is not waited for: InUse), asked about when it is a regular
// file, and closed. Unknown when it cannot be opened or is not a regular file.
FileUse writersOfEntry(int folderFd, const QByteArray& name);

// "it is in use by another program": the reason every run gives for a file in use.
QString inUseText();

}  // namespace dw::platform
