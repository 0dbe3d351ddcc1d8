// From the main window, the files-by-date finder, the quick clean and the cache cleaner
// each find their files, and their marked files go through the deletion panel, which
// acts on exactly those files or comes back without acting.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QMenu>
#include <QPushButton>

#include "app/help_viewer.h"
#include "app/main_window.h"
#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "finders/dup_fixture.h"
#include "finders/ui/cache_window.h"
#include "finders/ui/clean_window.h"
#include "finders/ui/mods_window.h"
#include "finders/ui/temp_files_window.h"
#include "inspect/ui/view_window.h"
#include "platform/environment.h"
#include "safety/clean_totals.h"
#include "safety/ui/really_delete.h"
#include "support/hand_off_test.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/file_text_view.h"
#include "widgets/string_grid.h"
#include "widgets/type_list.h"

namespace dw {
namespace {

using platform::Answer;
using test::onModal;
using test::present;

class FinderHandOff : public test::HandOffTest {};

TEST_F(FinderHandOff, FilesAccessedHandsTheRangeToThePanelWhichDeletesThem) {
    const QDate day(2020, 2, 20);
    const std::time_t noon = QDateTime(day, QTime(12, 0)).toSecsSinceEpoch();
    const QByteArray odd = r_ + "/files/old/t\tab\nline\xfe.txt";
    tree_.fileOfSize("files/old/t\tab\nline\xfe.txt", 10);
    tree_.setTimes("files/old/t\tab\nline\xfe.txt", noon, noon);
    tree_.fileOfSize("files/old/t\tab", 10);  // a name that is a prefix of the one above
    tree_.setTimes("files/old/t\tab", noon + 86400 * 3, noon + 86400 * 3);
    const QByteArray kept = tree_.fileOfSize("files/kept/old.txt", 5);
    tree_.setTimes("files/kept/old.txt", noon, noon);

    TfrmMain main;
    main.GetSearchPath();
    bool seen = false;
    onModal<TfrmMods>([&](TfrmMods& w) {
        w.setDriveEntries(test::folderEntries({r_ + "/files"}));
        w.setTest(DateTest::Between);
        w.setDates(day, day);
        w.btScanClick();
        ASSERT_EQ(w.foundCount(), 2);
        w.Markall1Click();
        // First the panel is closed without acting: the finder stays.
        onModal<TfrmReallyDelete>([&](TfrmReallyDelete& p) {
            EXPECT_EQ(p.callerName(), QStringLiteral("FileDates"));
            EXPECT_EQ(p.deletionPanel(), QList<QByteArray>{odd});
            EXPECT_EQ(p.safeHarborList(), QList<QByteArray>{r_ + "/files/kept/old.txt"});
            p.findChild<QPushButton*>(QStringLiteral("btClose"))->click();
        });
        button(w, "btDelete")->click();
        EXPECT_TRUE(w.isVisible());
        onModal<TfrmReallyDelete>([&](TfrmReallyDelete& p) {
            seen = true;
            prompter_.script({Answer::Yes});
            p.findChild<QPushButton*>(QStringLiteral("btDelete"))->click();
        });
        button(w, "btDelete")->click();
    });
    button(main, "btFilesAccessed")->click();
    EXPECT_TRUE(seen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(present(odd));
    EXPECT_TRUE(present(r_ + "/files/old/t\tab"));
    EXPECT_TRUE(present(kept));
    EXPECT_EQ(readCleanTotals().Ndelete, 1);
}

TEST_F(FinderHandOff, QuickCleanSendsTheMarkedTemporaryFilesToTheTrash) {
    const QByteArray a = tree_.fileOfSize("files/a/x.TMP", 30);
    const QByteArray b = tree_.fileOfSize("files/a/.y.bak", 4);
    const QByteArray keep = tree_.fileOfSize("files/a/x.txt", 4);
    const qint64 blocks = test::allocatedBytes(a) + test::allocatedBytes(b);
    TfrmMain main;
    main.GetSearchPath();
    bool seen = false;
    onModal<TfrmClean>([&](TfrmClean& w) {
        w.setDriveEntries(test::folderEntries({r_ + "/files"}));
        w.btScanClick();
        ASSERT_EQ(w.foundCount(), 2);
        w.Markall1Click();
        onModal<TfrmReallyDelete>([&](TfrmReallyDelete& p) {
            seen = true;
            EXPECT_EQ(p.callerName(), QStringLiteral("TempClean"));
            EXPECT_EQ(p.deletionPanel().size(), 2);
            prompter_.script({Answer::Yes});
            p.findChild<QPushButton*>(QStringLiteral("btRecycle"))->click();
        });
        button(w, "btDelete")->click();
    });
    button(main, "btQuickClean")->click();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(present(a));
    EXPECT_FALSE(present(b));
    EXPECT_TRUE(present(keep));
    EXPECT_EQ(readCleanTotals().NWaste, 2);
    EXPECT_EQ(readCleanTotals().SizeWaste, blocks);
}

TEST_F(FinderHandOff, TheCacheCleanerHandsEachFileOnceAndStaysOpen) {
    const QByteArray cache = tree_.dir("home/.cache/chromium/Default/Cache/Cache_Data");
    const QByteArray f1 = tree_.fileOfSize("home/.cache/chromium/Default/Cache/Cache_Data/f_1", 8);
    const QByteArray f2 = tree_.fileOfSize("home/.cache/chromium/Default/Cache/Cache_Data/f_2", 9);
    const qint64 blocks = test::allocatedBytes(f1) + test::allocatedBytes(f2);
    test::ScopedEnv home("HOME", tree_.path("home"));
    test::ScopedEnv cacheHome("XDG_CACHE_HOME", std::nullopt);
    // The same folder listed twice.
    ASSERT_TRUE(SettingsStore().writeList(QLatin1String(settings::kCacheFiles),
                                          {QFile::decodeName(cache), QFile::decodeName(cache)}));
    TfrmMain main;
    main.GetSearchPath();
    bool seen = false;
    onModal<TfrmCache>([&](TfrmCache& w) {
        EXPECT_EQ(w.folders().size(), 2);
        onModal<TfrmReallyDelete>([&](TfrmReallyDelete& p) {
            seen = true;
            EXPECT_EQ(p.callerName(), QStringLiteral("InternetCache"));
            EXPECT_EQ(p.deletionPanel(), (QList<QByteArray>{f1, f2}));
            prompter_.script({Answer::Yes});
            p.findChild<QPushButton*>(QStringLiteral("btDelete"))->click();
        });
        w.btClear->click();
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.lastHandedOver().totalBytes, 17);
        w.btClose->click();
    });
    button(main, "btClearInternet")->click();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(present(f1));
    EXPECT_FALSE(present(f2));
    EXPECT_TRUE(present(cache));
    EXPECT_EQ(readCleanTotals().Ndelete, 2);
    EXPECT_EQ(readCleanTotals().SizeDelete, blocks);
}

}  // namespace
}  // namespace dw

