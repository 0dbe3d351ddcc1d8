#include "cli/walk_command.h"

#include <QFile>

#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "scan/drive_entry.h"

namespace dw::cli {

namespace {

class CountingHooks final : public WalkHooks {
public:
    explicit CountingHooks(WalkCounts& counts) : counts_(counts) {}

    void onFile(const WalkFolder&, const platform::DirEntry& entry) override {
        ++counts_.files;
        counts_.bytes += entry.size;
    }
    void onFolderEntered(const WalkFolder&) override { ++counts_.folders; }
    void onUnopened(const DriveEntry&, const QString& message) override {
        tell(platform::MessageKind::Error, message);
    }

private:
    WalkCounts& counts_;
};

}  // namespace

WalkCounts countWalk(const QList<QByteArray>& folders, const WalkOptions& options) {
    WalkCounts counts;
    CountingHooks hooks(counts);
    FolderWalk walk(options, hooks);
    counts.unopened = walk.walkEntries(folderEntries(folders));
    return counts;
}

QString walkUsage() {
    return QStringLiteral(
               "Usage: %1 walk [--hidden] [--system] [--pattern P] FOLDER...\n"
               "\n"
               "Walks each FOLDER as Diskwell's finders do and prints what the walk hands\n"
               "to a finder:\n"
               "  files N     the entries handed over\n"
               "  folders N   the folders entered, each FOLDER included\n"
               "  bytes N     the sum of the sizes of the entries handed over\n"
               "\n"
               "The walk never follows a symbolic link, stays on the file system of each\n"
               "FOLDER, never enters hidden folders (name beginning with \".\"), and skips\n"
               "folders it cannot read without a message. A FOLDER given twice, or lying\n"
               "inside another FOLDER, is walked once.\n"
               "\n"
               "Options:\n"
               "  --hidden       hand over hidden files too\n"
               "  --system       hand over symbolic links, FIFOs, sockets and devices too,\n"
               "                 each as itself (a link's size is that of the link)\n"
               "  --pattern P    only names matching P (\"*\" any run, \"?\" one character,\n"
               "                 letters in either case, \";\" between several patterns;\n"
               "                 default \"*.*\", every name)\n"
               "  -h, --help     show this help\n"
               "\n"
               "Exit status: 0 done, 1 a FOLDER could not be opened (the others are still\n"
               "counted), 2 bad arguments.\n")
        .arg(QLatin1String(kProgramName));
}

int runWalk(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    WalkOptions options;
    QList<QByteArray> folders;
    OptionCursor c(args);
    while (c.next()) {
        const QByteArray& arg = c.arg();
        if (c.isOperand()) {
            folders.append(arg);
        } else if (c.isHelp()) {
            return showUsage(out, walkUsage());
        } else if (arg == "--hidden") {
            options.wantHidden = true;
        } else if (arg == "--system") {
            options.wantSystem = true;
        } else if (c.name() == "--pattern") {
            const std::optional<QByteArray> value = c.value();
            if (!value) {
                return usageError(err, "walk", QStringLiteral("--pattern needs a value"));
            }
            options.pattern = WildcardPattern(QFile::decodeName(*value));
            if (options.pattern.isEmpty()) {
                return usageError(err, "walk", QStringLiteral("the pattern is empty"));
            }
        } else {
            return usageError(err, "walk", c.unknownOptionText());
        }
    }
    if (folders.isEmpty()) {
        return usageError(err, "walk", QStringLiteral("no folder given"));
    }

    const WalkCounts counts = countWalk(folders, options);
    out << "files " << counts.files << '\n'
        << "folders " << counts.folders << '\n'
        << "bytes " << counts.bytes << '\n';
    out.flush();
    return counts.unopened > 0 ? kExitIncomplete : kExitOk;
}

}  // namespace dw::cli
