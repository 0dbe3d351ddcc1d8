#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

#include "finders/dup_fixture.h"
#include "finders/dup_search.h"
#include "finders/ui/dup_compare_window.h"
#include "finders/ui/dup_window.h"
#include "safety/folder_list.h"
#include "safety/safe_harbor.h"
#include "support/pe_image.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/file_icon.h"
#include "widgets/string_grid.h"

namespace dw {
namespace {

using test::TempTree;

constexpr std::time_t kT0 = 1614853230;

// The duplicates window over `root` with every size, `criterion` ("Filename only" unless
// given), its Pairs showing `compare`.
struct Pairs {
    Pairs(const QByteArray& root, const SafeHarbor* harbor, TfrmDupCompare::Tools tools = {},
          int criterion = 0)
        : compare(harbor, nullptr, std::move(tools)), dup(true, harbor, nullptr, dupTools()) {
        dup.setDriveEntries(test::folderEntries({root}));
        dup.findChild<QComboBox*>(QStringLiteral("cbDup"))->setCurrentIndex(criterion);
        dup.findChild<QComboBox*>(QStringLiteral("cbKB1"))->setCurrentIndex(0);
        dup.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(0);
        dup.show();
        dup.btScanClick();
    }
    ~Pairs() { compare.release(); }
    TfrmDup::Tools dupTools() {
        TfrmDup::Tools t;
        t.comparePairs = [this](TfrmDup& source) { compare.showFor(source); };
        return t;
    }
    QPushButton* button(const char* name) {
        return compare.findChild<QPushButton*>(QLatin1String(name));
    }
    qsizetype rowOf(const QByteArray& path) {
        for (qsizetype r = 1; r < dup.grid()->table().rowCount(); ++r) {
            if (dup.grid()->table().rowData(r) == path) {
                return r;
            }
        }
        return -1;
    }

    TfrmDupCompare compare;
    TfrmDup dup;
};

// Three groups of two equal files, two of them of one size: under "Same contents" next
// and previous stop at every group's pair, whatever order the groups come in.
TEST(DupCompareWindow, SameContentsPairsStepThroughEveryGroup) {
    test::ScriptedPrompter prompter;
    TempTree t;
    t.file("a/one", "aaaaaaaaaa");
    t.file("b/one", "aaaaaaaaaa");
    t.file("a/two", "bbbbbbbbbb");
    t.file("b/two", "bbbbbbbbbb");
    t.file("a/three", "cccccccccccccccccccc");
    t.file("b/three", "cccccccccccccccccccc");
    Pairs p(t.root(), nullptr, {}, kContentCriterion);
    ASSERT_EQ(p.dup.resultCount(), 6);
    p.dup.grid()->setCurrentRow(1);
    p.dup.findChild<QPushButton*>(QStringLiteral("btCompare"))->click();
    ASSERT_EQ(p.compare.currentRow(), 1);
    for (const qsizetype expected : {3, 5, 5}) {
        p.button("sbR1")->click();
        EXPECT_EQ(p.compare.currentRow(), expected);
        const QStringList left = p.compare.paneTexts(0);
        EXPECT_EQ(left[0], p.compare.paneTexts(1)[0]);  // a pair of one group: one name
    }
    for (const qsizetype expected : {3, 1, 1}) {
        p.button("sbL1")->click();
        EXPECT_EQ(p.compare.currentRow(), expected);
    }
}

TEST(DupCompareWindow, WalksThePairsComparesAndMarksInTheDuplicatesWindow) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    test::ScriptedPrompter prompter;
    TempTree t;
    // LOG.TXT three times (the first two differ in one byte), README.TXT twice, alike.
    const QByteArray log1 = t.file("a/LOG.TXT", "log-a");
    const QByteArray log2 = t.file("b/LOG.TXT", "log-b");
    t.file("c/log.txt", "log-b");
    t.file("d/README.TXT", "hello");
    const QByteArray readme2 = t.file("e/readme.txt", "hello");
    // The rows of a group follow their dates and times, then their folders.
    t.setTimes("a/LOG.TXT", kT0, kT0);
    t.setTimes("b/LOG.TXT", kT0, kT0 + 3600);
    t.setTimes("c/log.txt", kT0, kT0 + 7200);
    t.setTimes("d/README.TXT", kT0, kT0);
    t.setTimes("e/readme.txt", kT0, kT0);
    // The second folder is on the Safe Harbor list.
    QTemporaryDir dir;
    const QString folders = dir.filePath(QStringLiteral("folders.txt"));
    ASSERT_TRUE(SaveFolderList(folders, {t.path("b") + "/"}));
    SafeHarbor harbor;
    SafeHarbor::Sources sources;
    sources.foldersFile = folders;
    harbor.GetSearchPath(sources);

