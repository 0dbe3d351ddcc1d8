#include "finders/temp_search.h"

#include "base/file_dates.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "scan/drive_list.h"
#include "scan/type_lines.h"

namespace dw {

QString TempExtensionKey(const QString& patternOrLine) {
    const qsizetype tab = patternOrLine.indexOf(u'\t');
    const QString pattern = tab < 0 ? patternOrLine : patternOrLine.left(tab);
    return pattern.mid(1).toLower();
}

QStringList ReadTempExtensionLines(const QStringList& defaults) {
    const NumberedList stored = SettingsStore().readList(QLatin1String(settings::kTempFiles));
    const QStringList& patterns = stored.saved ? stored.entries : defaults;
    QStringList lines;
    for (const QString& p : patterns) {
        lines << TypeLine(p);
    }
    return lines;
}

bool WriteTempExtensionLines(const QStringList& lines) {
    return SettingsStore().writeList(QLatin1String(settings::kTempFiles), lines);
}

TempMatcher::TempMatcher(const QStringList& patterns) {
    for (const QString& line : patterns) {
        const QString pattern = TypeLinePattern(line);
        if (pattern.isEmpty()) {
            continue;
        }
        const bool extension =
            pattern.startsWith(QLatin1String("*.")) && !QStringView(pattern).mid(2).contains(u'.');
        if (!extension) {
            names_ << pattern.toUtf8();
            continue;
        }
        const QString key = pattern.mid(1);
        if (key.contains(u'*') || key.contains(u'?')) {
            extensions_ << key.toUtf8();
            continue;
        }
        // ASCII case folding, as the names are matched.
        QByteArray bytes = key.toUtf8();
        for (char& c : bytes) {
            if (c >= 'A' && c <= 'Z') {
                c = char(c - 'A' + 'a');
            }
        }
        exact_ << bytes;
    }
}

bool TempMatcher::isThisFileTemporary(QByteArrayView name) const {
    if (!names_.isEmpty()) {
        const QByteArray whole = name.toByteArray();
        for (const QByteArray& p : names_) {
            if (WildcardMatch(p, whole)) {
                return true;
            }
        }
    }
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0) {
        return false;
    }
    const QByteArrayView ext = name.sliced(dot);
    for (const QByteArray& key : exact_) {
        if (key.size() != ext.size()) {
            continue;
        }
        bool same = true;
        for (qsizetype i = 0; i < ext.size() && same; ++i) {
            char c = ext[i];
            if (c >= 'A' && c <= 'Z') {
                c = char(c - 'A' + 'a');
            }
            same = c == key[i];
        }
        if (same) {
            return true;
        }
    }
    if (!extensions_.isEmpty()) {
        const QByteArray extBytes = ext.toByteArray();
        for (const QByteArray& p : extensions_) {
            if (WildcardMatch(p, extBytes)) {
                return true;
            }
        }
    }
    return false;
}

QStringList TempColumnTitles() {
    return {QStringLiteral("Size"),   QStringLiteral("Modified"), QStringLiteral("Time"),
            QStringLiteral("Access"), QStringLiteral("FileName"), QStringLiteral("Type")};
}

TempSearch::TempSearch(const TempMatcher& matcher, GridTable& grid)
    : RowFinder(grid, TempColumnTitles()), matcher_(matcher) {}

void TempSearch::addFile(const WalkFolder& folder, const platform::DirEntry& entry) {
    if (platform::EntryKind(entry) != 2 || entry.isSystem() ||
        !matcher_.isThisFileTemporary(entry.name)) {
        return;
    }
    const quint32 modified = RowFinder::modified(entry);
    const QByteArray& path = pathOf(folder, entry.name);
    GridRowBatch& b = batch();
    FileRowTexts& t = texts();
    b.addCell(t.size(entry.size));
    b.addCell(t.date(modified));
    b.addCell(t.time(modified));
    b.addCell(t.date(accessed(entry)));
    b.addCell(path);
    b.addCell(t.type(entry.name));
    endRow(path);
}

WalkOptions TempWalkOptions() {
    WalkOptions options;
    options.pattern = WildcardPattern(QStringLiteral("*.*"));
    options.wantHidden = true;
    options.enterHidden = false;
    options.wantSystem = false;
    return options;
}

QString TempReportTitle(const QList<DriveEntry>& checked) {
    QString title = QStringLiteral("Temporary files on drive(s) ");
    for (const DriveEntry& e : checked) {
        title += DriveWord(e) + u' ';
    }
    return title;
}

}  // namespace dw
