#include "widgets/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace dw {

namespace {

// Without a GUI application there is no clipboard to reach.
QClipboard* systemClipboard() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
               ? QGuiApplication::clipboard()
               : nullptr;
}

}  // namespace

void setClipboardText(const QString& text) {
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (QClipboard* clipboard = systemClipboard()) {
        clipboard->setText(normalised);
    }
}

QString clipboardText() {
    if (QClipboard* clipboard = systemClipboard()) {
        return clipboard->text();
    }
    return {};
}

}  // namespace dw
