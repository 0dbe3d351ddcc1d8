#include "cli/stats_command.h"

#include <QFile>

#include <optional>

#include "base/tsv_text.h"
#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "platform/volumes.h"
#include "scan/drive_entry.h"
#include "stats/stat_collection.h"

namespace dw::cli {

namespace {

class StatsHooks final : public StatWalkHooks {
public:
    using StatWalkHooks::StatWalkHooks;
    void onUnopened(const DriveEntry&, const QString& message) override {
        tell(platform::MessageKind::Error, message);
    }
};

void section(QTextStream& out, const char* name, const char* header) {
    out << "# " << name << '\n' << header << '\n';
}

void tallyRow(QTextStream& out, const QString& label, const FileTally& t) {
    out << label << '\t' << t.files << '\t' << t.bytes << '\n';
}

void ageSection(QTextStream& out, const char* name, const std::array<FileTally, kAgeBuckets>& a) {
    section(out, name, "bucket\tfiles\tbytes");
    for (int k = 0; k < kAgeBuckets; ++k) {
        tallyRow(out, QLatin1String(kAgeLabels[k]), a[k]);
    }
}

// The page's order of the attribute rows.
constexpr int kAttributeRows[kAttributeKinds] = {1, 0, 2, 3};

}  // namespace

void writeStatSections(const StatTallies& t, QTextStream& out) {
    section(out, "totals", "processed\tcounted\tbytes\thard_links");
    out << t.processed << '\t' << t.counted << '\t' << t.totalBytes() << '\t' << t.hardLinked
        << '\n';

    section(out, "types", "extension\tfiles\tbytes");
    // One line per extension: the rows of its several types are added up.
    const QList<ExtensionTable::Row> rows = t.extensions.rows();
    for (qsizetype r = 0; r < rows.size();) {
        FileTally sum;
        const QByteArray& key = rows[r].key;
        for (; r < rows.size() && rows[r].key == key; ++r) {
            sum.files += rows[r].tally.files;
            sum.bytes += rows[r].tally.bytes;
        }
        writeBytes(out, key);
        out << '\t' << sum.files << '\t' << sum.bytes << '\n';
    }

    section(out, "sizes", "bucket\tfiles\tbytes");
    for (int k = 0; k < kSizeBuckets; ++k) {
        tallyRow(out, QLatin1String(kSizeLabels[k]), t.sizes[k]);
    }
    ageSection(out, "accessed", t.agesOf(DateKind::Accessed));
    ageSection(out, "created", t.agesOf(DateKind::Created));
    ageSection(out, "modified", t.agesOf(DateKind::Modified));

    section(out, "hours", "slot\tcreated\tmodified\taccessed");
    for (int k = 0; k < kHalfHours; ++k) {
        out << halfHourLabel(k) << '\t' << t.halfHoursOf(DateKind::Created)[k] << '\t'
            << t.halfHoursOf(DateKind::Modified)[k] << '\t' << t.halfHoursOf(DateKind::Accessed)[k]
            << '\n';
    }

    section(out, "attributes", "attribute\tfiles\tbytes");
    for (int a : kAttributeRows) {
        tallyRow(out, QLatin1String(kAttributeLabels[a]), t.attributes[a]);
    }

    section(out, "overhang", "cluster\tbytes");
    for (int c = 0; c < kOverhangSizes; ++c) {
        out << kOverhangLabels[c] << '\t' << t.overhang[c] << '\n';
    }
    out << "allocated\t" << t.allocated << '\n';
    out.flush();
}

QString statsUsage() {
    return QStringLiteral(
               "Usage: %1 stats [--hidden] [--include P... | --exclude P...] FOLDER...\n"
               "\n"
               "Collects Diskwell's disk statistics over each FOLDER and prints them as\n"
               "sections of tab-separated values: a line \"# NAME\", a header line, then\n"
               "the rows. Sections, in this order:\n"
               "  totals      processed, counted, bytes, hard_links (files with several\n"
               "              names, each counted once)\n"
               "  types       extension (\".DOC\", empty for none), files, bytes\n"
               "  sizes       the twelve size classes: bucket, files, bytes\n"
               "  accessed, created, modified\n"
               "              the ten age classes of each date: bucket, files, bytes\n"
               "  hours       48 half hours: slot, created, modified, accessed (00:00 to\n"
               "              00:29 is never counted)\n"
               "  attributes  Hidden, Read-only, System, Archive: files, bytes\n"
               "  overhang    the unused bytes of the files' last clusters for clusters of\n"
               "              4K to 64K, then \"allocated\", the bytes the files take on disk\n"
               "  space       each volume holding a FOLDER: volume (its mount point), total,\n"
               "              free (what the user can still write, as df's Avail) and\n"
               "              reserved (free blocks kept for root), in bytes\n"
               "\n"
               "The walk never follows a symbolic link (a link counts as a system file of\n"
               "its own size), stays on the file system of each FOLDER and skips folders it\n"
               "cannot read. A FOLDER given twice, or lying inside another FOLDER, is walked\n"
               "once.\n"
               "\n"
               "Options:\n"
               "  --include P    count only files of type P (\"*.doc\"; repeat for more)\n"
               "  --exclude P    count all files but those of type P (repeat for more)\n"
               "  --hidden       enter hidden folders (name beginning with \".\") too\n"
               "  -h, --help     show this help\n"
               "\n"
               "Exit status: 0 done, 1 a FOLDER could not be opened (the others are still\n"
               "counted), 2 bad arguments.\n")
        .arg(QLatin1String(kProgramName));
}

void writeSpaceSection(const QList<QByteArray>& folders, QTextStream& out) {
    section(out, "space", "volume\ttotal\tfree\treserved");
    QList<QByteArray> written;
    for (const QByteArray& folder : folders) {
        const std::optional<platform::Volume> volume = platform::mountOf(folder);
        if (!volume || written.contains(volume->mountPoint)) {
            continue;
        }
        const std::optional<platform::DriveSpace> space = platform::driveSpace(volume->mountPoint);
        if (!space) {
            continue;
        }
        written.append(volume->mountPoint);
        out << QString::fromUtf8(TsvEscape(volume->mountPoint)) << '\t' << space->total << '\t'
            << space->free << '\t' << space->reserved << '\n';
    }
    out.flush();
}

int runStats(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    TypeFilter::Mode mode = TypeFilter::Mode::All;
    QStringList patterns;
    bool enterHidden = false;
    QList<QByteArray> folders;
    OptionCursor c(args);
    while (c.next()) {
        const QByteArray& arg = c.arg();
        if (c.isOperand()) {
            folders.append(arg);
        } else if (c.isHelp()) {
            return showUsage(out, statsUsage());
        } else if (arg == "--hidden") {
            enterHidden = true;
        } else if (c.name() == "--include" || c.name() == "--exclude") {
            const bool include = c.name() == "--include";
            const std::optional<QByteArray> value = c.value();
            if (!value) {
                return usageError(
                    err, "stats",
                    QStringLiteral("%1 needs a pattern").arg(QString::fromLatin1(arg)));
            }
            const TypeFilter::Mode wanted =
                include ? TypeFilter::Mode::Include : TypeFilter::Mode::Exclude;
            if (mode != TypeFilter::Mode::All && mode != wanted) {
                return usageError(err, "stats",
                                  QStringLiteral("--include and --exclude cannot be mixed"));
            }
            mode = wanted;
            patterns.append(QFile::decodeName(*value));
        } else {
            return usageError(err, "stats", c.unknownOptionText());
        }
    }
    if (folders.isEmpty()) {
        return usageError(err, "stats", QStringLiteral("no folder given"));
    }

    const TypeFilter filter(mode, patterns);
    StatCollector collector(filter);
    StatsHooks hooks(collector);
    FolderWalk walk(statisticsWalkOptions(enterHidden), hooks);
    const int unopened = walk.walkEntries(folderEntries(folders));
    StatTallies tallies = collector.tallies();
    tallies.addFilterTypes(filter);
    writeStatSections(tallies, out);
    writeSpaceSection(folders, out);
    return unopened > 0 ? kExitIncomplete : kExitOk;
}

}  // namespace dw::cli
