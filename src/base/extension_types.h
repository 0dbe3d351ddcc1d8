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

// The file types of the extensions met, each made once and numbered: a walk's worth of
// files shares a few hundred extensions, and most files one of a few. Not thread-safe;
// reads only (text, utf8) may run on several threads at once while nothing is added.
class ExtensionTypes {
public:
    // The number of the type of `name`'s extension: from its last dot on, the dot
    // included, or the empty extension for a name without a dot. Numbers count from 0 in
    // the order the extensions were first met; equal numbers mean equal extensions (byte
    // for byte). Throws std::bad_alloc, adding nothing, when memory for a new one cannot
    // be had.
    quint32 idOfName(QByteArrayView name) {
        // Names are short: a plain scan from the end finds the dot sooner than a search
        // call.
        qsizetype dot = name.size() - 1;
        while (dot >= 0 && name[dot] != '.') {
            --dot;
        }
        const QByteArrayView ext = dot < 0 ? QByteArrayView() : name.sliced(dot);
        // A small table answers the common extensions without hashing a new QByteArray.
        Slot* slot = nullptr;
        if (ext.size() <= Slot::kMaxBytes) {
            quint32 h = 2166136261u;
            for (const char c : ext) {
                h = (h ^ quint8(c)) * 16777619u;
            }
            slot = &slots_[h % slots_.size()];
            if (slot->id != Slot::kEmpty && slot->length == ext.size() &&
                std::memcmp(slot->bytes, ext.data(), size_t(ext.size())) == 0) {
                return slot->id;
            }
        }
        const quint32 id = idOfExtension(ext);
        if (slot) {
            slot->id = id;
            slot->length = quint8(ext.size());
            std::memcpy(slot->bytes, ext.data(), size_t(ext.size()));
        }
        return id;
    }

    // The type's text: FileTypeName of the extension decoded as a file name; empty for
    // the empty extension. `id` must be one idOfName gave since the last clear().
    const QString& text(quint32 id) const { return texts_.at(id); }
    // The same as UTF-8; valid until the next clear().
    QByteArrayView utf8(quint32 id) const { return utf8_[id]; }
    // The number of types met.
    qsizetype count() const { return qsizetype(utf8_.size()); }

    // Forgets every type; numbers start again from 0.
    void clear();

    // Heap bytes held, roughly: the texts and the lookup table's entries.
    qsizetype memoryUsage() const {
        return qsizetype(texts_.size()) * 96 + idByExtension_.size() * 64;
    }

private:
    quint32 idOfExtension(QByteArrayView ext);

    QStringList texts_;
    std::vector<QByteArray> utf8_;
    QHash<QByteArray, quint32> idByExtension_;
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
