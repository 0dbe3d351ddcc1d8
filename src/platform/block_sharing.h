#pragma once

#include <QtGlobal>

namespace dw::platform {

// Why the blocks of two files could not be shared.
enum class ShareCode {
    None,         // the whole file now shares the blocks of its twin
    Unsupported,  // the volume cannot share blocks (EOPNOTSUPP, EINVAL, ENOTTY)
    OtherVolume,  // the two files are on different volumes (EXDEV, or different devices)
    Differs,      // the kernel compared the bytes and found them different, or the sizes differ
    SameFile,     // both descriptors are the same file
    NotRegular,   // one of them is not a regular file
    Refused,      // the kernel said no (EPERM, EACCES, ETXTBSY, EBUSY...): `error` says why
};

struct ShareOutcome {
    ShareCode code = ShareCode::None;
    int error = 0;     // the errno behind Unsupported, OtherVolume and Refused; else 0
    qint64 bytes = 0;  // the bytes the kernel said it made shared (all of them on success)
};

// Makes the regular file open in `fileFd` use the very blocks of the regular file open
// in `twinFd` over its whole length, through the kernel's dedupe call (FIDEDUPERANGE),
// which locks both files, compares their bytes itself and remaps only when they are
// equal. Nothing else of either file changes: names, owners, modes, times and bytes stay.
// Both descriptors may be opened read-only: the kernel lets root, the file's owner and
// anyone who may write it dedupe into it; anyone else gets Refused (EPERM).
//
// The call is made in chunks (some kernels dedupe at most 16 MiB per call); a file whose
// bytes differ from the twin's anywhere gives Differs, possibly after its first chunks
// were shared (harmless: those bytes were equal). Files of different sizes give Differs
// without a call. An empty file shares nothing and succeeds.
ShareOutcome shareBlocks(int twinFd, int fileFd);

}  // namespace dw::platform
