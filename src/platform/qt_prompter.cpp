#include "platform/qt_prompter.h"

#include <QApplication>
#include <QMessageBox>

namespace dw::platform {

void QtPrompter::playSound(Sound) {
    // Linux desktops offer one bell; the kinds of sound are kept in the interface so
    // that the program says which one it means.
    QApplication::beep();
}

Answer QtPrompter::ask(MessageKind kind, const QString& title, const QString& text,
                       Buttons buttons) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationName() : title);
    box.setText(text);
    switch (kind) {
        case MessageKind::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageKind::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageKind::Info:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageKind::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageKind::Plain:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
        case Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case Buttons::YesNoDefaultNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            break;
    }
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return (buttons == Buttons::YesNo || buttons == Buttons::YesNoDefaultNo) ? Answer::No
                                                                             : Answer::Cancel;
}

}  // namespace dw::platform
