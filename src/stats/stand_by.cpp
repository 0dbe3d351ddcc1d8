#include "stats/stand_by.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include "safety/safe_harbor.h"

namespace dw {

TfrmStandBy::TfrmStandBy(SafeHarbor* harbor, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      harbor_(harbor) {
    setObjectName(QStringLiteral("frmStandBy"));
    setWindowTitle(QStringLiteral("Loading Files"));
    lblLoading = new QLabel(QStringLiteral("Loading files ... standby"), this);
    lblLoading->setObjectName(QStringLiteral("lblLoading"));
    QFont big = lblLoading->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblLoading->setFont(big);
    lblLoading->setAlignment(Qt::AlignCenter);
    bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(14);
    layout->addWidget(lblLoading);
    layout->addWidget(bar);
    setFixedSize(sizeHint().expandedTo(QSize(360, 0)));
}

void TfrmStandBy::setMaximum(int maximum) {
    bar->setRange(0, qMax(0, maximum));
}

void TfrmStandBy::setPosition(int position) {
    bar->setValue(qBound(bar->minimum(), position, bar->maximum()));
}

void TfrmStandBy::showEvent(QShowEvent* event) {
    if (harbor_) {
        harbor_->clearMemo();
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

void TfrmStandBy::hideEvent(QHideEvent* event) {
    if (harbor_) {
        harbor_->clearMemo();
    }
    QDialog::hideEvent(event);
}

void TfrmStandBy::reject() {
    // The notice goes when the work it stands for is done, not on Esc.
}

}  // namespace dw
