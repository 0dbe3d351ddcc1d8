#include "widgets/qt_prompter.h"

#include <QApplication>
#include <QMessageBox>

namespace dw {

void QtPrompter::playSound(platform::Sound) {
    // Linux desktops offer one bell; the kinds of sound are kept in the interface so
    // that the program says which one it means.
    QApplication::beep();
}

platform::Answer QtPrompter::ask(platform::MessageKind kind, const QString& title,
                                 const QString& text, platform::Buttons buttons) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationName() : title);
    box.setText(text);
    switch (kind) {
        case platform::MessageKind::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case platform::MessageKind::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case platform::MessageKind::Info:
            box.setIcon(QMessageBox::Information);
            break;
        case platform::MessageKind::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case platform::MessageKind::Plain:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    switch (buttons) {
        case platform::Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case platform::Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case platform::Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
        case platform::Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case platform::Buttons::YesNoDefaultNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return platform::Answer::Ok;
        case QMessageBox::Yes:
            return platform::Answer::Yes;
        case QMessageBox::No:
            return platform::Answer::No;
        default:
            break;
    }
    if (buttons == platform::Buttons::Ok)
        return platform::Answer::Ok;
    return (buttons == platform::Buttons::YesNo || buttons == platform::Buttons::YesNoDefaultNo)
               ? platform::Answer::No
               : platform::Answer::Cancel;
}

}  // namespace dw
