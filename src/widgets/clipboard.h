#pragma once

#include <QString>

namespace dw {

// Puts `text` on the system clipboard as plain text; line breaks are "\n" ("\r\n" and
// lone "\r" are turned into "\n"). Needs the application's GUI to exist.
void setClipboardText(const QString& text);

// The plain text on the system clipboard, empty when it holds none.
QString clipboardText();

}  // namespace dw
