#include <gtest/gtest.h>

#include <QAction>
#include <QDateEdit>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "finders/dup_fixture.h"
#include "finders/ui/cache_window.h"
#include "finders/ui/clean_window.h"
#include "finders/ui/mods_window.h"
#include "finders/ui/temp_files_window.h"
#include "scan/type_lines.h"
#include "support/modal.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/clipboard.h"
#include "widgets/elided_label.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"
#include "widgets/type_list.h"

namespace dw {
namespace {

using platform::Answer;
using test::folderEntries;
using test::TempTree;

std::time_t noonOf(const QDate& day) {
    return std::time_t(QDateTime(day, QTime(12, 0)).toSecsSinceEpoch());
}

// What the deletion panel was handed, and what it answers.
struct Panel {
    int answer = 2;
    int calls = 0;
    QList<QByteArray> files;
    QString caller;
    qint64 total = 0;
    FinderTools tools() {
        FinderTools t;
        t.reallyDelete = [this](const QList<QByteArray>& f, const QString& c, qint64 bytes) {
            ++calls;
            files = f;
            caller = c;
            total = bytes;
            return answer;
        };
        return t;
    }
};

QList<QByteArray> gridPaths(const FinderWindow& w) {
    QList<QByteArray> out;
    for (qsizetype r = 1; r <= w.foundCount(); ++r) {
        out << w.grid()->table().rowData(r);
    }
    return out;
}

QPushButton* button(QWidget& w, const char* name) {
    return w.findChild<QPushButton*>(QLatin1String(name));
}

class FinderWindows : public ::testing::Test {
protected:
    void TearDown() override { SortDirections::forRun().clear(); }
    test::ScriptedPrompter prompter_;
};

TEST_F(FinderWindows, ModsListsTheRangeMarksAndHandsOverExactPaths) {
    TempTree t;
    const QDate day(2022, 8, 15);
    const QByteArray odd = "a\tb\nc\xfe.log";
    t.fileOfSize("d/" + odd, 300);
    t.setTimes("d/" + odd, noonOf(day), noonOf(day));
    t.fileOfSize("d/before.log", 20);
    t.setTimes("d/before.log", noonOf(day.addDays(-1)), noonOf(day.addDays(-1)));
    t.fileOfSize("d/after.txt", 1);
    t.setTimes("d/after.txt", noonOf(day.addDays(1)), noonOf(day.addDays(1)));

    Panel panel;
    TfrmMods w(nullptr, nullptr, panel.tools());
    w.setDriveEntries(folderEntries({t.path("d")}));
    w.show();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Files in a range of dates"));
    EXPECT_EQ(w.startField()->date(), QDate::currentDate());
    EXPECT_EQ(w.patternItems().value(0), QStringLiteral("*.*"));
    EXPECT_EQ(w.patternDescription(), QStringLiteral("All files"));

    // The fields keep start <= end whichever moves.
    w.setTest(DateTest::Between);
    w.setDates(day, day);
    w.startField()->setDate(day.addDays(3));
    EXPECT_EQ(w.endField()->date(), day.addDays(3));
    w.endField()->setDate(day.addDays(-2));
    EXPECT_EQ(w.startField()->date(), day.addDays(-2));
    EXPECT_FALSE(w.endField()->isHidden());
    w.setTest(DateTest::OnOrAfter);
    EXPECT_TRUE(w.endField()->isHidden());

    w.setTest(DateTest::Between);
    w.setDates(day, day);
    w.btScanClick();
    EXPECT_EQ(gridPaths(w), QList<QByteArray>{t.path("d/" + odd)});
    EXPECT_EQ(w.statusText(), QStringLiteral("Found : 1"));
    EXPECT_EQ(w.grid()->table().cell(kDateFolderColumn, 1), QFile::decodeName(t.path("d")));

    // A search that finds nothing says so in the status line too.
    w.setPattern(QStringLiteral("*.none"));
    prompter_.clear();
    w.btScanClick();
    EXPECT_EQ(w.foundCount(), 0);
    EXPECT_EQ(w.statusText(), QStringLiteral("Found : 0"));
    EXPECT_EQ(prompter_.texts(), QStringList{QStringLiteral("No files found.")});

    w.setTest(DateTest::OnOrBefore);
    w.setPattern(QStringLiteral("*.log"));
    EXPECT_EQ(w.patternDescription(), FileTypeName(QStringLiteral(".log")));
    w.btScanClick();
    EXPECT_EQ(w.foundCount(), 2);
    EXPECT_EQ(w.reportTitle(), "Files Last accessed before " + DateToTextSafe(day));

    // Marks by the rows' paths; the clipboard's file names are those paths.
    w.Markall1Click();
    EXPECT_EQ(w.statusText(), test::markedStatus(2, gridPaths(w)));
    w.btClipClick(ClipboardForm::FilenamesOnly);
    EXPECT_TRUE(clipboardText().contains(QStringLiteral("before.log")));

    // The panel answers 2: the window stays; otherwise it closes.
    button(w, "btDelete")->click();
    EXPECT_EQ(panel.caller, QStringLiteral("FileDates"));
    EXPECT_EQ(QSet<QByteArray>(panel.files.begin(), panel.files.end()),
              (QSet<QByteArray>{t.path("d/" + odd), t.path("d/before.log")}));
    EXPECT_EQ(panel.total, test::allocatedBytes(panel.files));
    EXPECT_TRUE(w.isVisible());
    panel.answer = 1;
    button(w, "btDelete")->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Accepted);
}

TEST_F(FinderWindows, ModsSortsWithDirectionsThatLastForTheRun) {
    TempTree t;
    const QDate day(2021, 1, 10);
    for (int i = 0; i < 3; ++i) {
        const QByteArray name = "f" + QByteArray::number(i);
        t.fileOfSize(name, 10 * (i + 1));
        t.setTimes(name, noonOf(day.addDays(i)), noonOf(day));
    }
    const auto names = [](TfrmMods& w) {
        QStringList out;
        for (qsizetype r = 1; r <= w.foundCount(); ++r) {
            out << w.grid()->table().cell(kDateNameColumn, r);
        }
        return out;
    };
    {
        TfrmMods w(nullptr);
        w.setDriveEntries(folderEntries({t.root()}));
        w.setTest(DateTest::OnOrAfter);
        w.setDates(day, day);
        w.btScanClick();
        ASSERT_EQ(w.foundCount(), 3);
        w.sortMenu()->choose(1);  // "Access &Date": newest first
        EXPECT_EQ(names(w), (QStringList{"f2", "f1", "f0"}));
    }
    // A new window continues with the direction the last one left.
    TfrmMods w(nullptr);
    w.setDriveEntries(folderEntries({t.root()}));
    w.setTest(DateTest::OnOrAfter);
    w.setDates(day, day);
    w.btScanClick();
    w.sortMenu()->choose(1);
    EXPECT_EQ(names(w), (QStringList{"f0", "f1", "f2"}));
}

TEST_F(FinderWindows, ModsShowsTheCountWhileWalkingAndAbortsAtOnce) {
    TempTree t;
    for (int i = 0; i < 80; ++i) {
        t.fileOfSize("x/f" + QByteArray::number(i), 1);
    }
    TfrmMods w(nullptr);
    w.setDriveEntries(folderEntries({t.root()}));
    w.setTest(DateTest::OnOrBefore);
    w.setDates(QDate::currentDate(), QDate::currentDate());
    w.setPumpInterval(0);
    QStringList seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (w.isScanning() && !seen.contains(w.statusText())) {
            seen << w.statusText();
        }
    });
    watch.start(0);
    w.btScanClick();
    watch.stop();
    ASSERT_FALSE(seen.isEmpty());
    for (const QString& s : seen) {
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+ found - ")).match(s).hasMatch())
            << s.toStdString();
    }
    EXPECT_EQ(w.statusText(), QStringLiteral("Found : 80"));

    // Abort from the first pump: the warning comes at once and the walk stops.
    QTimer::singleShot(0, &w, [&] { w.btAbortClick(); });
    prompter_.clear();
    w.btScanClick();
    EXPECT_TRUE(prompter_.texts().contains(QStringLiteral("LIST INCOMPLETE ... ABORTED BY USER")));
    EXPECT_LT(w.foundCount(), 80);
}

