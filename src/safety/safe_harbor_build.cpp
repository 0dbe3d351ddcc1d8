#include "safety/safe_harbor_build.h"

#include <QFile>

#include "base/utility.h"
#include "platform/dir_reader.h"
#include "platform/environment.h"
#include "platform/native_file.h"
#include "platform/paths.h"
#include "platform/settings_file.h"
#include "platform/volumes.h"
#include "safety/folder_list.h"

namespace dw {

namespace {

QList<QByteArray> rootsFromVariable(const char* name, QList<QByteArray> fallback) {
    if (!qEnvironmentVariableIsSet(name)) {
        return fallback;
    }
    return platform::splitSearchPath(qgetenv(name));
}

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front())) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && isBlank(text.back())) {
        text.chop(1);
    }
    return text;
}

QByteArray withoutTrailingSeparator(const QByteArray& folder) {
    QByteArray out = folder;
    while (out.size() > 1 && out.endsWith(platform::kSep)) {
        out.chop(1);
    }
    return out;
}

}  // namespace

HarborBuildRoots HarborBuildRoots::current() {
    const QByteArray home = platform::homeFolder();
    QByteArray config = qgetenv("XDG_CONFIG_HOME");
    if (!config.startsWith(platform::kSep)) {
        config = platform::joinPath(home, QByteArrayLiteral(".config"));
    }
    HarborBuildRoots roots;
    roots.machine = rootsFromVariable(
        "DISKWELL_HARBOR_MACHINE_ROOTS",
        {platform::windowsFolder(), "/usr/share/applications", "/usr/local/share/applications"});
    roots.user = rootsFromVariable(
        "DISKWELL_HARBOR_USER_ROOTS",
        {config, platform::joinPath(home, QByteArrayLiteral(".local/share/applications"))});
    return roots;
}

SafeHarborBuild::SafeHarborBuild(const QList<QByteArray>& listed) {
    for (const QByteArray& entry : listed) {
        listed_.insert(lowerAscii(entry));
    }
    setSkippedFolder(QFile::encodeName(platform::settingsFolder()));
}

void SafeHarborBuild::setSkippedFolder(const QByteArray& folder) {
    skipped_ = folder.isEmpty() ? QByteArray() : withoutTrailingSeparator(folder);
}

void SafeHarborBuild::run(const HarborBuildRoots& roots) {
    for (const QByteArray& root : roots.machine) {
        findpaths(root);
    }
    for (const QByteArray& root : roots.user) {
        findpaths(root);
    }
}

void SafeHarborBuild::findpaths(const QByteArray& root) {
    const QByteArray path = withoutTrailingSeparator(root);
    if (path.isEmpty() || (!skipped_.isEmpty() && path == skipped_)) {
        return;
    }
    platform::DirReader reader;
    platform::DirEntry self;
    if (!reader.open(path) || !reader.statFolder(self)) {
        return;
    }
    scanDepth_ = 0;
    walkFolder(reader, path, self.device);
    scanDepth_ = 0;
}

void SafeHarborBuild::walkFolder(platform::DirReader& reader, const QByteArray& path,
                                 quint64 device) {
    ++foldersEntered_;
    // Names first, then the files, then the folders: a folder's files are read before
    // anything below it, and no descriptor is held open longer than needed.
    QList<QByteArray> files;
    QList<QByteArray> folders;
    platform::DirEntry entry;
    while (reader.next(entry)) {
        if (entry.isFolder()) {
            if (entry.device == device) {
                folders.append(entry.name);
            }
        } else if (!entry.isSystem() && entry.size <= kMaxFileSize) {
            files.append(entry.name);
        }
    }
    for (const QByteArray& name : files) {
        readValues(platform::joinPath(path, name));
        if (yield_) {
            yield_();
        }
    }
    if (scanDepth_ >= kMaxDepth) {
        return;
    }
    for (const QByteArray& name : folders) {
        const QByteArray sub = platform::joinPath(path, name);
        if (!skipped_.isEmpty() && sub == skipped_) {
            continue;
        }
        platform::DirReader child;
        if (!child.openAt(reader, name)) {
            continue;
        }
        ++scanDepth_;
        walkFolder(child, sub, device);
        --scanDepth_;
    }
}