    Pairs p(t.root(), &harbor);
    ASSERT_EQ(p.dup.resultCount(), 5);
    ASSERT_EQ(p.rowOf(log1), 1);
    ASSERT_EQ(p.rowOf(log2), 2);
    p.dup.grid()->setCurrentRow(1);
    QPushButton* pairsButton = p.dup.findChild<QPushButton*>(QStringLiteral("btCompare"));
    ASSERT_TRUE(pairsButton->isVisible());
    pairsButton->click();
    ASSERT_TRUE(p.compare.isVisible());
    EXPECT_EQ(p.compare.windowTitle(), QStringLiteral("Compare file pairs"));
    EXPECT_EQ(p.compare.parentWidget(), &p.dup);
    EXPECT_EQ(p.compare.currentRow(), 1);

    QStringList left = p.compare.paneTexts(0);
    QStringList right = p.compare.paneTexts(1);
    EXPECT_EQ(left[0], QStringLiteral("LOG.TXT"));
    EXPECT_EQ(left[1], QFile::decodeName(t.path("a")));
    EXPECT_EQ(left[2], QStringLiteral("5 bytes"));
    EXPECT_EQ(left[8], QString());  // no CRC until asked
    EXPECT_EQ(left[9], QString());
    EXPECT_EQ(right[9], QStringLiteral("** In Non-Delete List **"));
    EXPECT_FALSE(p.compare.highlighted(0, 2));
    EXPECT_TRUE(p.compare.highlighted(0, 5));  // the modification dates differ
    EXPECT_EQ(p.compare.arrow(1), '>');        // the right file is more recent
    EXPECT_EQ(p.compare.arrow(2), '=');
    EXPECT_EQ(p.compare.versionLines(0), QStringList{QStringLiteral("Extended profile absent")});
    EXPECT_FALSE(p.compare.versionListsShown());

    // "&CRC": one byte apart.
    p.button("btCompute")->click();
    left = p.compare.paneTexts(0);
    right = p.compare.paneTexts(1);
    EXPECT_TRUE(left[8].endsWith(QStringLiteral(" file contents differ"))) << left[8].toStdString();
    EXPECT_TRUE(p.compare.highlighted(0, 8));
    EXPECT_TRUE(p.compare.highlighted(1, 8));

    // With the automatic check the next pairs get their values as they show. Next: the
    // two alike LOG files, then the README pair (rows 3 and 4 do not match), then nothing.
    p.compare.autoCrc()->setChecked(true);
    QTest::keyClick(&p.compare, Qt::Key_PageDown);
    EXPECT_EQ(p.compare.currentRow(), 2);
    EXPECT_EQ(p.dup.grid()->currentRow(), 2);
    EXPECT_TRUE(p.compare.paneTexts(0)[8].endsWith(QStringLiteral(" file contents are identical")));
    EXPECT_FALSE(p.compare.highlighted(0, 8));
    p.button("sbR1")->click();
    EXPECT_EQ(p.compare.currentRow(), 4);
    EXPECT_EQ(p.compare.paneTexts(1)[0], QStringLiteral("readme.txt"));
    p.button("sbR1")->click();
    EXPECT_EQ(p.compare.currentRow(), 4);
    QTest::keyClick(&p.compare, Qt::Key_PageUp);
    EXPECT_EQ(p.compare.currentRow(), 2);
    p.button("sbR1")->click();

