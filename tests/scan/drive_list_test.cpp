#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "platform/environment.h"
#include "scan/drive_list.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using platform::Volume;
using platform::VolumeKind;

Volume volume(const char* mountPoint, VolumeKind kind, const char* label = "",
              const char* source = "/dev/x") {
    Volume v;
    v.mountPoint = mountPoint;
    v.kind = kind;
    v.label = QString::fromUtf8(label);
    v.source = source;
    return v;
}

// A machine's volumes, not in mount-point order.
const QList<Volume> kVolumes = {
    volume("/tmp", VolumeKind::RamDisk),
    volume("/mnt/share", VolumeKind::Network, "", "//nas/share"),
    volume("/home", VolumeKind::Fixed, "data"),
    volume("/media/ann/STICK", VolumeKind::Removable, "STICK"),
    volume("/", VolumeKind::Fixed, "root"),
    volume("/media/cd", VolumeKind::CdRom, "CD"),
};

QStringList textsOf(const QList<DriveEntry>& entries) {
    QStringList texts;
    for (const DriveEntry& e : entries) {
        texts.append(e.text);
    }
    return texts;
}

QStringList checkedTexts(const QList<DriveEntry>& entries) {
    QStringList texts;
    for (const DriveEntry& e : entries) {
        if (e.checked) {
            texts.append(e.text);
        }
    }
    return texts;
}

