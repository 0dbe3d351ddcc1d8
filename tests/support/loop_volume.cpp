#include "support/loop_volume.h"

#include "support/scoped_mount.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace dw::test {

LoopVolume::LoopVolume(const QByteArray& folder, const QString& type, int megabytes,
                       const QStringList& mkfsOptions)
    : root_(folder + "/mnt") {
    if (::geteuid() != 0) {
        whyNot_ = QStringLiteral("mounting a loop image needs root");
        return;
    }
    const QString image =
        QFile::decodeName(folder) + QStringLiteral("/") + type + QStringLiteral(".img");
    if (::mkdir(root_.constData(), 0755) != 0 ||
        !runProgram(
            QStringLiteral("truncate"),
            {QStringLiteral("-s"), QString::number(megabytes) + QStringLiteral("M"), image})) {
        whyNot_ = QStringLiteral("cannot make the image file");
        return;
    }
    if (!runProgram(QStringLiteral("mkfs.") + type, mkfsOptions + QStringList{image})) {
        whyNot_ = QStringLiteral("mkfs.%1 is missing or failed").arg(type);
        return;
    }
    if (!runProgram(QStringLiteral("mount"),
                    {QStringLiteral("-t"), type, QStringLiteral("-o"), QStringLiteral("loop"),
                     image, QFile::decodeName(root_)})) {
        whyNot_ = QStringLiteral(
                      "cannot loop-mount a %1 image here (no loop device, or the "
                      "kernel lacks the %1 module)")
                      .arg(type);
        return;
    }
    mounted_ = true;
}

LoopVolume::~LoopVolume() {
    if (mounted_) {
        runProgram(QStringLiteral("umount"), {QFile::decodeName(root_)});
    }
}

qint64 LoopVolume::available() const {
    const int fd = ::open(root_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    // syncfs writes the transaction, but xfs gives an unlinked file's blocks back in a
    // background worker; freezing the volume waits for that work too.
    ::syncfs(fd);
    ::ioctl(fd, FIFREEZE, 0);
    ::ioctl(fd, FITHAW, 0);
    struct statvfs fs {};
    const int rc = ::fstatvfs(fd, &fs);
    ::close(fd);
    return rc == 0 ? qint64(fs.f_bavail) * qint64(fs.f_frsize) : -1;
}

namespace {

QByteArray randomBytes(qint64 bytes) {
    QByteArray data(bytes, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(data.data()),
                                          bytes / qint64(sizeof(quint32)));
    return data;
}

void writeAt(const QByteArray& path, qint64 offset, const QByteArray& data, bool create) {
    QFile f(QFile::decodeName(path));
    const QIODevice::OpenMode mode =
        create ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::ReadWrite;
    ASSERT_TRUE(f.open(mode)) << path.constData();
    ASSERT_TRUE(f.seek(offset));
    ASSERT_EQ(f.write(data), data.size());
}

}  // namespace

QByteArray LoopVolume::randomFile(const QByteArray& rel, qint64 bytes) const {
    writeAt(path(rel), 0, randomBytes(bytes), true);
    return path(rel);
}

QByteArray LoopVolume::copy(const QByteArray& fromRel, const QByteArray& toRel) const {
    EXPECT_TRUE(runProgram(QStringLiteral("cp"),
                           {QStringLiteral("--reflink=never"), QFile::decodeName(path(fromRel)),
                            QFile::decodeName(path(toRel))}));
    return path(toRel);
}

bool LoopVolume::reflink(const QByteArray& fromRel, const QByteArray& toRel) const {
    return runProgram(QStringLiteral("cp"),
                      {QStringLiteral("--reflink=always"), QFile::decodeName(path(fromRel)),
                       QFile::decodeName(path(toRel))});
}

void LoopVolume::overwrite(const QByteArray& rel, qint64 offset, qint64 bytes) const {
    writeAt(path(rel), offset, randomBytes(bytes), false);
}

void LoopVolume::rewrite(const QByteArray& rel, qint64 offset, qint64 bytes) const {
    QFile f(QFile::decodeName(path(rel)));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << rel.constData();
    ASSERT_TRUE(f.seek(offset));
    const QByteArray same = f.read(bytes);
    f.close();
    writeAt(path(rel), offset, same, false);
}

QByteArray LoopVolume::sparseFile(const QByteArray& rel, qint64 size) const {
    writeAt(path(rel), 0, randomBytes(4096), true);
    EXPECT_EQ(::truncate(path(rel).constData(), size), 0);
    return path(rel);
}

}  // namespace dw::test