void SafeHarborBuild::readValues(const QByteArray& file) {
    QFile f;
    if (!platform::openNativeFile(f, file, QIODevice::ReadOnly)) {
        return;
    }
    // The size was checked when listed; a file that grew since is read no further.
    const QByteArray content = f.read(kMaxFileSize + 1);
    if (content.size() > kMaxFileSize ||
        QByteArrayView(content)
            .first(std::min<qsizetype>(content.size(), kTextProbeBytes))
            .contains('\0')) {
        return;
    }
    ++filesRead_;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        if (end < 0) {
            end = content.size();
        }
        const QByteArrayView line = QByteArrayView(content).sliced(start, end - start);
        // Most lines name no folder at all; only a "/" can make one.
        if (line.contains(platform::kSep)) {
            for (const QByteArray& text : valueTexts(line)) {
                testValue(text);
            }
        }
        start = end + 1;
    }
}

QList<QByteArray> SafeHarborBuild::valueTexts(QByteArrayView line) {
    QList<QByteArray> texts;
    auto add = [&texts](QByteArrayView text) {
        if (!text.isEmpty() && !texts.contains(text)) {
            texts.append(text.toByteArray());
        }
    };
    add(trimmed(line));
    if (const qsizetype equals = line.indexOf('='); equals >= 0) {
        add(trimmed(line.sliced(equals + 1)));
    }
    qsizetype from = 0;
    while (true) {
        const qsizetype open = line.indexOf('"', from);
        if (open < 0) {
            break;
        }
        const qsizetype close = line.indexOf('"', open + 1);
        if (close < 0) {
            break;
        }
        add(line.sliced(open + 1, close - open - 1));
        from = close + 1;
    }
    return texts;
}

QByteArray SafeHarborBuild::folderOfValue(QByteArrayView text) {
    if (text.size() <= 3 || text.contains(';') || text.contains(':') ||
        !text.startsWith(platform::kSep)) {
        return {};
    }
    const QByteArrayView folder = text.first(text.lastIndexOf(platform::kSep) + 1);
    // "//" (a comment marker as often as a path) and "/./" name the folder without them;
    // kept, they would list one folder under several spellings.
    QByteArray clean;
    clean.reserve(folder.size());
    for (qsizetype i = 0; i < folder.size(); ++i) {
        const char c = folder[i];
        if (c == platform::kSep && clean.endsWith(platform::kSep)) {
            continue;
        }
        if (c == '.' && clean.endsWith(platform::kSep) && i + 1 < folder.size() &&
            folder[i + 1] == platform::kSep) {
            ++i;
            continue;
        }
        clean.append(c);
    }
    return clean;
}

bool SafeHarborBuild::isFolderOnDisk(const QByteArray& folder) {
    if (auto it = existing_.constFind(folder); it != existing_.cend()) {
        return it.value();
    }
    bool onDisk = false;
    const QByteArray resolved = platform::shortPath(withoutTrailingSeparator(folder));
    if (const auto entry = platform::statPath(resolved); entry && entry->isFolder()) {
        if (removable_) {
            onDisk = !removable_(folder);
        } else {
            const auto mount = platform::mountOf(resolved);
            onDisk = !(mount && mount->kind == platform::VolumeKind::Removable);
        }
    }
    existing_.insert(folder, onDisk);
    return onDisk;
}

bool SafeHarborBuild::testValue(QByteArrayView text) {
    const QByteArray folder = folderOfValue(text);
    if (folder.isEmpty()) {
        return false;
    }
    const QByteArray key = lowerAscii(folder);
    if (listed_.contains(key) || !isFolderOnDisk(folder)) {
        return false;
    }
    listed_.insert(key);
    found_.append(folder);
    if (added_) {
        added_(folder);
    }
    return true;
}

}  // namespace dw
