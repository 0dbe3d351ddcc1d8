#include <gtest/gtest.h>

#include <QDateTime>
#include <QSet>

#include "base/file_dates.h"
#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "finders/cache_folders.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

// Lists as text, so a failure prints readable paths.
QStringList texts(const QList<QByteArray>& paths) {
    QStringList out;
    for (const QByteArray& p : paths) {
        out << QString::fromUtf8(p);
    }
    return out;
}

// A home folder holding every browser's real cache folders, with a file in each cache.
struct FakeHome {
    TempTree t;
    CacheRoots roots() const { return {t.root(), t.path(".cache")}; }
    QByteArray cache(const QByteArray& rel) {
        t.file(rel + "/f_0001", "x");
        return t.path(rel);
    }
};

TEST(CacheFolders, DiscoveryFindsEveryBrowserShapeAndProfile) {
    FakeHome h;
    const QByteArray web = h.cache(".cache/epiphany/WebKitCache/Version 16/Blobs");
    const QByteArray ffA = h.cache(".cache/mozilla/firefox/abcd.default-release/cache2/entries");
    const QByteArray ffB = h.cache(".cache/mozilla/firefox/wxyz.work/cache2/entries");
    const QByteArray chromiumDefault = h.cache(".cache/chromium/Default/Cache/Cache_Data");
    const QByteArray chromiumP1 = h.cache(".cache/chromium/Profile 1/Cache/Cache_Data");
    const QByteArray chrome = h.cache(".cache/google-chrome/Default/Cache/Cache_Data");
    const QByteArray brave = h.cache(".cache/BraveSoftware/Brave-Browser/Default/Cache/Cache_Data");
    const QByteArray vivaldi = h.cache(".cache/vivaldi/Default/Cache/Cache_Data");
    const QByteArray edge = h.cache(".cache/microsoft-edge/Profile 2/Cache/Cache_Data");
    const QByteArray ffFlatpak =
        h.cache(".var/app/org.mozilla.firefox/cache/mozilla/firefox/p1.default/cache2/entries");
    const QByteArray chromiumFlatpak =
        h.cache(".var/app/org.chromium.Chromium/cache/chromium/Default/Cache/Cache_Data");
    const QByteArray edgeFlatpak =
        h.cache(".var/app/com.microsoft.Edge/cache/microsoft-edge/Default/Cache/Cache_Data");
    const QByteArray ffSnap =
        h.cache("snap/firefox/common/.cache/mozilla/firefox/q2.default/cache2/entries");
    const QByteArray chromiumSnap =
        h.cache("snap/chromium/common/.cache/chromium/Default/Cache/Cache_Data");
    // Not caches: a profile without its cache folder, a link in place of one, the
    // profiles' settings folders.
    h.t.dir(".cache/chromium/System Profile");
    h.t.dir(".config/google-chrome/Default/Cache/Cache_Data");
    h.t.dir("elsewhere/cache2/entries");
    h.t.symlink(".cache/mozilla/firefox/linked/cache2", h.t.path("elsewhere/cache2"));

    const QList<QByteArray> native{ffA,    ffB,   chromiumDefault, chromiumP1,
                                   chrome, brave, vivaldi,         edge};
    const QList<QByteArray> packaged{ffFlatpak, ffSnap, chromiumFlatpak, chromiumSnap, edgeFlatpak};
    // The first discovery finds all three kinds; Initialize all but GNOME Web.
    EXPECT_EQ(texts(FirstCacheDiscovery(h.roots())),
              texts(QList<QByteArray>{web} + native + packaged));
    EXPECT_EQ(texts(InitializeCacheDiscovery(h.roots())), texts(native + packaged));

    // $XDG_CACHE_HOME elsewhere: the native folders follow it, the packaged ones stay.
    TempTree other;
    const QByteArray moved = other.path("c/vivaldi/Default/Cache/Cache_Data");
    other.file("c/vivaldi/Default/Cache/Cache_Data/x", "x");
    EXPECT_EQ(texts(FirstCacheDiscovery({h.t.root(), other.path("c")})),
              texts(QList<QByteArray>{moved} + packaged));
    test::ScopedEnv home("HOME", h.t.root());
    test::ScopedEnv xdg("XDG_CACHE_HOME", std::nullopt);
    EXPECT_EQ(CacheRoots::user().cacheHome, h.t.path(".cache"));
}

