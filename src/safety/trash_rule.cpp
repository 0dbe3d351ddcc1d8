#include "safety/trash_rule.h"

namespace dw {

bool trashRunGoesOnAfter(platform::RemoveCode code) {
    using platform::RemoveCode;
    switch (code) {
        case RemoveCode::ReplacedFolder:
        case RemoveCode::ReplacedFile:
        case RemoveCode::Changed:
        case RemoveCode::LinkOnPath:
        case RemoveCode::InUse:
        // A bind-mounted file, or one in the trash already, is that file's own case.
        case RemoveCode::MountPoint:
        case RemoveCode::InTrash:
            return true;
        default:
            // A file that vanished or cannot be reached may mean the whole volume is going
            // away; the run stops rather than guess.
            return false;
    }
}

QString trashFailureText(const QString& cause, platform::RemoveCode code) {
    QString text =
        cause + QStringLiteral("\n\nAn error occurred sending files to the recycle bin.");
    if (code == platform::RemoveCode::TrashFull) {
        text += QStringLiteral("  The bin may be full.");
    }
    return text;
}

}  // namespace dw
