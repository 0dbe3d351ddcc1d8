#pragma once

#include <QByteArray>

#include <optional>

// What `df` says of a volume: the independent figures tests compare free space with.
namespace dw::test {

struct DfFigures {
    qint64 size = 0;   // bytes in all
    qint64 used = 0;   // bytes in use
    qint64 avail = 0;  // bytes the user can still write
    // What df counts neither used nor available: the free blocks kept for root.
    qint64 reserved() const { return size - used - avail; }
};

// Runs `df -B1 --output=size,used,avail` on `path`; nullopt when df fails or its answer
// cannot be read.
std::optional<DfFigures> dfFigures(const QByteArray& path);

}  // namespace dw::test
