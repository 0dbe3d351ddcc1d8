#include <gtest/gtest.h>

#include <QSet>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "finders/temp_search.h"
#include "scan/type_lines.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

TEST(TempSearch, MatchOfOneName) {
    struct Case {
        QStringList keys;
        QByteArray name;
        bool temporary;
    };
    const QStringList tmp{QStringLiteral("*.tmp")};
    const Case cases[] = {
        {tmp, "report.tmp", true},
        {tmp, "REPORT.TMP", true},
        {tmp, "Report.Tmp", true},
        {tmp, "report.tmp.txt", false},
        {tmp, "report", false},
        {tmp, "tmp", false},
        {tmp, ".tmp", true},  // a hidden file named only by its extension
        {tmp, "report.tmpx", false},
        {tmp, "report.tm", false},
        // Keys with wildcards match as patterns.
        {{QStringLiteral("*.~*")}, "letter.~mp", true},
        {{QStringLiteral("*.~*")}, "letter.~", true},
        {{QStringLiteral("*.~*")}, "LETTER.~DOC", true},
        {{QStringLiteral("*.~*")}, "letter~.doc", false},
        {{QStringLiteral("*.b?k")}, "x.BAK", true},
        {{QStringLiteral("*.b?k")}, "x.bk", false},
        // Characters that are no wildcards match as themselves.
        {{QStringLiteral("*.$$$")}, "setup.$$$", true},
        {{QStringLiteral("*.---")}, "a.---", true},
        {{QStringLiteral("*.db$")}, "a.DB$", true},
        // Several keys: any one.
        {{QStringLiteral("*.bak"), QStringLiteral("*.old")}, "a.OLD", true},
        {{QStringLiteral("*.bak"), QStringLiteral("*.old")}, "a.new", false},
        // Entry lines (pattern, TAB, description) count as their pattern.
        {{TypeLine(QStringLiteral("*.chk"))}, "FILE0001.CHK", true},
        // A name that is not UTF-8 still has its extension.
        {tmp, "caf\xe9.tmp", true},
        {{}, "a.tmp", false},
        // An extension's wildcard never reaches past a dot.
        {{QStringLiteral("*.~*")}, "report.~draft.odt", false},
        // Other patterns take the whole name: editor backups and office lock files.
        {{QStringLiteral("*~")}, "notes.txt~", true},
        {{QStringLiteral("*~")}, "Makefile~", true},
        {{QStringLiteral("*~")}, "~notes.txt", false},
        {{QStringLiteral("*~")}, "notes.txt", false},
        {{QStringLiteral(".~lock.*#")}, ".~lock.report.odt#", true},
        {{QStringLiteral(".~lock.*#")}, ".~LOCK.Report.ODT#", true},
        {{QStringLiteral(".~lock.*#")}, ".~lock.report.odt", false},
        {{QStringLiteral(".~lock.*#")}, "x.~lock.report.odt#", false},
        {{QStringLiteral(".~lock.*#")}, ".~lock.caf\xe9.odt#", true},
        {{TypeLine(QStringLiteral("*~"))}, "a~", true},
        {{QStringLiteral("thumbs.db")}, "Thumbs.db", true},
        {{QStringLiteral("thumbs.db")}, "old.thumbs.db", false},
        {{QStringLiteral("*.tar.gz")}, "site.tar.gz", true},
        {{QStringLiteral("*.tar.gz")}, "site.gz", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TempMatcher(c.keys).isThisFileTemporary(c.name), c.temporary)
            << c.keys.join(u',').toStdString() << " / " << c.name.toStdString();
    }
    EXPECT_EQ(TempExtensionKey(QStringLiteral("*.TMP\tsome type")), ".tmp");
    EXPECT_EQ(TempExtensionKey(QStringLiteral("*.~*")), ".~*");
}

