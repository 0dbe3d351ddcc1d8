#pragma once

#include "platform/file_remover.h"

namespace dw {

// Whether a trash run goes on after a file could not be trashed (or could not be
// checked) for `code`. True when the fault is that one file's: it or its folder was
// replaced, it changed, a folder on its path became a symbolic link after the check,
// another program has it open for writing (RemoveCode::InUse), it is a mount point (a
// bind-mounted file) or lies in the trash; the next file may well go. False for
// everything else, and above all when the trash itself refused
// (RemoveCode::TrashRefused, TrashFull): a trash that cannot take one file cannot
// take the next ones, so the run stops there and the files after it stay. The one rule
// of every trash run (the deletion panel, `diskwell-cli clean`, the folder clean).
bool trashRunGoesOnAfter(platform::RemoveCode code);

// The message of a file a trash run could not trash: `cause` (what went wrong, with the
// file's name) first, then "An error occurred sending files to the recycle bin.", and
// "The bin may be full." after it only when `code` says the trash's volume is full
// (RemoveCode::TrashFull): any other guess would hide the real cause.
QString trashFailureText(const QString& cause, platform::RemoveCode code);

}  // namespace dw