TEST_F(FinderWindows, CleanScansTheSelectedExtensionsLargestFirstAndHandsOver) {
    TempTree t;
    t.fileOfSize("a/x.TMP", 500);
    t.fileOfSize("a/.y.tmp", 20);
    t.fileOfSize("a/z.bak", 7000);
    t.fileOfSize("a/w.~mp", 60);
    t.fileOfSize(".hidden/in.tmp", 9);
    t.symlink("a/link.tmp", t.path("a/x.TMP"));
    SettingsStore().writeString(QLatin1String(settings::kTempFiles),
                                QLatin1String(settings::kListCount), QString());

    Panel panel;
    TfrmClean w(nullptr, nullptr, panel.tools());
    w.setDriveEntries(folderEntries({t.root()}));
    w.show();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Find and delete temporary files"));
    ASSERT_EQ(w.PickList1->lines().size(), 14);
    EXPECT_EQ(w.PickList1->selectedCount(), 14);

    w.btScanClick();
    EXPECT_EQ(gridPaths(w), (QList<QByteArray>{t.path("a/z.bak"), t.path("a/x.TMP"),
                                               t.path("a/w.~mp"), t.path("a/.y.tmp")}));
    EXPECT_EQ(w.statusText(), QStringLiteral("4 tempfiles found"));
    // The next scan's sort goes the other way.
    w.btScanClick();
    EXPECT_EQ(gridPaths(w).first(), t.path("a/.y.tmp"));

    // Deselecting keeps those files out without touching the stored list.
    w.deselectAllExtensions();
    prompter_.clear();
    w.btScanClick();
    EXPECT_EQ(prompter_.texts(), QStringList{QStringLiteral("Select at least one file extension")});
    for (int i = 0; i < w.PickList1->count(); ++i) {
        if (w.PickList1->item(i)->text().startsWith(QStringLiteral("*.tmp"))) {
            w.PickList1->item(i)->setSelected(true);
        }
    }
    w.btScanClick();
    const QList<QByteArray> tmps = gridPaths(w);
    EXPECT_EQ(QSet<QByteArray>(tmps.begin(), tmps.end()),
              (QSet<QByteArray>{t.path("a/x.TMP"), t.path("a/.y.tmp")}));

    w.Markall1Click();
    button(w, "btDelete")->click();
    EXPECT_EQ(panel.caller, QStringLiteral("TempClean"));
    EXPECT_EQ(panel.total, test::allocatedBytes(panel.files));
    EXPECT_EQ(panel.files.size(), 2);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(FinderWindows, QuickCleanRunsTheFileWhereTheOtherFindersOpenIt) {
    // The item that opens a row's file with its program: "Run" in Quick clean's menu,
    // "Open" in Files accessed's.
    auto openingItems = [](const FinderWindow& w) {
        QStringList out;
        for (QAction* a : w.popupMenu()->actions()) {
            if (a->text() == QStringLiteral("Run") || a->text() == QStringLiteral("Open")) {
                out << a->text();
            }
        }
        return out;
    };
    TfrmClean clean(nullptr, nullptr, {}, [](QWidget*) {});
    TfrmMods mods(nullptr, nullptr, {});
    EXPECT_EQ(openingItems(clean), QStringList{QStringLiteral("Run")});
    EXPECT_EQ(openingItems(mods), QStringList{QStringLiteral("Open")});
}

TEST_F(FinderWindows, CleanReadsTheListAgainAfterTheEditorWithNothingSelected) {
    SettingsStore().writeString(QLatin1String(settings::kTempFiles),
                                QLatin1String(settings::kListCount), QString());
    TfrmClean w(nullptr, nullptr, {}, [](QWidget* owner) {
        // The editor with no stored list offers its five, and stores them on closing.
        TfrmTempFiles editor(owner, [] { return QStringList{TypeLine("*.xyz")}; });
        EXPECT_EQ(editor.PickList1->lines().size(), 5);
        editor.btDefaultsClick();
        EXPECT_EQ(editor.PickList1->lines().size(), 15);  // "*.temp" among the defaults
        editor.findChild<QPushButton*>(QStringLiteral("btAdd"))->click();
        editor.btClose->click();
    });
    w.btEditClick();
    EXPECT_EQ(w.PickList1->lines().size(), 16);
    EXPECT_EQ(w.PickList1->selectedCount(), 0);
    EXPECT_TRUE(w.PickList1->lines().contains(TypeLine("*.xyz")));

    // Closing the editor stores even an empty list, which stays empty in both windows.
    {
        TfrmTempFiles editor(nullptr);
        prompter_.script({Answer::Yes});
        editor.findChild<QPushButton*>(QStringLiteral("btClear"))->click();
        editor.reject();
    }
    w.ReadInFromDisk();
    EXPECT_EQ(w.PickList1->count(), 0);
    TfrmTempFiles again(nullptr);
    EXPECT_EQ(again.PickList1->count(), 0);
}

TEST_F(FinderWindows, CacheDiscoversInitializesRemovesAndClearsOnce) {
    TempTree home;
    const QByteArray ff = home.dir(".cache/mozilla/firefox/p.default/cache2/entries");
    const QByteArray flat = home.dir(
        ".var/app/com.brave.Browser/cache/BraveSoftware/Brave-Browser/Default/Cache/"
        "Cache_Data");
    const QDate today = QDate::currentDate();
    const QByteArray odd = ff + "/e\tn\nd\xff";
    home.fileOfSize(".cache/mozilla/firefox/p.default/cache2/entries/e\tn\nd\xff", 40);
    home.setTimes(".cache/mozilla/firefox/p.default/cache2/entries/e\tn\nd\xff",
                  noonOf(today.addDays(-10)), noonOf(today.addDays(-10)));
    home.fileOfSize(".cache/mozilla/firefox/p.default/cache2/entries/fresh", 2);
    home.fileOfSize(
        ".var/app/com.brave.Browser/cache/BraveSoftware/Brave-Browser/Default/"
        "Cache/Cache_Data/b1",
        5);
    SettingsStore().writeString(QLatin1String(settings::kCacheFiles),
                                QLatin1String(settings::kListCount), QString());

    Panel panel;
    TfrmCache::Tools tools;
    tools.reallyDelete = panel.tools().reallyDelete;
    tools.roots = {home.root(), home.path(".cache")};
    QByteArray chosen = ff;
    tools.chooseFolder = [&](QWidget*) { return chosen; };
    {
        TfrmCache w(nullptr, tools);
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Internet Browser Cache Folders"));
        // First discovery: native and packaged folders; "Initialize" hidden.
        EXPECT_EQ(w.folders(), (QList<QByteArray>{ff, flat}));
        EXPECT_TRUE(w.btInit->isHidden());
        EXPECT_EQ(w.nDays->value(), 0);

        // Listed twice: each file once, and the total agrees.
        w.btAddClick();
        ASSERT_EQ(w.folders().size(), 3);
        w.nDays->setValue(7);
        w.btClearClick();
        EXPECT_EQ(panel.caller, QStringLiteral("InternetCache"));
        EXPECT_EQ(panel.files, QList<QByteArray>{odd});
        EXPECT_EQ(panel.total, 40);
        EXPECT_EQ(w.result(), 0);  // the dialog stays open after the panel

        w.nDays->setValue(100);
        prompter_.clear();
        panel.calls = 0;
        w.btClearClick();
        EXPECT_EQ(prompter_.texts(), QStringList{QStringLiteral("No files found to clear")});
        EXPECT_EQ(panel.calls, 0);

        // Removing needs a selection and an OK.
        w.ListBox1->clearSelection();
        w.ListBox1->setCurrentRow(-1);
        prompter_.clear();
        w.btDelClick();
        EXPECT_EQ(prompter_.texts(),
                  QStringList{QStringLiteral("Select a folder from the list above")});
        for (int i = 0; i < 3; ++i) {
            w.ListBox1->setCurrentRow(0);
            prompter_.script({Answer::Ok});
            w.btDelClick();
        }
        EXPECT_TRUE(w.folders().isEmpty());
        EXPECT_FALSE(w.btInit->isHidden());
        w.reject();  // stores the empty list
    }
    {
        // No discovery for a stored empty list; "Initialize" finds native and packaged.
        TfrmCache w(nullptr, tools);
        EXPECT_TRUE(w.folders().isEmpty());
        w.btInitClick();
        EXPECT_EQ(w.folders(), (QList<QByteArray>{ff, flat}));
        EXPECT_TRUE(w.btInit->isHidden());
        w.accept();
    }
    TfrmCache w(nullptr, tools);
    EXPECT_EQ(w.folders(), (QList<QByteArray>{ff, flat}));

    // Nothing anywhere: "Initialize" says so and stays.
    TempTree empty;
    tools.roots = {empty.root(), empty.path(".cache")};
    {
        TfrmCache e(nullptr, tools);
        while (!e.folders().isEmpty()) {
            e.ListBox1->setCurrentRow(0);
            prompter_.script({Answer::Ok});
            e.btDelClick();
        }
        prompter_.clear();
        e.btInitClick();
        EXPECT_TRUE(prompter_.texts().value(0).startsWith(
            QStringLiteral("Could not find any internet cache folders on your machine.")));
        EXPECT_FALSE(e.btInit->isHidden());
        e.reject();
    }
}

TEST_F(FinderWindows, CacheCountsWhileCollectingAndAbortHandsNothingOver) {
    TempTree home;
    const QByteArray ff = home.dir(".cache/mozilla/firefox/p.default/cache2/entries");
    for (int i = 0; i < 200; ++i) {
        home.fileOfSize(".cache/mozilla/firefox/p.default/cache2/entries/f" + QByteArray::number(i),
                        1);
    }
    Panel panel;
    TfrmCache::Tools tools;
    tools.reallyDelete = panel.tools().reallyDelete;
    tools.roots = {home.root(), home.path(".cache")};
    ASSERT_TRUE(WriteCacheFolders({ff}));
    TfrmCache w(nullptr, tools);
    w.setPumpInterval(0);
    QStringList seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (w.isCollecting() && !seen.contains(w.pnlSel->text())) {
            seen << w.pnlSel->text();
        }
    });
    watch.start(0);
    w.btClearClick();
    watch.stop();
    ASSERT_FALSE(seen.isEmpty());
    for (const QString& s : seen) {
        EXPECT_TRUE(s.isEmpty() || s.endsWith(QFile::decodeName(ff))) << s.toStdString();
    }
    EXPECT_EQ(panel.calls, 1);
    EXPECT_EQ(panel.files.size(), 200);
    EXPECT_TRUE(w.btClear->isEnabled());

    QTimer::singleShot(0, &w, [&] { w.btAbortClick(); });
    prompter_.clear();
    w.btClearClick();
    EXPECT_TRUE(w.lastHandedOver().aborted);
    EXPECT_EQ(panel.calls, 1);
    EXPECT_EQ(prompter_.texts(),
              QStringList{QStringLiteral("LIST INCOMPLETE ... ABORTED BY USER")});
    w.reject();
}

}  // namespace
}  // namespace dw