TEST(CacheFolders, StoredListDiscoversOnlyWhenNeverStored) {
    FakeHome h;
    const QByteArray ff = h.cache(".cache/mozilla/firefox/x.default/cache2/entries");
    const QByteArray snap =
        h.cache("snap/firefox/common/.cache/mozilla/firefox/y.default/cache2/entries");
    const QByteArray flatpak = h.cache(
        ".var/app/com.brave.Browser/cache/BraveSoftware/Brave-Browser/Default/Cache/"
        "Cache_Data");
    test::ScopedEnv home("HOME", h.t.root());
    test::ScopedEnv xdg("XDG_CACHE_HOME", std::nullopt);
    SettingsStore store;
    store.writeString(QLatin1String(settings::kCacheFiles), QLatin1String(settings::kListCount),
                      QString());
    EXPECT_EQ(ReadCacheFolders(), (QList<QByteArray>{ff, snap, flatpak}));
    ASSERT_TRUE(WriteCacheFolders({}));
    EXPECT_TRUE(ReadCacheFolders().isEmpty());
    const QByteArray odd("/tmp/caf\xe9\tcache");
    ASSERT_TRUE(WriteCacheFolders({odd, ff}));
    EXPECT_EQ(ReadCacheFolders(), (QList<QByteArray>{odd, ff}));
}

TEST(CacheFolders, AgeInDaysAroundTheLimit) {
    const QDate today(2024, 6, 15);
    const auto packedOn = [](const QDate& d) {
        return PackDosDateTime(QDateTime(d, QTime(13, 0)).toSecsSinceEpoch());
    };
    struct Case {
        int daysAgo;
        int days;
        bool cleared;
    };
    const Case cases[] = {
        {0, 0, true},   {6, 7, false},    {7, 7, true},
        {8, 7, true},   {-7, 7, true},  // a date in the future counts by its distance
        {-6, 7, false}, {100, 100, true}, {99, 100, false},
    };
    for (const Case& c : cases) {
        const int age = FileAgeDays(packedOn(today.addDays(-c.daysAgo)), today);
        EXPECT_EQ(age, std::abs(c.daysAgo));
        EXPECT_EQ(age >= c.days, c.cleared) << c.daysAgo << " " << c.days;
    }
    EXPECT_EQ(FileAgeDays(0, today), -1);
}

TEST(CacheFolders, CollectsTheOldFilesDirectlyInTheFoldersOnce) {
    TempTree t;
    const QDate today = QDate::currentDate();
    const auto at = [&](int daysAgo) {
        return std::time_t(QDateTime(today.addDays(-daysAgo), QTime(12, 0)).toSecsSinceEpoch());
    };
    t.fileOfSize("c1/old", 100);
    t.setTimes("c1/old", at(10), at(10));
    t.fileOfSize("c1/fresh", 1);
    t.setTimes("c1/fresh", at(2), at(2));
    t.fileOfSize("c1/.hidden\tname\n\xfe", 5);
    t.setTimes("c1/.hidden\tname\n\xfe", at(30), at(30));
    t.fileOfSize("c1/sub/deep", 7);
    t.setTimes("c1/sub/deep", at(30), at(30));
    t.fileOfSize("c1/ancient", 9);
    t.setTimes("c1/ancient", 86400, 86400);  // 1970: no date that can be packed
    t.dir("onlyfolders/a");
    t.symlink("alias", t.root() + "/c1");

    const CacheFiles some = CollectCacheFiles({t.path("c1"), t.path("missing")}, 5, today);
    EXPECT_EQ(QSet<QByteArray>(some.paths.begin(), some.paths.end()),
              (QSet<QByteArray>{t.path("c1/old"), t.path("c1/.hidden\tname\n\xfe")}));
    EXPECT_EQ(some.totalBytes, 105);

    const CacheFiles all = CollectCacheFiles({t.path("c1")}, 0, today);
    EXPECT_EQ(all.paths.size(), 3);  // never the 1970 file, never the sub-folder's
    EXPECT_EQ(all.totalBytes, 106);

    // Listed twice, or also through a link to it: each file once.
    const CacheFiles twice =
        CollectCacheFiles({t.path("c1"), t.path("c1") + "/", t.path("alias") + "/"}, 0, today);
    EXPECT_EQ(twice.paths.size(), 3);
    EXPECT_EQ(twice.totalBytes, 106);

    EXPECT_TRUE(CollectCacheFiles({t.path("onlyfolders")}, 0, today).paths.isEmpty());
}

}  // namespace
}  // namespace dw
