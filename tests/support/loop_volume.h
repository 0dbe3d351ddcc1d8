#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace dw::test {

// A small real file system for a test: an image made with mkfs on a sparse file in
// `folder`, loop-mounted at `folder`/mnt, and unmounted with the object. Needs root,
// the mkfs tool and the kernel module; where any is missing, ok() is false and
// whyNot() says which, for a GTEST_SKIP.
class LoopVolume {
public:
    // `type` is what mount and mkfs call it ("ext4", "btrfs", "xfs", "vfat");
    // `megabytes` the image's size (btrfs needs about 120, xfs 300); `mkfsOptions` go to
    // mkfs before the image.
    LoopVolume(const QByteArray& folder, const QString& type, int megabytes,
               const QStringList& mkfsOptions = {});
    ~LoopVolume();
    LoopVolume(const LoopVolume&) = delete;
    LoopVolume& operator=(const LoopVolume&) = delete;

    bool ok() const { return mounted_; }
    const QString& whyNot() const { return whyNot_; }

    // The mounted volume's top folder.
    const QByteArray& root() const { return root_; }
    QByteArray path(const QByteArray& rel) const { return root_ + '/' + rel; }

    // The bytes the user can still write (statvfs f_bavail x f_frsize) once every change
    // made so far is on the disk: a freed block counts only after its transaction is
    // written (btrfs, xfs).
    qint64 available() const;

    // Makers of the files the figures of bytes freed are about; each returns the full
    // path and fails the test if it cannot. A reflink needs btrfs or xfs: false where
    // the volume refuses it.
    QByteArray randomFile(const QByteArray& rel, qint64 bytes) const;
    QByteArray copy(const QByteArray& fromRel, const QByteArray& toRel) const;  // real copy
    bool reflink(const QByteArray& fromRel, const QByteArray& toRel) const;
    // Overwrites `bytes` at `offset` with new random bytes, in place.
    void overwrite(const QByteArray& rel, qint64 offset, qint64 bytes) const;
    // Writes the `bytes` at `offset` again, unchanged: on btrfs and xfs they take new
    // blocks, so a reflinked copy keeps its bytes but shares only the rest.
    void rewrite(const QByteArray& rel, qint64 offset, qint64 bytes) const;
    // A file of apparent size `size` whose only data is 4 KiB at its start.
    QByteArray sparseFile(const QByteArray& rel, qint64 size) const;

private:
    QByteArray root_;
    bool mounted_ = false;
    QString whyNot_;
};

}  // namespace dw::test