TEST(DriveList, EachWindowListsItsKindsInMountPointOrder) {
    struct Case {
        const char* window;
        DriveKinds kinds;
        QStringList texts;
    };
    const Case cases[] = {
        {"finders",
         kFinderDriveKinds,
         {"/ [root]", "/home [data]", "/media/ann/STICK", "/media/cd [CD]",
          "/mnt/share //nas/share"}},
        {"files accessed",
         kFilesAccessedDriveKinds,
         {"/ [root]", "/home [data]", "/media/ann/STICK", "/mnt/share //nas/share"}},
        {"statistics",
         kStatisticsDriveKinds,
         {"/ [root]", "/home [data]", "/media/cd [CD]", "/mnt/share //nas/share", "/tmp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        const QList<DriveEntry> entries = driveEntries(kVolumes, c.kinds, "/home", {});
        EXPECT_EQ(textsOf(entries), c.texts);
        for (const DriveEntry& e : entries) {
            EXPECT_TRUE(e.isDrive());
            // The start folder is the mount point, never parsed from the text.
            EXPECT_TRUE(e.text.startsWith(QString::fromUtf8(e.startFolder)));
        }
    }
    const QList<DriveEntry> entries = driveEntries(kVolumes, kFinderDriveKinds, "/", {});
    EXPECT_EQ(entries[2].startFolder, QByteArray("/media/ann/STICK"));
    EXPECT_EQ(entries[2].volumeKind, VolumeKind::Removable);
    EXPECT_EQ(entries[4].volumeKind, VolumeKind::Network);
}

TEST(DriveList, TheCurrentVolumeIsCheckedElseTheRoot) {
    struct Case {
        QByteArray current;
        DriveKinds kinds;
        QStringList checked;
    };
    const Case cases[] = {
        {"/home", kFinderDriveKinds, {"/home [data]"}},
        {"/media/cd", kFinderDriveKinds, {"/media/cd [CD]"}},
        // Not in this window's list: the root volume, which every system has, instead.
        {"/tmp", kFinderDriveKinds, {"/ [root]"}},
        {"/media/cd", kFilesAccessedDriveKinds, {"/ [root]"}},
        {"", kStatisticsDriveKinds, {"/ [root]"}},
        // Neither listed: nothing checked.
        {"/home", DriveKinds{VolumeKind::CdRom}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current.toStdString());
        EXPECT_EQ(checkedTexts(driveEntries(kVolumes, c.kinds, c.current, {})), c.checked);
    }
}

TEST(DriveList, ExtraFoldersFollowUncheckedInTheirOrder) {
    const QStringList folders = {QStringLiteral("/srv/photos"), QString(),
                                 QStringLiteral("/data/old folder"), QStringLiteral("/srv/photos"),
                                 QStringLiteral("/home/ann/caf\u00e9")};
    const QList<DriveEntry> entries = driveEntries(kVolumes, kFinderDriveKinds, "/", folders);
    ASSERT_EQ(entries.size(), 5 + 4);
    const QList<DriveEntry> extra = entries.mid(5);
    EXPECT_EQ(textsOf(extra),
              (QStringList{QStringLiteral("/srv/photos"), QStringLiteral("/data/old folder"),
                           QStringLiteral("/srv/photos"), QStringLiteral("/home/ann/caf\u00e9")}));
    for (const DriveEntry& e : extra) {
        EXPECT_EQ(e.kind, DriveEntry::Kind::ExtraFolder);
        EXPECT_FALSE(e.checked);
    }
    EXPECT_EQ(extra[3].startFolder, QByteArray("/home/ann/caf\xc3\xa9"));
    EXPECT_EQ(checkedTexts(entries), QStringList{QStringLiteral("/ [root]")});
}

TEST(DriveList, ThisMachinesListReadsTheStoredExtraFolders) {
    QTemporaryDir config;
    const test::ScopedEnv configDir("DISKWELL_CONFIG_DIR", config.path().toLocal8Bit());

    // Never saved: no extra folders.
    EXPECT_TRUE(extraFolders().isEmpty());
    ASSERT_TRUE(SettingsStore().writeList(
        QString::fromLatin1(settings::kNewFolders),
        {QStringLiteral("/srv/b"), QStringLiteral("/srv/a"), QStringLiteral("/gone/folder")}));
    EXPECT_EQ(extraFolders(), (QStringList{QStringLiteral("/srv/b"), QStringLiteral("/srv/a"),
                                           QStringLiteral("/gone/folder")}));

    const QList<DriveEntry> with = DriveCheckListEntries(kStatisticsDriveKinds, true);
    const QList<DriveEntry> without = DriveCheckListEntries(kStatisticsDriveKinds, false);
    ASSERT_EQ(with.size(), without.size() + 3);
    EXPECT_EQ(with.mid(0, without.size()), without);
    EXPECT_EQ(with.back().text, QStringLiteral("/gone/folder"));
    // The current folder's volume is the checked one when the list has it, else "/".
    const QByteArray current = platform::currentVolumeFolder();
    const bool listed = std::any_of(without.begin(), without.end(),
                                    [&](const DriveEntry& e) { return e.startFolder == current; });
    for (const DriveEntry& e : without) {
        EXPECT_TRUE(e.isDrive());
        EXPECT_EQ(e.checked, e.startFolder == (listed ? current : QByteArray("/")));
    }
}

TEST(DriveList, ReadinessOfDrivesAndFolders) {
    DriveEntry root;
    root.kind = DriveEntry::Kind::Drive;
    root.startFolder = "/";
    EXPECT_TRUE(PathDriveReady(root));
    DriveEntry gone = root;
    gone.startFolder = "/no/such/mount/point";
    EXPECT_FALSE(PathDriveReady(gone));
    // An extra folder is always ready; a missing one fails when it is entered.
    DriveEntry folder = gone;
    folder.kind = DriveEntry::Kind::ExtraFolder;
    EXPECT_TRUE(PathDriveReady(folder));
    EXPECT_TRUE(DriveReady(""));
    EXPECT_TRUE(DriveReady("/"));
    EXPECT_FALSE(DriveReady("/no/such/mount/point"));
}

// A report's word for an entry names the mount the folder lies on, whichever it is:
// a drive by its own mount point, an extra folder by the mount holding it, also one the
// drive lists leave out (/proc) and also for a folder not there (its nearest folder's).
TEST(DriveList, DriveWordNamesTheMountAFolderLiesOn) {
    struct Case {
        DriveEntry::Kind kind;
        QByteArray startFolder;
        QString word;
    };
    const Case cases[] = {
        {DriveEntry::Kind::Drive, "/mnt/data", QStringLiteral("mnt_data")},
        {DriveEntry::Kind::Drive, "/", QStringLiteral("root")},
        {DriveEntry::Kind::ExtraFolder, "/", QStringLiteral("root")},
        {DriveEntry::Kind::ExtraFolder, "/proc/self", QStringLiteral("proc")},
        {DriveEntry::Kind::ExtraFolder, "/no/such/folder", QStringLiteral("root")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.startFolder.constData());
        DriveEntry entry;
        entry.kind = c.kind;
        entry.startFolder = c.startFolder;
        entry.text = QStringLiteral("entry text");
        EXPECT_EQ(DriveWord(entry), c.word);
    }
}

TEST(DriveList, EnterStartFolderOpensOnlyRealFoldersOnRealFileSystems) {
    test::TempTree t;
    t.file("folder/file");
    t.symlink("link-to-folder", "folder");
    struct Case {
        QByteArray path;
        std::optional<QByteArray> opened;  // the folder text, or nullopt
    };
    const Case cases[] = {
        {t.path("folder"), t.path("folder")},
        {t.path("folder") + "///", t.path("folder")},
        {"/", QByteArray("/")},
        {"//", QByteArray("/")},
        {t.path("missing"), std::nullopt},
        {t.path("folder/file"), std::nullopt},
        {t.path("link-to-folder"), std::nullopt},
        {t.path("link-to-folder") + "/", std::nullopt},
        {"/proc", std::nullopt},
        {"/proc/self", std::nullopt},
        {"/sys", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const std::optional<StartFolder> start = EnterStartFolder(c.path);
        ASSERT_EQ(start.has_value(), c.opened.has_value());
        if (start) {
            EXPECT_EQ(start->path, *c.opened);
            EXPECT_TRUE(start->reader.isOpen());
            EXPECT_NE(start->inode, 0u);
        }
    }
    // Links in the folders above the start are the kernel's to resolve.
    EXPECT_TRUE(EnterStartFolder(t.path("link-to-folder") + "/.").has_value());
}

}  // namespace
}  // namespace dw
