#include "safety/folder_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/paths.h"
#include "platform/posix_io.h"
#include "platform/settings_file.h"
#include "platform/text_file.h"

namespace dw {

namespace {

constexpr char foldLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

constexpr char foldUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

int compareFolded(QByteArrayView a, QByteArrayView b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(foldLower(a[i]));
        const auto cb = static_cast<unsigned char>(foldLower(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace

bool isSubtreeEntry(QByteArrayView entry) {
    return entry.endsWith(QByteArrayView(kSubtreeMarker));
}

QByteArray entryFolder(QByteArrayView entry) {
    QByteArray folder =
        isSubtreeEntry(entry)
            ? entry.first(entry.size() - qsizetype(std::strlen(kSubtreeMarker))).toByteArray()
            : entry.toByteArray();
    if (folder.isEmpty() && entry.isEmpty()) {
        return folder;
    }
    if (!folder.endsWith(platform::kSep)) {
        folder.append(platform::kSep);
    }
    return folder;
}

QByteArray lowerAscii(QByteArrayView text) {
    QByteArray out(text.data(), text.size());
    for (char& c : out) {
        c = foldLower(c);
    }
    return out;
}

QByteArray upperAscii(QByteArrayView text) {
    QByteArray out(text.data(), text.size());
    for (char& c : out) {
        c = foldUpper(c);
    }
    return out;
}

int compareFolderText(QByteArrayView a, QByteArrayView b) {
    const int folded = compareFolded(a, b);
    if (folded != 0) {
        return folded;
    }
    return a.compare(b);
}

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix) {
    return text.size() >= prefix.size() && compareFolded(text.first(prefix.size()), prefix) == 0;
}

bool equalsNoCase(QByteArrayView a, QByteArrayView b) {
    return compareFolded(a, b) == 0;
}

void sortFolderList(QList<QByteArray>& list) {
    std::sort(list.begin(), list.end(),
              [](const QByteArray& a, const QByteArray& b) { return compareFolderText(a, b) < 0; });
}

void removeCoveredFolders(QList<QByteArray>& list) {
    // The folders of the subtree entries, folded, each with the entry it came from.
    struct Subtree {
        QByteArray folder;
        QByteArray entry;
    };
    std::vector<Subtree> subtrees;
    for (const QByteArray& entry : list) {
        if (isSubtreeEntry(entry)) {
            subtrees.push_back({lowerAscii(entryFolder(entry)), entry});
        }
    }
    if (subtrees.empty()) {
        sortFolderList(list);
        return;
    }
    // Sorted, an outer folder comes right before the folders below it, so one pass keeps
    // the outermost of each nest: a later lookup by halving may rely on no subtree entry
    // lying inside another.
    std::stable_sort(subtrees.begin(), subtrees.end(),
                     [](const Subtree& a, const Subtree& b) { return a.folder < b.folder; });
    std::vector<Subtree> outer;
    for (Subtree& s : subtrees) {
        if (!outer.empty() && s.folder.startsWith(outer.back().folder)) {
            continue;
        }
        outer.push_back(std::move(s));
    }

    // Any folder covering a text is the greatest outer folder not above it, since no
    // outer folder lies inside another.
    auto covered = [&outer](const QByteArray& entry) {
        const QByteArray key = lowerAscii(entry);
        auto it =
            std::upper_bound(outer.begin(), outer.end(), key,
                             [](const QByteArray& k, const Subtree& s) { return k < s.folder; });
        if (it == outer.begin()) {
            return false;
        }
        --it;
        return key.startsWith(it->folder);
    };

    QList<QByteArray> kept;
    kept.reserve(list.size());
    for (const QByteArray& entry : list) {
        // Subtree entries come back through `outer`.
        if (!isSubtreeEntry(entry) && !covered(entry)) {
            kept.append(entry);
        }
    }
    for (const Subtree& s : outer) {
        kept.append(s.entry);
    }
    sortFolderList(kept);
    list = std::move(kept);
}

QString foldersFilePath() {
    return platform::settingsFolder() + QStringLiteral("/folders.txt");
}

std::optional<QList<QByteArray>> ReadFolderList(const QString& file, QString* error) {
    auto fail = [error](const QString& why) -> std::optional<QList<QByteArray>> {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    if (error) {
        error->clear();
    }
    const QByteArray native = QFile::encodeName(file);
    // Not waiting for a FIFO's writer; only a regular file is read (a link to a device
    // such as /dev/zero would never end).
    platform::UniqueFd fd(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        const int err = errno;
        struct stat st {};
        if (err == ENOENT && ::lstat(native.constData(), &st) != 0) {
            return std::nullopt;
        }
        return fail(platform::errnoText(err));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return fail(platform::errnoText(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        return fail(QStringLiteral("it is not a regular file"));
    }
    const auto tooLarge = [&] {
        return fail(QStringLiteral("it is larger than %1 MiB").arg(kMaxFolderListBytes >> 20));
    };
    if (st.st_size > kMaxFolderListBytes) {
        return tooLarge();
    }
    QByteArray content;
    content.resize(qsizetype(st.st_size) + 1);
    qsizetype got = 0;
    for (;;) {
        if (got == content.size()) {
            if (got > kMaxFolderListBytes) {
                return tooLarge();
            }
            // Grown since the look.
            content.resize(qMin<qsizetype>(content.size() * 2 + 4096, kMaxFolderListBytes + 1));
        }
        const ssize_t n = ::read(fd.get(), content.data() + got, size_t(content.size() - got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return fail(platform::errnoText(errno));
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    content.truncate(got);
    // Saved as UTF-16 by an editor: its text, not its bytes, names the folders.
    const std::optional<QByteArray> text = platform::textFileAsUtf8(content);
    if (!text) {
        return fail(QStringLiteral("it is UTF-16 text that cannot be read"));
    }
    QList<QByteArray> entries;
    qsizetype lineNo = 0;
    for (QByteArray line : text->split('\n')) {
        ++lineNo;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        // No folder's name holds a NUL: the line is not what it was meant to be (UTF-16
        // without its mark, a damaged disk), and a line left out would protect nothing.
        if (line.contains('\0')) {
            return fail(QStringLiteral("its line %1 holds a NUL byte").arg(lineNo));
        }
        if (!line.isEmpty()) {
            entries.append(line);
        }
    }
    return entries;
}

bool SaveFolderList(const QString& file, QList<QByteArray> entries, QString* error) {
    if (error) {
        error->clear();
    }
    if (entries.isEmpty()) {
        if (QFileInfo::exists(file) && !QFile::remove(file)) {
            if (error) {
                *error = QStringLiteral("could not delete the file");
            }
            return false;
        }
        return true;
    }
    for (const QByteArray& entry : entries) {
        if (entry.contains('\n') || entry.contains('\r')) {
            if (error) {
                *error = QStringLiteral("the folder %1 holds a line break")
                             .arg(QFile::decodeName(entry).simplified());
            }
            return false;
        }
    }
    sortFolderList(entries);
    QByteArray content;
    for (const QByteArray& entry : entries) {
        content += entry;
        content += '\n';
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit()) {
        if (error) {
            *error = out.errorString();
        }
        return false;
    }
    return true;
}

}  // namespace dw
