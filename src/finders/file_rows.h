#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include <vector>

#include "base/extension_types.h"
#include "base/grid_table.h"
#include "finders/thousands_text.h"

// The cell texts the finders' result grids show for a file, made as UTF-8 for
// GridRowBatch without the locale machinery for every file, and the exact bytes of a
// result row for the command line.
namespace dw {

// Texts of sizes, dates, times and file types, each made once per distinct value and
// kept for the object's life (a walk's worth of files shares a few thousand dates and a
// few hundred types). Reads the default locale when first asked for a text; not
// thread-safe. The views returned stay valid while the object lives.
class FileRowTexts {
public:
    FileRowTexts();

    // FormatThousands(size), written into an internal buffer that the next call reuses.
    QByteArrayView size(qint64 size);
    // FileDateToDateText(packed) (empty for 0).
    QByteArrayView date(quint32 packed);
    // FileDateToTimeText(packed) (empty for 0).
    QByteArrayView time(quint32 packed);
    // FileTypeOfName of `name` (native bytes) in UTF-8.
    QByteArrayView type(QByteArrayView name);

private:
    ThousandsText thousands_;
    char sizeBuffer_[ThousandsText::kMaxUtf8];
    std::vector<qint32> dateIds_;  // by the date part (high 16 bits); -1: not made yet
    QHash<quint32, QByteArray> times_;
    std::vector<QByteArray> dates_;
    ExtensionTypes types_;
};

// Which cells of a result grid name a row's file. -1: no such cell.
struct FileCellColumns {
    int name = -1;    // the part of the path after its last "/"
    int folder = -1;  // the part before it ("/" for a file in the root)
    int path = -1;    // the whole path
};

// The cells of row `row` as exact bytes: text cells as their stored UTF-8, and the cells
// that `columns` name taken from the row's native path (its hidden value), so a name
// that is not valid UTF-8 keeps its bytes. A row without a path (the title row) gives
// its cells as UTF-8.
QList<QByteArray> GridRowBytes(const GridTable& grid, qsizetype row, FileCellColumns columns);

}  // namespace dw
