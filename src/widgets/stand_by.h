#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;

namespace dw {

// The stand-by notice `frmStandBy` ("Loading Files"): a small window without system
// buttons, in the middle of the screen, that the deletion panel shows while it sorts
// a long list of files against the Safe Harbor. It says "Loading files ... standby"
// and shows a bar (0 to 100 until the caller sets another maximum).
//
// Each time it is shown and each time it is hidden it calls `onShowOrHide` (the deletion
// panel empties the Safe Harbor query's memo there, so that the query starts afresh).
class TfrmStandBy : public QDialog {
    Q_OBJECT

public:
    // `onShowOrHide` may be empty.
    explicit TfrmStandBy(std::function<void()> onShowOrHide, QWidget* parent = nullptr);

    void setMaximum(int maximum);
    void setPosition(int position);

    QLabel* lblLoading = nullptr;
    QProgressBar* bar = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override;

private:
    std::function<void()> onShowOrHide_;
};

}  // namespace dw