TEST(TempSearch, WalkListsHiddenButNotSystemFilesNorHiddenFolders) {
    TempTree t;
    t.fileOfSize("a/one.tmp", 10);
    t.fileOfSize("a/TWO.TMP", 2000);
    t.fileOfSize("a/keep.txt", 1);
    t.fileOfSize("a/.hidden.tmp", 3);
    t.fileOfSize(".trash/inside.tmp", 3);
    t.symlink("a/link.tmp", t.path("a/one.tmp"));
    t.fifo("a/pipe.tmp");
    const QByteArray odd = t.fileOfSize("b/new\nline\t\x80.tmp", 4);

    GridTable grid;
    TempSearch search(TempMatcher({QStringLiteral("*.tmp")}), grid);
    RowFinderHooks hooks(search);
    FolderWalk walk(TempWalkOptions(), hooks);
    search.start();
    DriveEntry e;
    e.kind = DriveEntry::Kind::ExtraFolder;
    e.startFolder = t.root();
    e.checked = true;
    walk.walkEntries({e});
    search.finish();

    QSet<QByteArray> paths;
    for (qsizetype r = 1; r < grid.rowCount(); ++r) {
        paths.insert(grid.rowData(r));
    }
    EXPECT_EQ(paths, (QSet<QByteArray>{t.path("a/one.tmp"), t.path("a/TWO.TMP"),
                                       t.path("a/.hidden.tmp"), odd}));
    EXPECT_EQ(search.foundCount(), 4);
    EXPECT_EQ(grid.rowCells(0), TempColumnTitles());
    for (qsizetype r = 1; r < grid.rowCount(); ++r) {
        if (grid.rowData(r) == t.path("a/TWO.TMP")) {
            EXPECT_EQ(grid.cell(kTempSizeColumn, r), FormatThousands(2000));
            EXPECT_EQ(grid.cell(kTempPathColumn, r), QFile::decodeName(t.path("a/TWO.TMP")));
            EXPECT_EQ(grid.cell(kTempTypeColumn, r), FileTypeName(".TMP"));
            EXPECT_FALSE(grid.cell(kTempTimeColumn, r).isEmpty());
        }
        if (grid.rowData(r) == odd) {
            EXPECT_EQ(GridRowBytes(grid, r, kTempFileCells)[kTempPathColumn], odd);
        }
    }
}

TEST(TempSearch, StoredListAndItsDefaults) {
    SettingsStore store;
    // Nothing stored: each window's own defaults.
    store.writeString(QLatin1String(settings::kTempFiles), QLatin1String(settings::kListCount),
                      QString());
    const QStringList quick = ReadTempExtensionLines(settings::defaultTempFilesForQuickClean());
    // An empty "Number" is no count: the list reads as never stored.
    ASSERT_EQ(quick.size(), 14);
    EXPECT_EQ(quick[0], TypeLine("*.bak"));
    const QStringList editor = ReadTempExtensionLines(settings::defaultTempFilesForEditor());
    EXPECT_EQ(editor.size(), 5);
    // FITS astronomy data is no temporary file; editor backups and office lock files are.
    for (const QStringList& list : {quick, editor, settings::tempFilesDefaultsButton()}) {
        const TempMatcher matcher(list);
        EXPECT_FALSE(matcher.isThisFileTemporary("m31.fts"));
        EXPECT_TRUE(matcher.isThisFileTemporary("notes.txt~"));
        EXPECT_TRUE(matcher.isThisFileTemporary(".~lock.report.odt#"));
        EXPECT_FALSE(matcher.isThisFileTemporary("report.odt"));
    }
    // A stored empty list stays empty in both.
    ASSERT_TRUE(WriteTempExtensionLines({}));
    EXPECT_TRUE(ReadTempExtensionLines(settings::defaultTempFilesForQuickClean()).isEmpty());
    EXPECT_TRUE(ReadTempExtensionLines(settings::defaultTempFilesForEditor()).isEmpty());
    // Lines are stored as their patterns and read back with the descriptions.
    const QStringList lines{TypeLine("*.old"), TypeLine("*.~*"), TypeLine(".~lock.*#")};
    ASSERT_TRUE(WriteTempExtensionLines(lines));
    EXPECT_EQ(store.readString(QLatin1String(settings::kTempFiles), "File2", QString()), "*.~*");
    EXPECT_EQ(store.readString(QLatin1String(settings::kTempFiles), "File3", QString()),
              ".~lock.*#");
    EXPECT_EQ(ReadTempExtensionLines({}), lines);
}

}  // namespace
}  // namespace dw
