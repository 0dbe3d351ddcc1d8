#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "scan/drive_list.h"
#include "scan/ui/drive_check_list.h"
#include "support/scoped_env.h"

namespace dw {
namespace {

DriveEntry entry(DriveEntry::Kind kind, const char* folder, const QString& text, bool checked,
                 platform::VolumeKind volumeKind = platform::VolumeKind::Fixed) {
    DriveEntry e;
    e.kind = kind;
    e.startFolder = folder;
    e.text = text;
    e.checked = checked;
    e.volumeKind = volumeKind;
    return e;
}

TEST(DriveCheckList, KeepsTheEntriesAndReadsBackTheChecks) {
    DriveCheckList list;
    const QList<DriveEntry> given = {
        entry(DriveEntry::Kind::Drive, "/", QStringLiteral("/ [root]"), true),
        entry(DriveEntry::Kind::Drive, "/mnt/share", QStringLiteral("/mnt/share //nas/share"),
              false, platform::VolumeKind::Network),
        // A text that looks like something else is never parsed back.
        entry(DriveEntry::Kind::ExtraFolder, "/srv/odd\n\xff", QStringLiteral("/srv/odd [x]"),
              false),
    };
    QSignalSpy changed(&list, &DriveCheckList::checksChanged);
    list.setEntries(given);
    EXPECT_EQ(changed.count(), 0);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(2)->text(), QStringLiteral("/srv/odd [x]"));
    EXPECT_FALSE(list.item(2)->icon().isNull());
    EXPECT_EQ(list.entries(), given);
    EXPECT_EQ(list.checkedCount(), 1);

    // The user ticks the extra folder.
    list.item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(changed.count(), 1);
    const QList<DriveEntry> checked = list.checkedEntries();
    ASSERT_EQ(checked.size(), 2);
    EXPECT_EQ(checked[1].startFolder, QByteArray("/srv/odd\n\xff"));
    EXPECT_EQ(checked[1].kind, DriveEntry::Kind::ExtraFolder);

    list.setAllChecked(false);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(list.checkedCount(), 0);
    list.setAllChecked(true);
    EXPECT_EQ(list.checkedEntries().size(), 3);
}

TEST(DriveCheckList, FillShowsTheStoredExtraFoldersAfterTheDrives) {
    QTemporaryDir config;
    const test::ScopedEnv configDir("DISKWELL_CONFIG_DIR", config.path().toLocal8Bit());
    ASSERT_TRUE(SettingsStore().writeList(QString::fromLatin1(settings::kNewFolders),
                                          {QStringLiteral("/srv/a"), QStringLiteral("/srv/b")}));

    DriveCheckList list;
    FillDriveCheckList(list, kFinderDriveKinds, true);
    const QList<DriveEntry> drives = DriveCheckListEntries(kFinderDriveKinds, false);
    ASSERT_EQ(list.count(), drives.size() + 2);
    EXPECT_EQ(list.item(list.count() - 2)->text(), QStringLiteral("/srv/a"));
    EXPECT_EQ(list.item(list.count() - 1)->text(), QStringLiteral("/srv/b"));
    EXPECT_EQ(list.item(list.count() - 1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list.entries().mid(0, drives.size()), drives);

    // Filling again (after the extra folders were edited) starts the checks anew.
    list.setAllChecked(true);
    FillDriveCheckList(list, kFinderDriveKinds, false);
    EXPECT_EQ(list.entries(), drives);
}

}  // namespace
}  // namespace dw
