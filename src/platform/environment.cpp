#include "platform/environment.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/paths.h"
#include "platform/volumes.h"

namespace dw::platform {

namespace {

QByteArray withoutTrailingSeparators(QByteArray path) {
    while (path.size() > 1 && path.endsWith(kSep)) {
        path.chop(1);
    }
    return path;
}

bool isFolder(const QByteArray& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QByteArray homeFromPasswordDatabase() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0) {
        size = 16384;
    }
    std::vector<char> buffer(static_cast<size_t>(size));
    struct passwd entry {};
    struct passwd* found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    return found && found->pw_dir ? QByteArray(found->pw_dir) : QByteArray();
}

}  // namespace

QList<QByteArray> splitSearchPath(const QByteArray& pathValue) {
    QList<QByteArray> folders;
    for (const QByteArray& part : pathValue.split(':')) {
        if (!part.isEmpty()) {
            folders.append(part);
        }
    }
    return folders;
}

QList<QByteArray> searchPath() {
    return splitSearchPath(qgetenv("PATH"));
}

QByteArray windowsFolder() {
    return QByteArrayLiteral("/etc");
}

QByteArray systemFolder() {
    return QByteArrayLiteral("/usr/lib");
}

QByteArray homeFolder() {
    QByteArray home = qgetenv("HOME");
    if (!home.startsWith(kSep)) {
        home = homeFromPasswordDatabase();
    }
    if (!home.startsWith(kSep)) {
        return QByteArray(kRootFolder);
    }
    return withoutTrailingSeparators(home);
}

QByteArray cacheHomeFolder() {
    const QByteArray cache = qgetenv("XDG_CACHE_HOME");
    if (cache.startsWith(kSep)) {
        return withoutTrailingSeparators(cache);
    }
    const QByteArray home = homeFolder();
    return home == kRootFolder ? QByteArray("/.cache") : home + "/.cache";
}

QByteArray dataHomeFolder() {
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.startsWith(kSep)) {
        return withoutTrailingSeparators(data);
    }
    return joinPath(homeFolder(), ".local/share");
}

QByteArray shortPath(const QByteArray& path) {
    if (path.isEmpty()) {
        return path;
    }
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved) {
        return path;
    }
    QByteArray out(resolved);
    std::free(resolved);
    return out;
}

QByteArray tempFolder() {
    const QByteArray tmp = withoutTrailingSeparators(qgetenv("TMPDIR"));
    if (tmp.startsWith(kSep) && isFolder(tmp)) {
        return tmp;
    }
    return QByteArrayLiteral("/tmp");
}

QByteArray currentFolder() {
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) {
        return {};
    }
    QByteArray out(cwd);
    std::free(cwd);
    // A folder outside the process's root comes back as "(unreachable)/...", no path.
    return out.startsWith(kSep) ? out : QByteArray();
}

QByteArray currentVolumeFolder() {
    const QByteArray cwd = currentFolder();
    if (!cwd.isEmpty()) {
        if (const std::optional<Volume> v = volumeOf(cwd)) {
            return v->mountPoint;
        }
    }
    return QByteArray(kRootFolder);
}

}  // namespace dw::platform
