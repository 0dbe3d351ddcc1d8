#include <gtest/gtest.h>

#include <QFile>
#include <QStorageInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/volumes.h"
#include "support/df_figures.h"
#include "support/loop_volume.h"
#include "support/temp_tree.h"

namespace dw::platform {
namespace {

// A mount table as a desktop machine has it, with the pseudo and internal mounts the
// drive list leaves out. "@DEV@" stands for the fixture's device folder.
const QByteArray kMountInfo = R"(22 28 0:21 / /proc rw,relatime - proc proc rw
23 28 0:22 / /sys rw,nosuid - sysfs sysfs rw
24 28 0:6 / /dev rw - devtmpfs devtmpfs rw,size=1k
26 24 0:24 / /dev/shm rw - tmpfs tmpfs rw
25 28 0:23 / /run rw - tmpfs tmpfs rw
27 25 0:40 / /run/user/1000 rw - tmpfs tmpfs rw
28 1 8:1 / / rw,relatime shared:1 - ext4 @DEV@/sda1 rw
29 28 8:2 / /home rw shared:2 - ext4 @DEV@/sda2 rw
30 28 8:17 / /media/ann/USB\040STICK rw,nosuid shared:3 master:4 - vfat @DEV@/sdb1 rw
31 28 0:50 / /mnt/share rw - cifs //nas/share rw
32 28 0:51 / /mnt/nfs rw - nfs4 server:/export\040dir rw
33 28 0:52 / /mnt/remote rw - fuse.sshfs ann@host:/home/ann rw
34 28 11:0 / /media/cdrom ro - iso9660 @DEV@/sr0 ro
35 28 0:53 / /tmp rw - tmpfs tmpfs rw
36 28 7:3 / /snap/core/123 ro - squashfs /dev/loop3 ro
37 23 0:30 / /sys/fs/cgroup/cpu rw - cgroup cgroup rw
38 28 8:33 / /mnt/tab\011and\134back rw - ext4 @DEV@/sdc1 rw
39 28 8:2 / /home rw - ext4 @DEV@/sda2 rw
40 28 0:61 / /srv/9p rw - 9p hostshare rw
41 28 0:62 / /mnt/ram rw - ramfs ramfs rw
42 28 11:1 / /mnt/dvd ro - udf @DEV@/sr1 ro
43 28 0:70 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw
44 28 0:71 / /proc/sys/fs/binfmt_misc rw - binfmt_misc binfmt_misc rw
45 28 0:72 / /mnt/auto rw - autofs systemd-1 rw
46 28 0:73 / /sys/kernel/debug rw - debugfs debugfs rw
47 28 0:74 / /mnt/efi rw - efivarfs efivarfs rw
49 25 8:17 / /run/media/ann/CARD rw,nosuid - vfat @DEV@/sdb1 rw
not a mount line
48 28 bad / /mnt/broken rw - ext4 /dev/sdz rw
)";

// Device facts as sysfs and udev show them: sda is a fixed disk, sdb a USB stick.
struct SystemFixture {
    test::TempTree tree;
    SystemPaths paths;
    QByteArray table;

