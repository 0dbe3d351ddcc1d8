#include "base/extension_types.h"

#include <QFile>

#include <algorithm>

#include "base/utility.h"
#include "platform/file_types.h"

namespace dw {

namespace {

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool equalFolded(QByteArrayView text, QByteArrayView lower) {
    for (qsizetype i = 0; i < lower.size(); ++i) {
        if (foldAscii(text[i]) != lower[i]) {
            return false;
        }
    }
    return true;
}

bool containsFolded(QByteArrayView text, QByteArrayView lower) {
    for (qsizetype i = 0; i + lower.size() <= text.size(); ++i) {
        if (equalFolded(text.sliced(i), lower)) {
            return true;
        }
    }
    return false;
}

// FNV-1a of the text with ASCII letters folded. Two suffixes of one hash only make a key
// longer than needed, never wrong.
quint64 suffixHash(QByteArrayView text) {
    quint64 h = 14695981039346656037ull;
    for (const char c : text) {
        h = (h ^ quint8(foldAscii(c))) * 1099511628211ull;
    }
    return h;
}

bool isAscii(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return quint8(c) < 0x80; });
}

}  // namespace

ExtensionTypes::ExtensionTypes() {
    const platform::FileTypeGlobShape& shape = platform::fileTypeGlobShape();
    longestSuffix_ = shape.longestSuffix;
    for (const qsizetype length : shape.patternedSuffixLengths) {
        patternedLengths_.push_back(length);
    }
    for (const QString& suffix : platform::knownFileSuffixes()) {
        suffixHashes_.push_back(suffixHash(suffix.toUtf8()));
    }
    std::sort(suffixHashes_.begin(), suffixHashes_.end());
    openSuffixStartTexts_ = shape.openSuffixStarts;
    for (const QString& start : shape.openSuffixStarts) {
        openSuffixStarts_.push_back(start.toUtf8());
    }
    for (const platform::FileTypeGlobShape::Anchors& glob : shape.otherGlobs) {
        const auto index = quint16(otherGlobs_.size());
        otherGlobs_.push_back({glob.start.toUtf8(), glob.end.toUtf8()});
        otherGlobTexts_.append({glob.start, glob.end});
        const Anchors& added = otherGlobs_.back();
        if (!added.start.isEmpty()) {
            globsByFirst_[quint8(added.start.front())].push_back(index);
        } else if (!added.end.isEmpty()) {
            globsByLast_[quint8(added.end.back())].push_back(index);
        } else {
            unanchoredGlobs_.push_back(index);
        }
    }
}

void ExtensionTypes::clear() {
    texts_.clear();
    utf8_.clear();
    idByKey_.clear();
    idByText_.clear();
    slots_.fill(Slot());
}

bool ExtensionTypes::typeKey(QByteArrayView name, QByteArrayView& key) const {
    // The globs compare case-insensitively by Unicode rules, under which a few letters
    // beyond ASCII lower-case to ASCII ones: such names are compared as the database
    // compares them.
    const bool ascii = isAscii(name);
    QString lowered;
    if (ascii) {
        const auto matches = [&](const std::vector<quint16>& globs) {
            return std::any_of(globs.begin(), globs.end(), [&](quint16 g) {
                const Anchors& glob = otherGlobs_[g];
                return name.size() >= glob.start.size() + glob.end.size() &&
                       equalFolded(name, glob.start) &&
                       equalFolded(name.sliced(name.size() - glob.end.size()), glob.end);
            });
        };
        if (matches(unanchoredGlobs_) ||
            (!name.isEmpty() && (matches(globsByFirst_[quint8(foldAscii(name.front()))]) ||
                                 matches(globsByLast_[quint8(foldAscii(name.back()))])))) {
            return false;
        }
    } else {
        lowered = QFile::decodeName(name.toByteArray()).toLower();
        for (const auto& [start, end] : otherGlobTexts_) {
            if (lowered.size() >= start.size() + end.size() && lowered.startsWith(start) &&
                lowered.endsWith(end)) {
                return false;
            }
        }
    }
    const qsizetype first = name.indexOf('.');
    if (first < 0) {
        key = QByteArrayView();
        return true;
    }
    const QByteArrayView tail = name.sliced(first);
    const bool open =
        ascii ? std::any_of(openSuffixStarts_.begin(), openSuffixStarts_.end(),
                            [&](const QByteArray& start) { return containsFolded(tail, start); })
              : std::any_of(openSuffixStartTexts_.begin(), openSuffixStartTexts_.end(),
                            [&](const QString& start) { return lowered.contains(start); });
    if (open) {
        key = tail;
        return true;
    }
    // A bounded glob matches at most the last longestSuffix_ characters; a character
    // takes up to 4 bytes, or 1 in an ASCII name. In an ASCII name only the dots a
    // bounded glob can start at count ("file-1.txt" and ".file-1.txt" share ".txt"); in
    // another every dot in reach does, as letters beyond ASCII may fold into ASCII ones.
    const qsizetype window = ascii ? longestSuffix_ : 4 * longestSuffix_;
    qsizetype start = name.lastIndexOf('.');
    for (qsizetype p = start - 1; p >= first && p >= name.size() - window; --p) {
        if (name[p] != '.') {
            continue;
        }
        const qsizetype length = name.size() - p;
        if (!ascii ||
            std::find(patternedLengths_.begin(), patternedLengths_.end(), length) !=
                patternedLengths_.end() ||
            std::binary_search(suffixHashes_.begin(), suffixHashes_.end(),
                               suffixHash(name.sliced(p + 1)))) {
            start = p;
        }
    }
    key = name.sliced(start);
    return true;
}

quint32 ExtensionTypes::idOfText(const QString& text) {
    const auto it = idByText_.constFind(text);
    if (it != idByText_.constEnd()) {
        return it.value();
    }
    const auto id = quint32(texts_.size());
    texts_.append(text);
    utf8_.push_back(text.toUtf8());
    idByText_.insert(text, id);
    return id;
}

quint32 ExtensionTypes::idOfKey(QByteArrayView key, QByteArrayView name) {
    const QByteArray bytes = key.toByteArray();
    const auto it = idByKey_.constFind(bytes);
    if (it != idByKey_.constEnd()) {
        return it.value();
    }
    const quint32 id = idOfWholeName(name);
    idByKey_.insert(bytes, id);
    return id;
}

quint32 ExtensionTypes::idOfWholeName(QByteArrayView name) {
    return idOfText(FileTypeOfName(QFile::decodeName(name.toByteArray())));
}

}  // namespace dw
