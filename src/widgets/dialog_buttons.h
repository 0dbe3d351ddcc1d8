#pragma once

#include <QDialogButtonBox>

class QDialog;
class QPushButton;

namespace dw {

// The "OK" and "Cancel" row of a dialog: OK (object name "btOK") is the default button
// and accepts the dialog, Cancel ("btCancel") rejects it. The box is a child of
// `dialog`; `ok`, when given, receives the OK button for callers that enable it.
QDialogButtonBox* OkCancelButtons(QDialog* dialog, QPushButton** ok = nullptr);

}  // namespace dw
