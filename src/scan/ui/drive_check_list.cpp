#include "scan/ui/drive_check_list.h"

#include <QStyle>

#include "scan/drive_list.h"

namespace dw {

namespace {

QStyle::StandardPixmap glyphOf(const DriveEntry& entry) {
    if (!entry.isDrive()) {
        return QStyle::SP_DirIcon;
    }
    switch (entry.volumeKind) {
        case platform::VolumeKind::Removable:
            return QStyle::SP_DriveFDIcon;
        case platform::VolumeKind::Network:
            return QStyle::SP_DriveNetIcon;
        case platform::VolumeKind::CdRom:
            return QStyle::SP_DriveCDIcon;
        case platform::VolumeKind::Fixed:
        case platform::VolumeKind::RamDisk:
            break;
    }
    return QStyle::SP_DriveHDIcon;
}

}  // namespace

DriveCheckList::DriveCheckList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem*) {
        if (!filling_) {
            emit checksChanged();
        }
    });
}

void DriveCheckList::setEntries(const QList<DriveEntry>& entries) {
    filling_ = true;
    clear();
    entries_ = entries;
    for (const DriveEntry& e : entries_) {
        auto* item = new QListWidgetItem(style()->standardIcon(glyphOf(e)), e.text, this);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(e.checked ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(e.text);
    }
    filling_ = false;
}

QList<DriveEntry> DriveCheckList::entries() const {
    QList<DriveEntry> result = entries_;
    for (int row = 0; row < result.size() && row < count(); ++row) {
        result[row].checked = item(row)->checkState() == Qt::Checked;
    }
    return result;
}

QList<DriveEntry> DriveCheckList::checkedEntries() const {
    QList<DriveEntry> result;
    for (const DriveEntry& e : entries()) {
        if (e.checked) {
            result.append(e);
        }
    }
    return result;
}

int DriveCheckList::checkedCount() const {
    int n = 0;
    for (int row = 0; row < count(); ++row) {
        n += item(row)->checkState() == Qt::Checked ? 1 : 0;
    }
    return n;
}

void DriveCheckList::setAllChecked(bool checked) {
    // One signal for the whole change, not one per row.
    filling_ = true;
    for (int row = 0; row < count(); ++row) {
        item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
    emit checksChanged();
}

void FillDriveCheckList(DriveCheckList& list, DriveKinds kinds, bool withExtraFolders) {
    list.setEntries(DriveCheckListEntries(kinds, withExtraFolders));
}

}  // namespace dw
