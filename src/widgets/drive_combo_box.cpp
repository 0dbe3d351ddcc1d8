#include "widgets/drive_combo_box.h"

namespace dw {

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent) {
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!quiet_ && index >= 0 && index < volumes_.size()) {
            emit driveChosen(volumes_[index].mountPoint);
        }
    });
    setVolumes(platform::mountedVolumes());
}

void DriveComboBox::setVolumes(const QList<platform::Volume>& volumes) {
    quiet_ = true;
    volumes_ = volumes;
    clear();
    for (const platform::Volume& v : volumes_) {
        addItem(platform::volumeText(v));
    }
    quiet_ = false;
}

void DriveComboBox::showVolumeOf(const QByteArray& path) {
    const std::optional<platform::Volume> holder = platform::mountHolding(path, volumes_);
    if (!holder) {
        return;
    }
    for (int i = 0; i < volumes_.size(); ++i) {
        if (volumes_[i].mountPoint == holder->mountPoint) {
            quiet_ = true;
            setCurrentIndex(i);
            quiet_ = false;
            return;
        }
    }
}

QByteArray DriveComboBox::mountPoint() const {
    const int i = currentIndex();
    return i >= 0 && i < volumes_.size() ? volumes_[i].mountPoint : QByteArray();
}

}  // namespace dw