namespace dw {
namespace {

TEST(FinderHelp, EachWindowOpensItsOwnGuidePage) {
    test::ScriptedPrompter prompter;
    TfrmMods mods(nullptr);
    TfrmClean clean(nullptr);
    TfrmTempFiles editor(nullptr);
    TfrmCache::Tools tools;
    test::TempTree home;
    tools.roots = {home.root(), home.path(".cache")};
    TfrmCache cache(nullptr, tools);
    const struct {
        QWidget* w;
        const char* page;
    } cases[] = {{&mods, "files-accessed.html"},
                 {&clean, "quick-clean.html"},
                 {&editor, "quick-clean.html"},
                 {&cache, "browser-caches.html"}};
    for (const auto& c : cases) {
        const QUrl url = HelpViewer::topicUrl(HelpViewer::topicOf(c.w));
        EXPECT_EQ(url.fileName(), QLatin1String(c.page)) << c.w->objectName().toStdString();
        QFile page(QLatin1Char(':') + url.path());
        ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << c.page;
        EXPECT_TRUE(page.readAll().contains("<h1>"));
    }
    cache.reject();
    editor.reject();
}

// The finders' View opens the viewer on the row's file, over the finder.
TEST_F(FinderHandOff, ViewShowsTheSelectedFileInTheViewer) {
    const QByteArray file = tree_.file("files/a/notes.tmp", "first line\nsecond line\n");
    TfrmMain main;
    main.GetSearchPath();
    QByteArray viewed;
    QString firstLine;
    onModal<TfrmClean>([&](TfrmClean& w) {
        w.setDriveEntries(test::folderEntries({r_ + "/files"}));
        w.btScanClick();
        ASSERT_EQ(w.foundCount(), 1);
        w.grid()->setCurrentRow(1);
        QAction* view = nullptr;
        for (QAction* a : w.popupMenu()->actions()) {
            if (a->text() == QStringLiteral("View")) {
                view = a;
            }
        }
        ASSERT_NE(view, nullptr);
        EXPECT_TRUE(view->isVisible());
        onModal<TfrmView>([&](TfrmView& v) {
            EXPECT_EQ(v.parentWidget(), &w);
            viewed = v.viewer()->path();
            firstLine = v.viewer()->lineText(0);
            v.reject();
        });
        view->trigger();
        button(w, "btClose")->click();
    });
    button(main, "btQuickClean")->click();
    EXPECT_EQ(viewed, file);
    EXPECT_EQ(firstLine, QStringLiteral("first line"));
}

}  // namespace
}  // namespace dw
