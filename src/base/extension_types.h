#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <cstring>
#include <vector>

namespace dw {

// The file types of the names met (FileTypeOfName), each type made once and numbered: a
// walk's worth of files shares a few hundred types, and most files one of a few. Names
// that only globs beginning with "*." can match are answered from the part of the name
// those globs can see (its end, from a dot on), so the database is asked once per such
// ending; the rare names another glob may match ("README.md", "notes~") are asked each
// time. Not thread-safe; reads only (text, utf8) may run on several threads at once
// while nothing is added.
class ExtensionTypes {
public:
    ExtensionTypes();

    // The number of the type of the file name `name` (native bytes): equal numbers mean
    // equal type texts. Numbers count from 0 in the order the types were first met.
    // Throws std::bad_alloc, adding nothing, when memory for a new one cannot be had.
    quint32 idOfName(QByteArrayView name) {
        QByteArrayView key;
        if (!typeKey(name, key)) {
            return idOfWholeName(name);
        }
        // A small table answers the common endings without hashing a new QByteArray.
        Slot* slot = nullptr;
        if (key.size() <= Slot::kMaxBytes) {
            quint32 h = 2166136261u;
            for (const char c : key) {
                h = (h ^ quint8(c)) * 16777619u;
            }
            slot = &slots_[h % slots_.size()];
            if (slot->id != Slot::kEmpty && slot->length == key.size() &&
                std::memcmp(slot->bytes, key.data(), size_t(key.size())) == 0) {
                return slot->id;
            }
        }
        const quint32 id = idOfKey(key, name);
        if (slot) {
            slot->id = id;
            slot->length = quint8(key.size());
            std::memcpy(slot->bytes, key.data(), size_t(key.size()));
        }
        return id;
    }

    // The type's text: FileTypeOfName of a name of that type (empty for a name without
    // a dot that the database does not know). `id` must be one idOfName gave since the
    // last clear().
    const QString& text(quint32 id) const { return texts_.at(id); }
    // The same as UTF-8; valid until the next clear().
    QByteArrayView utf8(quint32 id) const { return utf8_[id]; }
    // The number of types met.
    qsizetype count() const { return qsizetype(utf8_.size()); }

    // Forgets every type; numbers start again from 0.
    void clear();

    // Heap bytes held, roughly: the texts and the lookup tables' entries.
    qsizetype memoryUsage() const {
        return qsizetype(texts_.size()) * 96 + idByKey_.size() * 64 + idByText_.size() * 64;
    }

private:
    // The part of `name` that alone decides its type, into `key`: from the first dot a
    // glob can match from, or the last dot, on; the empty text without a dot. False
    // when a glob not beginning with "*." may match the whole name.
    bool typeKey(QByteArrayView name, QByteArrayView& key) const;
    quint32 idOfKey(QByteArrayView key, QByteArrayView name);
    quint32 idOfWholeName(QByteArrayView name);
    quint32 idOfText(const QString& text);

    // The database's glob shape in native lower-case bytes, taken once.
    struct Anchors {
        QByteArray start;
        QByteArray end;
    };
    qsizetype longestSuffix_ = 0;
    // The lengths (with the dot) of the bounded globs with wildcards, and the hashes
    // (suffixHash) of the known suffixes: a dot from which no bounded glob can match
    // leaves the key.
    std::vector<qsizetype> patternedLengths_;
    std::vector<quint64> suffixHashes_;  // sorted
    std::vector<QByteArray> openSuffixStarts_;
    std::vector<Anchors> otherGlobs_;
    // The other globs by the first byte of their start (folded), those without a start
    // by the last byte of their end, and those with neither.
    std::array<std::vector<quint16>, 256> globsByFirst_;
    std::array<std::vector<quint16>, 256> globsByLast_;
    std::vector<quint16> unanchoredGlobs_;
    QStringList openSuffixStartTexts_;
    QList<QPair<QString, QString>> otherGlobTexts_;

    QStringList texts_;
    std::vector<QByteArray> utf8_;
    QHash<QByteArray, quint32> idByKey_;
    QHash<QString, quint32> idByText_;
    struct Slot {
        static constexpr quint32 kEmpty = 0xFFFFFFFF;
        static constexpr qsizetype kMaxBytes = 15;
        char bytes[kMaxBytes];
        quint8 length = 0;
        quint32 id = kEmpty;
    };
    std::array<Slot, 64> slots_{};
};

}  // namespace dw
