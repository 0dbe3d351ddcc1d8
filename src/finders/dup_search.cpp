#include "finders/dup_search.h"

#include <limits>

#include <QFile>

#include <algorithm>
#include <string>
#include <utility>

#include "base/sort_grid.h"
#include "base/split_work.h"
#include "base/utility.h"
#include "finders/file_rows.h"
#include "finders/folded_text.h"
#include "finders/thousands_text.h"
#include "platform/block_usage.h"
#include "platform/dir_reader.h"
#include "platform/paths.h"
#include "platform/volumes.h"

namespace dw {

namespace {

using F = DupField;

// Below this many rows a grid is filled on one thread: a thread's start would cost more
// than it saves.
constexpr qsizetype kMinimumRowsPerThread = 20000;

// notes_ of a row that belongs to a group of one file's names.
constexpr quint32 kHardLinkNote = 0xFFFFFFFF;
// notes_ of a row of a group whose files all share their blocks.
constexpr quint32 kSharedBlocksNote = 0xFFFFFFFE;

// True when every byte `extents` map lies in the blocks `other` maps (a reflinked copy
// maps the very same physical ranges; their cuts into extents may differ).
bool blocksWithin(const std::vector<platform::Extent>& extents,
                  std::vector<std::pair<quint64, quint64>> other) {
    std::sort(other.begin(), other.end());
    for (const platform::Extent& e : extents) {
        quint64 from = e.physical;
        const quint64 end = e.physical + quint64(e.length);
        for (const auto& [begin, stop] : other) {
            if (begin <= from && stop > from) {
                from = stop;
            }
            if (from >= end) {
                break;
            }
        }
        if (from < end) {
            return false;
        }
    }
    return true;
}

constexpr std::array<DupField, 7> kNameFirst{F::Name,   F::Size,   F::Modified, F::Time,
                                             F::Access, F::Folder, F::Type};
constexpr std::array<DupField, 7> kSizeFirst{F::Size,   F::Name,   F::Modified, F::Time,
                                             F::Access, F::Folder, F::Type};
constexpr std::array<DupField, 7> kTypeFirst{F::Type, F::Modified, F::Time,  F::Name,
                                             F::Size, F::Access,   F::Folder};

}  // namespace

const DupCriterion kDupCriteria[kDupCriterionCount] = {
    {"Filename only", kNameFirst, {F::Name}, 1},
    {"Filename and size", kNameFirst, {F::Name, F::Size}, 2},
    {"Filename, size and modify date/time",
     kNameFirst,
     {F::Name, F::Size, F::Modified, F::Time},
     4},
    {"Size only", kSizeFirst, {F::Size}, 1},
    {"Size and modify date/time", kSizeFirst, {F::Size, F::Modified, F::Time}, 3},
    {"Size and type", kSizeFirst, {F::Size, F::Type}, 2},
    {"Type and modify date/time", kTypeFirst, {F::Type, F::Modified, F::Time}, 3},
    {"Same contents", kSizeFirst, {F::Size}, 1},
};

const std::array<DupField, 6> kHogLineOrder{F::Size,   F::Modified, F::Time,
                                            F::Access, F::Path,     F::Type};

bool PassesSizeTest(qint64 size, SizeTest test, qint64 lo, qint64 hi) {
    switch (test) {
        case SizeTest::LargerOrEqual:
            return size >= lo;
        case SizeTest::SmallerOrEqual:
            return size <= lo;
        case SizeTest::Between:
            return lo <= size && size <= hi;
    }
    return false;
}

QString sharesBlocksWithText(const QString& name) {
    return QStringLiteral("shares its blocks with ") + name;
}

QString namesNoteText(quint32 names) {
    return QStringLiteral("%1 names").arg(names);
}

QString resourceLimitText() {
    // The two line breaks of the message stand between its two sentences.
    return QStringLiteral(
        "Due to Windows resource limitations ... cannot process any more files.\n\n"
        "Try increasing the file size limits or file match and re-scan.");
}

QStringList DupColumnTitles(bool duplicateMode) {
    if (duplicateMode) {
        return {QStringLiteral("Filename"), QStringLiteral("Size"),   QStringLiteral("Modified"),
                QStringLiteral("Time"),     QStringLiteral("Access"), QStringLiteral("Folder"),
                QStringLiteral("Type")};
    }
    return {QStringLiteral("Size"),   QStringLiteral("Modified"), QStringLiteral("Time"),
            QStringLiteral("Access"), QStringLiteral("FileName"), QStringLiteral("Type")};
}

void ClearDupGrid(GridTable& grid, bool duplicateMode) {
    grid.beginUpdate();
    grid.setRowCount(1);
    grid.setColumnCount(duplicateMode ? kDupColumnCount : kHogColumnCount);
    grid.setTitles(DupColumnTitles(duplicateMode));
    grid.setRowCount(2);
    grid.setRowCells(1, {});
    grid.setRowData(1, {});
    grid.setMark(1, 0);
    grid.setBand(1, 0);
    grid.endUpdate();
}

DupSearch::DupSearch(const DupOptions& options)
    : options_(options), lo_(options.lo()), hi_(options.hi()), candidates_(options.candidateLimit) {
    options_.criterion = std::clamp(options_.criterion, 0, kDupCriterionCount - 1);
    // File hogs sort by path among equal sizes and dates.
    candidates_.setEarlyPathOrder(!options_.duplicateMode);
    // Every row shown has its dates and time; "Same contents" shows few of its files.
    candidates_.setEarlyTexts(options_.criterion != kContentCriterion || !options_.duplicateMode);
    if (options_.duplicateMode && options_.criterion == kContentCriterion) {
        ContentOptions content;
        content.includeEmpty = options_.includeEmpty;
        content.threads = options_.readThreads;
        content_ = std::make_unique<ContentGrouper>(content);
    }
    feed_ = std::make_unique<CandidateFeed>(candidates_, content_.get());
}

DupSearch::~DupSearch() = default;

DupSearch::Step DupSearch::addFile(const WalkFolder& folder, const platform::DirEntry& entry) {
    if (!PassesSizeTest(entry.size, options_.sizeTest, lo_, hi_)) {
        return Step::Skipped;
    }
    // The list itself is filled on the feed's thread while the walk goes on.
    return feed_->add(folder, entry) ? Step::Added : Step::Full;
}

void DupSearch::finish() {
    finish({});
}

void DupSearch::stopReading() {
    if (content_) {
        content_->requestStop();
    }
}

bool DupSearch::isHardLinkGroup(quint32 group) const {
    return group >= 1 && group <= hardLinkGroups_.size() && hardLinkGroups_[group - 1];
}

void DupSearch::finish(const ContentGrouper::Hooks& hooks) {
    if (finished_) {
        return;
    }
    finished_ = true;
    feed_->finish();
    if (options_.duplicateMode) {
        const DupCriterion& c = kDupCriteria[options_.criterion];
        candidates_.sortLines(c.order);
        if (content_) {
            groupByContent(hooks);
        } else {
            group();
        }
    } else {
        candidates_.sortLines(kHogLineOrder);
        const auto n = quint32(candidates_.size());
        results_.reserve(n);
        for (quint32 i = n; i > 0; --i) {
            results_.push_back(i - 1);
        }
    }
}

void DupSearch::keyOf(qsizetype i, QByteArray& out, QByteArray& field) const {
    out.clear();
    for (DupField f : kDupCriteria[options_.criterion].keyFields()) {
        field.clear();
        candidates_.appendBytes(i, f, field);
        out.append(trimmedField(field));
    }
}

void DupSearch::group() {
    const DupCriterion& c = kDupCriteria[options_.criterion];
    const qsizetype n = candidates_.size();
    // Keys of one field need no joining: compare the field itself.
    const bool nameKey = c.keyCount == 1 && c.key[0] == DupField::Name;
    const bool sizeKey = c.keyCount == 1 && c.key[0] == DupField::Size;
    QByteArray keyI;
    QByteArray keyJ;
    QByteArray scratch;
    const auto sameKey = [&](qsizetype i, qsizetype j) {
        if (nameKey) {
            return equalFolded(trimmedField(candidates_.name(i)),
                               trimmedField(candidates_.name(j)));
        }
        if (sizeKey) {
            return candidates_.size(i) == candidates_.size(j);
        }
        keyOf(j, keyJ, scratch);
        return equalFolded(keyI, keyJ);
    };
    quint32 groups = 0;
    qsizetype i = 0;
    while (i < n) {
        if (!nameKey && !sizeKey) {
            keyOf(i, keyI, scratch);
        }
        qsizetype j = i + 1;
        while (j < n) {
            // The list is read in sorted order, which jumps through memory.
            candidates_.prefetch(j + 16, 0);
            candidates_.prefetch(j + 8, 1);
            if (!sameKey(i, j)) {
                break;
            }
            ++j;
        }
        if (j > i + 1) {
            ++groups;
            for (qsizetype k = i; k < j; ++k) {
                results_.push_back(quint32(k));
                groupOf_.push_back(groups);
            }
        }
        i = j;
    }
    bands_.resize(results_.size());
    for (size_t k = 0; k < results_.size(); ++k) {
        if (k + 16 < results_.size()) {
            candidates_.prefetch(results_[k + 16], 0);
        }
        if (k == 0) {
            bands_[k] = kBandA;
        } else if (sameBandColumns(results_[k - 1], results_[k])) {
            bands_[k] = bands_[k - 1];
        } else {
            bands_[k] = bands_[k - 1] == kBandA ? kBandB : kBandA;
        }
    }
}

void DupSearch::groupByContent(const ContentGrouper::Hooks& hooks) {
    const qsizetype n = candidates_.size();
    {
        std::vector<quint32> positionOf(static_cast<size_t>(n));
        for (qsizetype i = 0; i < n; ++i) {
            positionOf[candidates_.addedAs(i)] = quint32(i);
        }
        // Numbered by their places in the list, a file of several names stands by the
        // name listed first.
        content_->renumber([&positionOf](quint32 id) { return positionOf[id]; });
    }
    readingStopped_ =
        !content_->run([this](quint32 position) { return candidates_.path(position); },
                       [this](quint32 position) { return candidates_.size(position); }, hooks);

    // Numbered by their places, the groups' files are in list order and the groups in
    // the order of their first files; the groups that win the most come first, so a
    // long list begins with what is worth a look.
    const qsizetype groups = content_->groupCount();
    size_t rows = 0;
    std::vector<std::pair<qint64, quint32>> byWin;
    byWin.reserve(size_t(groups));
    for (qsizetype g = 0; g < groups; ++g) {
        const ContentGroup group = content_->group(g);
        rows += group.ids.size();
        const qint64 win = group.kind == ContentGroup::Kind::HardLinks
                               ? 0
                               : candidates_.size(group.ids[0]) * qint64(group.ids.size() - 1);
        byWin.push_back({win, quint32(g)});
    }
    std::stable_sort(byWin.begin(), byWin.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    results_.reserve(rows);
    notes_.reserve(rows);
    groupOf_.reserve(rows);
    bands_.reserve(rows);
    hardLinkGroups_.reserve(size_t(groups));
    platform::BlockUsage usage;
    // The mount table, read once, tells the volumes that never share blocks (ext4,
    // tmpfs...) from the path alone: there no file is touched at all.
    QList<platform::Volume> mounts;
    if (options_.lookUpSharedBlocks && groups > 0) {
        QFile table(QStringLiteral("/proc/self/mountinfo"));
        if (table.open(QIODevice::ReadOnly)) {
            mounts = platform::parseAllMounts(table.readAll());
        }
    }
    for (qsizetype g = 0; g < groups; ++g) {
        const ContentGroup group = content_->group(byWin[size_t(g)].second);
        const bool links = group.kind == ContentGroup::Kind::HardLinks;
        hardLinkGroups_.push_back(links);
        const size_t firstRow = results_.size();
        for (size_t m = 0; m < group.ids.size(); ++m) {
            const quint32 names = group.names[m];
            results_.push_back(group.ids[m]);
            notes_.push_back(links ? kHardLinkNote : names > 1 ? names : 0);
            groupOf_.push_back(quint32(g + 1));
            bands_.push_back(g % 2 == 0 ? kBandA : kBandB);
        }
        if (!links && options_.lookUpSharedBlocks) {
            noteSharedBlocks(firstRow, usage, mounts);
        }
    }
    content_->releaseGroups();

    std::vector<std::pair<quint32, ContentProblem>> problems;
    for (const bool changed : {false, true}) {
        for (const dw::ContentProblem& p : changed ? content_->changed() : content_->unreadable()) {
            const quint32 at = p.id;
            problems.push_back({at, {candidates_.path(at), p.reason, changed}});
        }
    }
    std::sort(problems.begin(), problems.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& p : problems) {
        problems_.push_back(std::move(p.second));
    }
}

void DupSearch::noteSharedBlocks(size_t firstRow, platform::BlockUsage& usage,
                                 const QList<platform::Volume>& mounts) {
    const size_t rows = results_.size();
    // Only files already proven equal are looked at, and only on volumes that can share
    // blocks.
    std::vector<std::optional<std::vector<platform::Extent>>> maps(rows - firstRow);
    bool any = false;
    for (size_t r = firstRow; r < rows; ++r) {
        const QByteArray path = candidates_.path(results_[r]);
        const std::optional<platform::Volume> mount = platform::mountHolding(path, mounts);
        if (mount && !platform::BlockUsage::mayShareKind(mount->fsType)) {
            continue;
        }
        const std::optional<platform::DirEntry> e = platform::statPath(path);
        if (!e || e->allocated <= 0 || !usage.mayShare(path, e->device)) {
            continue;
        }
        auto map = platform::BlockUsage::extentsAt(path, e->device, e->inode);
        // Only a file whose every extent is flagged shared can lose nothing by going.
        if (map && !map->empty() &&
            std::all_of(map->begin(), map->end(), [](const auto& x) { return x.shared; })) {
            maps[r - firstRow] = std::move(map);
            any = true;
        }
    }
    if (!any) {
        return;
    }
    bool all = true;
    for (size_t r = firstRow; r < rows; ++r) {
        const auto& mine = maps[r - firstRow];
        std::optional<size_t> with;
        for (size_t o = firstRow; mine && o < rows && !with; ++o) {
            const auto& theirs = maps[o - firstRow];
            if (o == r || !theirs) {
                continue;
            }
            std::vector<std::pair<quint64, quint64>> ranges;
            ranges.reserve(theirs->size());
            for (const platform::Extent& x : *theirs) {
                ranges.emplace_back(x.physical, x.physical + quint64(x.length));
            }
            if (blocksWithin(*mine, std::move(ranges))) {
                with = o;
            }
        }
        if (with) {
            sharesWith_.insert(quint32(r), quint32(*with));
        } else {
            all = false;
        }
    }
    if (all) {
        hardLinkGroups_.back() = true;
        for (size_t r = firstRow; r < rows; ++r) {
            notes_[r] = kSharedBlocksNote;
            sharesWith_.remove(quint32(r));
        }
    }
}

std::optional<qsizetype> DupSearch::sharesBlocksWith(qsizetype k) const {
    const auto it = sharesWith_.constFind(quint32(k));
    if (it == sharesWith_.constEnd()) {
        return std::nullopt;
    }
    return qsizetype(*it);
}

void DupSearch::appendTypeNote(qsizetype k, QByteArray& type) const {
    const quint32 note = notes_.empty() ? 0 : notes_[size_t(k)];
    const std::optional<qsizetype> with = sharesBlocksWith(k);
    if (note == 0 && !with) {
        return;
    }
    QByteArray text = note == kHardLinkNote       ? QByteArray(kHardLinksNoteText)
                      : note == kSharedBlocksNote ? QByteArray(kSharedBlocksNoteText)
                      : note != 0                 ? namesNoteText(note).toUtf8()
                                                  : QByteArray();
    if (with) {
        const QByteArray name = candidates_.path(results_[size_t(*with)]);
        const QString shown = QFile::decodeName(name.mid(name.lastIndexOf('/') + 1));
        text += (text.isEmpty() ? "" : ", ") + sharesBlocksWithText(shown).toUtf8();
    }
    type = type.isEmpty() ? text : type + " (" + text + ')';
}

bool DupSearch::sameBandColumns(qsizetype a, qsizetype b) const {
    switch (options_.criterion) {
        case 0:
        case 1:
        case 2:
            return equalFolded(trimmedField(candidates_.name(a)),
                               trimmedField(candidates_.name(b)));
        case 6:
            return candidates_.text(a, DupField::Type) == candidates_.text(b, DupField::Type) &&
                   candidates_.text(a, DupField::Time) == candidates_.text(b, DupField::Time);
        default:
            return candidates_.size(a) == candidates_.size(b);
    }
}

void DupSearch::rowCells(qsizetype k, QStringList& cells, QByteArray& path) const {
    const qsizetype i = results_[size_t(k)];
    path.clear();
    candidates_.appendBytes(i, F::Path, path);
    if (options_.duplicateMode) {
        cells.resize(kDupColumnCount);
        candidates_.textInto(i, F::Name, cells[kDupNameColumn]);
        candidates_.textInto(i, F::Size, cells[kDupSizeColumn]);
        cells[kDupModifiedColumn] = candidates_.text(i, F::Modified);
        cells[kDupTimeColumn] = candidates_.text(i, F::Time);
        cells[kDupAccessColumn] = candidates_.text(i, F::Access);
        cells[kDupFolderColumn] = candidates_.text(i, F::Folder);
        QByteArray type;
        candidates_.appendBytes(i, F::Type, type);
        appendTypeNote(k, type);
        cells[kDupTypeColumn] = QString::fromUtf8(type);
    } else {
        cells.resize(kHogColumnCount);
        candidates_.textInto(i, F::Size, cells[kHogSizeColumn]);
        cells[1] = candidates_.text(i, F::Modified);
        cells[2] = candidates_.text(i, F::Time);
        cells[3] = candidates_.text(i, F::Access);
        candidates_.textInto(i, F::Path, cells[kHogPathColumn]);
        cells[5] = candidates_.text(i, F::Type);
    }
}

GridRow DupSearch::resultRow(qsizetype k) const {
    GridRow row;
    rowCells(k, row.cells, row.data);
    if (options_.duplicateMode) {
        row.band = bands_[size_t(k)];
    }
    return row;
}

std::vector<quint32> DupSearch::rowOrder() const {
    if (options_.duplicateMode || results_.empty()) {
        return results_;
    }
    // The size sort run on the sizes themselves, which are the numbers the cells show
    // wherever the size texts are plain digits and group separators.
    // The sizes are read in the results' order, a jump through the list's memory for
    // each: two halves at once.
    std::vector<double> keys(results_.size());
    const bool plainTexts = ThousandsText().isSimple();
    SplitWork(qsizetype(keys.size()), kMinimumRowsPerThread, [&](qsizetype begin, qsizetype end) {
        for (auto k = size_t(begin); k < size_t(end); ++k) {
            const quint32 i = results_[k];
            keys[k] =
                plainTexts ? double(candidates_.size(i)) : NumericKey(candidates_.text(i, F::Size));
        }
    });
    const std::vector<qsizetype> order = NumberSortOrder(keys, true);
    std::vector<quint32> rows(order.size());
    for (size_t k = 0; k < order.size(); ++k) {
        rows[k] = results_[size_t(order[k])];
    }
    return rows;
}

void DupSearch::fillGrid(GridTable& grid) const {
    grid.beginUpdate();
    ClearDupGrid(grid, options_.duplicateMode);
    const std::vector<quint32> rows = rowOrder();
    const qsizetype total = qsizetype(rows.size());
    if (total > 0) {
        grid.setRowCount(1);
        // The cells go in as the UTF-8 bytes the list keeps or makes; the batch decodes
        // only cells that are not ASCII, so each cell holds the same text as rowCells()
        // gives. Fields are read as views of the list's own bytes and the path is put
        // together in storage reused from row to row: a row allocates only its block.
        // Two halves of the rows are written at once, each by a batch of its own, and
        // then appended in order.
        candidates_.makeTexts();
        GridRowBatch firstRows(grid);
        GridRowBatch lastRows(grid);
        SplitWork(total, kMinimumRowsPerThread, [&](qsizetype begin, qsizetype end) {
            GridRowBatch& batch = begin == 0 ? firstRows : lastRows;
            batch.reserve(end - begin);
            std::string path;
            char sizeBuffer[ThousandsText::kMaxUtf8];
            QByteArray type;
            for (qsizetype k = begin; k < end; ++k) {
                if (k + 16 < end) {
                    candidates_.prefetch(rows[size_t(k + 16)], 0);
                }
                if (k + 8 < end) {
                    candidates_.prefetch(rows[size_t(k + 8)], 1);
                }
                const qsizetype i = rows[size_t(k)];
                const QByteArrayView prefix = candidates_.fieldBytes(i, F::Path, sizeBuffer);
                const QByteArrayView name = candidates_.name(i);
                path.assign(prefix.data(), size_t(prefix.size()));
                path.append(name.data(), size_t(name.size()));
                const QByteArrayView pathView(path.data(), qsizetype(path.size()));
                const auto field = [&](DupField f) {
                    return candidates_.fieldBytes(i, f, sizeBuffer);
                };
                if (options_.duplicateMode) {
                    QByteArrayView typeCell = field(F::Type);
                    if (hasTypeNote(k)) {
                        type = typeCell.toByteArray();
                        appendTypeNote(k, type);
                        typeCell = type;
                    }
                    // Name, Size, Modified, Time, Access, Folder, Type.
                    const QByteArrayView cells[] = {
                        name,           field(F::Size),   field(F::Modified),
                        field(F::Time), field(F::Access), field(F::Folder),
                        typeCell};
                    batch.addRow(cells, pathView, 0, bands_[size_t(k)]);
                } else {
                    // Size, Modified, Time, Access, FileName, Type.
                    const QByteArrayView cells[] = {field(F::Size), field(F::Modified),
                                                    field(F::Time), field(F::Access),
                                                    pathView,       field(F::Type)};
                    batch.addRow(cells, pathView);
                }
            }
        });
        firstRows.commit();
        lastRows.commit();
    }
    grid.endUpdate();
}

QList<QByteArray> DupRowBytes(const GridTable& grid, qsizetype row, bool duplicateMode) {
    return duplicateMode ? GridRowBytes(grid, row, {kDupNameColumn, kDupFolderColumn, -1})
                         : GridRowBytes(grid, row, {-1, -1, kHogPathColumn});
}

void DupWalkHooks::onFile(const WalkFolder& folder, const platform::DirEntry& entry) {
    if (full_) {
        return;
    }
    if (search_.addFile(folder, entry) == DupSearch::Step::Full) {
        full_ = true;
        onListFull();
    }
}

const char* SizeUnitText(SizeUnit unit) {
    switch (unit) {
        case SizeUnit::Bytes:
            return kUnitBytesText;
        case SizeUnit::KB:
            return kUnitKBText;
        case SizeUnit::MB:
            return kUnitMBText;
        case SizeUnit::GB:
            return kUnitGBText;
    }
    return kUnitBytesText;
}

qint64 SizeUnitsInBytes(qint64 count, SizeUnit unit) {
    if (count < 1) {
        return 0;
    }
    const int shift = unit == SizeUnit::GB   ? 30
                      : unit == SizeUnit::MB ? 20
                      : unit == SizeUnit::KB ? 10
                                             : 0;
    const qint64 max = std::numeric_limits<qint64>::max();
    return count > (max >> shift) ? max : count << shift;
}

QString DupReportTitle(const DupOptions& options, const QList<DriveEntry>& checked) {
    const QString unit = QLatin1String(SizeUnitText(options.unit));
    const QString n1 = QString::number(options.num1);
    const QString n2 = QString::number(options.num2);
    QString title = QLatin1String(options.duplicateMode ? "Duplicates " : "File Hogs ");
    switch (options.sizeTest) {
        case SizeTest::LargerOrEqual:
            title += QStringLiteral("larger or equal to ") + n1 + u' ' + unit;
            break;
        case SizeTest::SmallerOrEqual:
            title += QStringLiteral("smaller or equal to") + u' ' + n1 + u' ' + unit;
            break;
        case SizeTest::Between:
            title += QStringLiteral("in between ") + n1 + u' ' + unit + QStringLiteral(" and ") +
                     n2 + u' ' + unit;
            break;
    }
    title += QStringLiteral(" matching ") + options.pattern;
    title += QStringLiteral(" on drive(s) ");
    for (const DriveEntry& e : checked) {
        title += DriveWord(e) + u' ';
    }
    return title;
}

}  // namespace dw