    SystemFixture() {
        tree.file("sys/devices/pci/block/sda/removable", "0\n");
        tree.file("sys/devices/pci/block/sda/sda1/partition", "1\n");
        tree.file("sys/devices/pci/block/sda/sda2/partition", "2\n");
        tree.file("sys/devices/usb/block/sdb/removable", "1\n");
        tree.file("sys/devices/usb/block/sdb/sdb1/partition", "1\n");
        tree.file("sys/devices/usb/block/sdc/removable", "0\n");
        tree.file("sys/devices/usb/block/sdc/sdc1/partition", "1\n");
        tree.symlink("sys/dev/block/8:1", "../../devices/pci/block/sda/sda1");
        tree.symlink("sys/dev/block/8:2", "../../devices/pci/block/sda/sda2");
        tree.symlink("sys/dev/block/8:17", "../../devices/usb/block/sdb/sdb1");
        tree.symlink("sys/dev/block/8:33", "../../devices/usb/block/sdc/sdc1");
        for (const char* dev : {"sda1", "sda2", "sdb1", "sdc1", "sr0", "sr1"}) {
            tree.file("dev/" + QByteArray(dev));
        }
        tree.symlink("dev/disk/by-label/root", "../../sda1");
        tree.symlink("dev/disk/by-label/My\\x20Data", "../../sda2");
        tree.symlink("dev/disk/by-label/STICK", "../../sdb1");
        tree.symlink("dev/disk/by-label/DVD_2024", "../../sr1");
        paths.sysDevBlock = tree.path("sys/dev/block");
        paths.byLabel = tree.path("dev/disk/by-label");
        table = QByteArray(kMountInfo).replace("@DEV@", tree.path("dev"));
    }
};

TEST(Volumes, DriveListFromTheMountTable) {
    SystemFixture fx;
    struct Expected {
        QByteArray mountPoint;
        VolumeKind kind;
        QString text;
        quint64 device;
    };
    const Expected expected[] = {
        {"/", VolumeKind::Fixed, "/ [root]", makedev(8, 1)},
        {"/media/ann/USB STICK", VolumeKind::Removable, "/media/ann/USB STICK", makedev(8, 17)},
        {"/mnt/share", VolumeKind::Network, "/mnt/share //nas/share", makedev(0, 50)},
        {"/mnt/nfs", VolumeKind::Network, "/mnt/nfs server:/export dir", makedev(0, 51)},
        {"/mnt/remote", VolumeKind::Network, "/mnt/remote ann@host:/home/ann", makedev(0, 52)},
        {"/media/cdrom", VolumeKind::CdRom, "/media/cdrom", makedev(11, 0)},
        {"/tmp", VolumeKind::RamDisk, "/tmp", makedev(0, 53)},
        {"/mnt/tab\tand\\back", VolumeKind::Fixed, "/mnt/tab\tand\\back", makedev(8, 33)},
        // The later of two mounts on /home is the one in force.
        {"/home", VolumeKind::Fixed, "/home [My Data]", makedev(8, 2)},
        {"/srv/9p", VolumeKind::Network, "/srv/9p hostshare", makedev(0, 61)},
        {"/mnt/ram", VolumeKind::RamDisk, "/mnt/ram", makedev(0, 62)},
        {"/mnt/dvd", VolumeKind::CdRom, "/mnt/dvd [DVD_2024]", makedev(11, 1)},
        // Where udisks mounts removable media on many distributions: below /run, yet
        // the user's.
        {"/run/media/ann/CARD", VolumeKind::Removable, "/run/media/ann/CARD", makedev(8, 17)},
    };
    const QList<Volume> volumes = parseMountInfo(fx.table, fx.paths);
    ASSERT_EQ(volumes.size(), qsizetype(std::size(expected)));
    for (qsizetype i = 0; i < volumes.size(); ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(e.mountPoint.constData());
        EXPECT_EQ(volumes[i].mountPoint, e.mountPoint);
        EXPECT_EQ(volumes[i].kind, e.kind);
        EXPECT_EQ(volumeText(volumes[i]), e.text);
        EXPECT_EQ(volumes[i].device, e.device);
    }
    // The stick keeps its label for whoever wants it; its entry just does not show it.
    EXPECT_EQ(volumes[1].label, "STICK");
    EXPECT_EQ(volumes[0].source, fx.tree.path("dev/sda1"));
    EXPECT_EQ(volumes[4].fsType, "fuse.sshfs");

    // Without udev's label links or sysfs nothing is labelled or known as removable.
    SystemPaths bare;
    bare.sysDevBlock = fx.tree.path("no/sys");
    bare.byLabel = fx.tree.path("no/by-label");
    const QList<Volume> unlabelled = parseMountInfo(fx.table, bare);
    ASSERT_EQ(unlabelled.size(), volumes.size());
    EXPECT_EQ(volumeText(unlabelled[0]), "/");
    EXPECT_EQ(unlabelled[1].kind, VolumeKind::Fixed);
    EXPECT_EQ(volumeText(unlabelled[8]), "/home");
    EXPECT_EQ(volumeText(unlabelled[2]), "/mnt/share //nas/share");
}

TEST(Volumes, AllMountsKeepThePseudoOnes) {
    SystemFixture fx;
    const QList<Volume> all = parseAllMounts(fx.table, fx.paths);
    QList<QByteArray> points;
    for (const Volume& v : all) {
        points.append(v.mountPoint);
    }
    for (const char* p : {"/proc", "/sys", "/dev/shm", "/run/user/1000", "/snap/core/123",
                          "/sys/fs/cgroup/cpu", "/mnt/auto", "/home"}) {
        EXPECT_EQ(points.count(p), 1) << p;
    }
    EXPECT_FALSE(points.contains("/mnt/broken"));

    const auto holding = [&](const QByteArray& path) {
        const std::optional<Volume> v = mountHolding(path, all);
        return v ? v->mountPoint : QByteArray("(none)");
    };
    EXPECT_EQ(holding("/home/ann/file"), "/home");
    EXPECT_EQ(holding("/home"), "/home");
    EXPECT_EQ(holding("/homework/x"), "/");
    EXPECT_EQ(holding("/media/ann/USB STICK/DCIM/a.jpg"), "/media/ann/USB STICK");
    EXPECT_EQ(holding("/media/ann/USB"), "/");
    EXPECT_EQ(holding("/proc/self/status"), "/proc");
    EXPECT_EQ(holding("/sys/fs/cgroup/cpu/tasks"), "/sys/fs/cgroup/cpu");
    EXPECT_FALSE(mountHolding("/x", {}).has_value());
}

TEST(Volumes, KeyOfAMountPoint) {
    const std::pair<QByteArray, QString> cases[] = {
        {"/", "root"},
        {"/home", "home"},
        {"/mnt/data", "mnt_data"},
        {"/media/ann/USB STICK", "media_ann_USB STICK"},
        {"/mnt/data/", "mnt_data"},
    };
    for (const auto& [mountPoint, key] : cases) {
        EXPECT_EQ(volumeKey(mountPoint), key) << mountPoint.constData();
    }
}

TEST(Volumes, PseudoFileSystems) {
    for (const char* type : {"proc", "sysfs", "cgroup", "cgroup2", "devtmpfs", "devpts", "tracefs",
                             "bpf", "autofs", "binfmt_misc", "fusectl"}) {
        EXPECT_TRUE(isPseudoFileSystem(type)) << type;
    }
    for (const char* type : {"ext4", "btrfs", "xfs", "tmpfs", "overlay", "squashfs", "fuse.sshfs",
                             "nfs4", "vfat", ""}) {
        EXPECT_FALSE(isPseudoFileSystem(type)) << type;
    }
}

TEST(Volumes, MountOfThisMachinesPaths) {
    test::TempTree tree;
    tree.symlink("to-proc", "/proc");
    const std::optional<Volume> proc = mountOf("/proc/self/status");
    ASSERT_TRUE(proc.has_value());
    EXPECT_EQ(proc->mountPoint, "/proc");
    EXPECT_EQ(proc->fsType, "proc");
    EXPECT_FALSE(volumeOf("/proc/self/status").has_value());

    const std::optional<Volume> here = volumeOf(tree.root());
    ASSERT_TRUE(here.has_value());
    // The link lies in the tree, whatever it points at; through it, /proc is reached.
    const std::optional<Volume> link = mountOf(tree.path("to-proc"));
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->mountPoint, here->mountPoint);
    const std::optional<Volume> through = mountOf(tree.path("to-proc/self"));
    ASSERT_TRUE(through.has_value());
    EXPECT_EQ(through->mountPoint, "/proc");
    // A path that does not exist yet belongs where its nearest folder is.
    const std::optional<Volume> missing = volumeOf(tree.path("not/yet/there"));
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->mountPoint, here->mountPoint);

    for (const Volume& v : mountedVolumes()) {
        EXPECT_FALSE(isPseudoFileSystem(v.fsType)) << v.mountPoint.constData();
        EXPECT_FALSE(v.mountPoint.startsWith("/proc")) << v.mountPoint.constData();
    }
}

