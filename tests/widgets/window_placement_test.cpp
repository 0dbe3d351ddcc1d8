#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "support/scoped_env.h"
#include "widgets/window_placement.h"

namespace dw {
namespace {

class WindowPlacementTest : public ::testing::Test {
protected:
    static QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    // Centred to within the window frame, which the platform adds only once the window
    // is shown.
    static bool centred(const QWidget& w) {
        const QPoint frame = w.frameGeometry().bottomRight() - w.geometry().bottomRight();
        return (w.frameGeometry().center() - available().center()).manhattanLength() <=
               frame.manhattanLength() + 2;
    }

    static void store(const settings::PlacementKey& where, const PlacementRecord& r) {
        ASSERT_TRUE(SettingsStore().writePlacement(QString::fromLatin1(where.key),
                                                   placementSubkey(where),
                                                   QString::fromLatin1(where.valueName), r));
    }
    static PlacementRecord stored(const settings::PlacementKey& where) {
        return SettingsStore().readPlacement(QString::fromLatin1(where.key), placementSubkey(where),
                                             QString::fromLatin1(where.valueName));
    }

    QTemporaryDir dir_;
    test::ScopedEnv config_{"DISKWELL_CONFIG_DIR", dir_.path().toLocal8Bit()};
};

TEST_F(WindowPlacementTest, WithoutARecordTheWindowIsCentred) {
    QWidget w;
    w.resize(300, 200);
    restoreWindowPlacement(&w, settings::kPlacementViewer);
    w.show();
    EXPECT_EQ(w.size(), QSize(300, 200));
    EXPECT_TRUE(centred(w));
    EXPECT_FALSE(w.isMaximized());
}

TEST_F(WindowPlacementTest, RecordIsAppliedWithExclusiveRightAndBottom) {
    struct Case {
        PlacementRecord record;
        bool minimized;
        bool maximized;
    };
    const Case cases[] = {
        {{0, 1, -1, -1, -1, -1, 10, 20, 410, 320}, false, false},
        {{0, 2, -1, -1, -1, -1, 10, 20, 410, 320}, true, false},
        {{0, 3, -1, -1, -1, -1, 10, 20, 410, 320}, false, true},
        // A show command that would hide the window is taken as normal.
        {{0, 0, -1, -1, -1, -1, 10, 20, 410, 320}, false, false},
    };
    for (const Case& c : cases) {
        store(settings::kPlacementBrowser, c.record);
        QWidget w;
        restoreWindowPlacement(&w, settings::kPlacementBrowser);
        w.show();
        EXPECT_EQ(w.normalGeometry(), QRect(10, 20, 400, 300)) << c.record.showCommand;
        EXPECT_EQ(w.isMinimized(), c.minimized) << c.record.showCommand;
        EXPECT_EQ(w.isMaximized(), c.maximized) << c.record.showCommand;
        EXPECT_TRUE(w.isVisible());
    }
}

TEST_F(WindowPlacementTest, RecordsThatWouldLoseTheWindowAreKeptOnScreen) {
    const QRect avail = available();
    enum class Expect { Centred, FillsTheScreen, Exactly };
    struct Case {
        const char* what;
        PlacementRecord record;
        Expect expect;
        QRect rect;  // the size when centred, the geometry when exact
    };
    const Case cases[] = {
        {"not applicable",
         {0, 1, 0, 0, 0, 0, 500, 20, 400, 320},
         Expect::Centred,
         QRect(0, 0, 200, 100)},
        {"on no screen",
         {0, 1, 0, 0, 0, 0, 40000, 40000, 40300, 40200},
         Expect::Centred,
         QRect(0, 0, 300, 200)},
        {"larger than the screen",
         {0, 1, 0, 0, 0, 0, avail.left() - 50, avail.top() - 50, avail.right() + 2000,
          avail.bottom() + 2000},
         Expect::FillsTheScreen,
         {}},
        {"partly off the right edge",
         {0, 1, 0, 0, 0, 0, avail.right() - 100, 20, avail.right() + 200, 220},
         Expect::Exactly,
         QRect(avail.right() - 299, 20, 300, 200)},
        // Saved at twice the scale: most of the window lay beyond the screen.
        {"mostly off the bottom right",
         {0, 1, 0, 0, 0, 0, avail.right() - 10, avail.bottom() - 10, avail.right() + 390,
          avail.bottom() + 290},
         Expect::Exactly,
         QRect(avail.right() - 399, avail.bottom() - 299, 400, 300)},
        {"above and left of the screen",
         {0, 1, 0, 0, 0, 0, avail.left() - 150, avail.top() - 100, avail.left() + 150,
          avail.top() + 100},
         Expect::Exactly,
         QRect(avail.left(), avail.top(), 300, 200)},
    };
    for (const Case& c : cases) {
        store(settings::kPlacementViewer, c.record);
        QWidget w;
        w.resize(200, 100);
        // As the windows do it: at the end of the first show, when the frame is known.
        w.show();
        restoreWindowPlacement(&w, settings::kPlacementViewer);
        switch (c.expect) {
            case Expect::Centred:
                EXPECT_EQ(w.size(), c.rect.size()) << c.what;
                EXPECT_TRUE(centred(w)) << c.what;
                break;
            case Expect::FillsTheScreen:
                // The platform may take the frame off the size; the window stays on screen.
                EXPECT_TRUE(avail.contains(w.geometry())) << c.what;
                EXPECT_GE(w.width(), avail.width() - 20) << c.what;
                EXPECT_GE(w.height(), avail.height() - 60) << c.what;
                break;
            case Expect::Exactly:
                EXPECT_EQ(w.geometry(), c.rect) << c.what;
                break;
        }
    }
}

TEST_F(WindowPlacementTest, SavedRecordHoldsTheNormalRectangleAndState) {
    QWidget w;
    w.setGeometry(30, 40, 200, 100);
    w.show();
    ASSERT_TRUE(saveWindowPlacement(&w, settings::kPlacementQuickClean));
    EXPECT_EQ(stored(settings::kPlacementQuickClean),
              (PlacementRecord{0, 1, -1, -1, -1, -1, 30, 40, 230, 140}));

    w.showMaximized();
    ASSERT_TRUE(saveWindowPlacement(&w, settings::kPlacementQuickClean));
    EXPECT_EQ(stored(settings::kPlacementQuickClean),
              (PlacementRecord{0, 3, -1, -1, -1, -1, 30, 40, 230, 140}));

    // A window that is not a top-level window has no placement to save.
    QWidget child(&w);
    EXPECT_FALSE(saveWindowPlacement(&child, settings::kPlacementQuickClean));
    EXPECT_FALSE(saveWindowPlacement(nullptr, settings::kPlacementQuickClean));
    EXPECT_EQ(stored(settings::kPlacementQuickClean).showCommand, 3);
}

TEST_F(WindowPlacementTest, DuplicateAndFileHogModesRememberTheirOwnPlacement) {
    {
        QWidget dups;
        dups.setGeometry(10, 20, 300, 200);
        dups.show();
        QWidget hogs;
        hogs.setGeometry(60, 70, 250, 150);
        hogs.show();
        ASSERT_TRUE(saveWindowPlacement(&dups, settings::kPlacementDuplicates));
        ASSERT_TRUE(saveWindowPlacement(&hogs, settings::kPlacementFileHogs));
        // The quick clean shares the value name, not the subkey.
        QWidget clean;
        clean.setGeometry(5, 5, 120, 90);
        clean.show();
        ASSERT_TRUE(saveWindowPlacement(&clean, settings::kPlacementQuickClean));
    }
    QWidget dups;
    restoreWindowPlacement(&dups, settings::kPlacementDuplicates);
    dups.show();
    QWidget hogs;
    restoreWindowPlacement(&hogs, settings::kPlacementFileHogs);
    hogs.show();
    EXPECT_EQ(dups.geometry(), QRect(10, 20, 300, 200));
    EXPECT_EQ(hogs.geometry(), QRect(60, 70, 250, 150));
}

}  // namespace
}  // namespace dw