    // "M&ark" marks the right file in the duplicates window, and again unmarks it.
    p.button("btMark2")->click();
    EXPECT_TRUE(p.dup.grid()->table().isMarked(5));
    EXPECT_EQ(p.dup.marks().paths(), QList<QByteArray>{readme2});
    EXPECT_TRUE(p.dup.statusText().startsWith(QStringLiteral("1 files")))
        << p.dup.statusText().toStdString();
    p.button("btMark2")->click();
    EXPECT_FALSE(p.dup.grid()->table().isMarked(5));

    // Files that cannot be read are never called identical.
    QFile::remove(QFile::decodeName(t.path("d/README.TXT")));
    QFile::remove(QFile::decodeName(readme2));
    p.button("btCompute")->click();
    EXPECT_EQ(p.compare.paneTexts(0)[8], QStringLiteral("unreadable"));
    EXPECT_EQ(p.compare.paneTexts(1)[8], QStringLiteral("unreadable"));
    // A pane whose file has gone keeps what it showed, but not its check value.
    p.button("sbL1")->click();
    p.button("sbR1")->click();
    EXPECT_EQ(p.compare.currentRow(), 4);
    EXPECT_EQ(p.compare.paneTexts(1)[0], QStringLiteral("log.txt"));
    EXPECT_EQ(p.compare.paneTexts(1)[8], QStringLiteral("unreadable"));

    // Close only hides; release hands the window back before its source goes.
    p.compare.findChild<QPushButton*>(QStringLiteral("btClose"))->click();
    EXPECT_FALSE(p.compare.isVisible());
    p.compare.release();
    EXPECT_EQ(p.compare.parentWidget(), nullptr);
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

TEST(DupCompareWindow, VersionLinesPrintingAndTheOtherButtons) {
    test::ScriptedPrompter prompter;
    TempTree t;
    test::PeVersion v1;
    v1.strings = {{QStringLiteral("CompanyName"), QStringLiteral("Brightwater")},
                  {QStringLiteral("FileVersion"), QStringLiteral("3.0")}};
    test::PeVersion v2 = v1;
    v2.strings[1].second = QStringLiteral("3.1");
    const QByteArray one = t.file("one/tool.exe", test::PeBuilder::image(&v1));
    const QByteArray two = t.file("two/tool.exe", test::PeBuilder::image(&v2));

    QList<QByteArray> viewed;
    QList<QByteArray> browsed;
    TfrmDupCompare::Tools tools;
    tools.view = [&](const QByteArray& f) { viewed << f; };
    tools.browse = [&](const QByteArray& f, const QString& mask) {
        browsed << f;
        EXPECT_EQ(mask, QStringLiteral("*.*"));
    };
    Pairs p(t.root(), nullptr, tools);
    ASSERT_EQ(p.dup.resultCount(), 2);
    p.dup.grid()->setCurrentRow(1);
    p.compare.showFor(p.dup);
    const QByteArray left = p.dup.grid()->table().rowData(1);
    const QByteArray right = left == one ? two : one;

    EXPECT_TRUE(p.compare.versionListsShown());
    EXPECT_EQ(p.compare.versionLines(0).size(), 11);
    EXPECT_EQ(p.compare.versionLines(0)[0], QStringLiteral("Company: Brightwater"));
    EXPECT_NE(p.compare.versionLines(0)[2], p.compare.versionLines(1)[2]);
    EXPECT_NE(p.compare.iconKey(0), DirectoryIcon().cacheKey());

    p.button("btView2")->click();
    p.button("btBrowse1")->click();
    EXPECT_EQ(viewed, QList<QByteArray>{right});
    EXPECT_EQ(browsed, QList<QByteArray>{left});

    // Printing: to a PDF, the window's picture; a cancelled dialog prints nothing.
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("pairs.pdf"));
    p.compare.setPrintDialog([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    p.button("btPrint")->click();
    EXPECT_GT(QFileInfo(pdf).size(), 1000);
    EXPECT_TRUE(p.compare.versionListsShown());  // the window is as it was
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

}  // namespace
}  // namespace dw