TEST(Volumes, MountPoints) {
    test::TempTree tree;
    tree.dir("plain");
    tree.symlink("link-to-root", "/");
    tree.symlink("link-to-proc", "/proc");
    EXPECT_TRUE(isMountPoint("/"));
    EXPECT_TRUE(isMountPoint("/proc"));
    EXPECT_TRUE(isMountPoint("/proc/"));
    EXPECT_FALSE(isMountPoint("/proc/self/status"));
    EXPECT_FALSE(isMountPoint(tree.path("plain")));
    EXPECT_FALSE(isMountPoint(tree.path("link-to-root")));
    EXPECT_FALSE(isMountPoint(tree.path("link-to-proc")));
    EXPECT_FALSE(isMountPoint(tree.path("missing")));
    EXPECT_FALSE(isMountPoint({}));
}

TEST(Volumes, SpaceAndReadiness) {
    test::TempTree tree;
    const std::optional<DriveSpace> space = driveSpace(tree.root());
    ASSERT_TRUE(space.has_value());
    EXPECT_GT(space->blockSize, 0);
    EXPECT_GT(space->total, 0);
    EXPECT_EQ(space->total % space->blockSize, 0);
    EXPECT_LE(space->free + space->reserved, space->total);
    // Free is what the user may write (bytesAvailable); with the root's reserve it makes
    // the free blocks (bytesFree).
    const QStorageInfo info(QFile::decodeName(tree.root()));
    EXPECT_EQ(space->total, info.bytesTotal());
    EXPECT_NEAR(double(space->free), double(info.bytesAvailable()), 64.0 * 1024 * 1024);
    EXPECT_NEAR(double(space->free + space->reserved), double(info.bytesFree()),
                64.0 * 1024 * 1024);
    EXPECT_TRUE(isReady(tree.root()));
    EXPECT_FALSE(isReady(tree.path("missing")));
    EXPECT_FALSE(driveSpace(tree.path("missing")).has_value());
    EXPECT_FALSE(isReady({}));
}

// On an ext4 volume that keeps 10 % for root, free is what `df` says is available and
// the reserve is apart from it: the figure a user can really fill.
TEST(Volumes, FreeSpaceLeavesOutTheRootReserve) {
    test::TempTree tree;
    test::LoopVolume volume(
        tree.root(), QStringLiteral("ext4"), 64,
        {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-m"), QStringLiteral("10")});
    if (!volume.ok()) {
        GTEST_SKIP() << volume.whyNot().toStdString();
    }
    const QByteArray mountPoint = volume.root();

    const std::optional<DriveSpace> space = driveSpace(mountPoint);
    ASSERT_TRUE(space.has_value());
    const std::optional<test::DfFigures> df = test::dfFigures(mountPoint);
    ASSERT_TRUE(df.has_value());
    EXPECT_EQ(space->total, df->size);
    EXPECT_EQ(space->free, df->avail);
    EXPECT_EQ(space->reserved, df->reserved());
    EXPECT_GT(space->reserved, 0);
    EXPECT_GT(space->free, 0);
    EXPECT_LT(space->free + space->reserved, space->total);  // the journal and tables are used
}

}  // namespace
}  // namespace dw::platform
