#pragma once

#include <QByteArray>
#include <QComboBox>
#include <QList>

#include "platform/volumes.h"

namespace dw {

// A drive selector (`DriveComboBox1`): one row per mounted volume of the drive lists,
// showing platform::volumeText, in mount-table order. Choosing a row emits driveChosen
// with the volume's mount point.
class DriveComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit DriveComboBox(QWidget* parent = nullptr);

    // Replaces the rows by `volumes` (the machine's, platform::mountedVolumes(), unless a
    // test gives others).
    void setVolumes(const QList<platform::Volume>& volumes);

    // Selects, without emitting driveChosen, the volume holding `path` (the longest
    // mount point that is a prefix of it at a component boundary).
    void showVolumeOf(const QByteArray& path);

    // The mount point of the selected row, empty when there is none.
    QByteArray mountPoint() const;

signals:
    void driveChosen(const QByteArray& mountPoint);

private:
    QList<platform::Volume> volumes_;
    bool quiet_ = false;
};

}  // namespace dw
