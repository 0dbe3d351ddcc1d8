#include "widgets/stand_by.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include <utility>

namespace dw {

TfrmStandBy::TfrmStandBy(std::function<void()> onShowOrHide, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      onShowOrHide_(std::move(onShowOrHide)) {
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
    if (onShowOrHide_) {
        onShowOrHide_();
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

void TfrmStandBy::hideEvent(QHideEvent* event) {
    if (onShowOrHide_) {
        onShowOrHide_();
    }
    QDialog::hideEvent(event);
}

void TfrmStandBy::reject() {
    // The notice goes when the work it stands for is done, not on Esc.
}

}  // namespace dw
