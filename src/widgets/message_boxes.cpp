#include "widgets/message_boxes.h"

#include <QCoreApplication>

namespace dw {

void ShowBox(platform::MessageKind kind, const QString& text,
             std::optional<platform::Sound> sound) {
    platform::Prompter& p = platform::prompter();
    if (sound) {
        p.playSound(*sound);
    }
    p.ask(kind, QCoreApplication::applicationName(), text, platform::Buttons::Ok);
}

void ShowError(const QString& text) {
    ShowBox(platform::MessageKind::Error, text, platform::Sound::Exclamation);
}

void ShowWarning(const QString& text) {
    ShowBox(platform::MessageKind::Warning, text, platform::Sound::Hand);
}

void ShowInfo(const QString& text) {
    ShowBox(platform::MessageKind::Info, text);
}

}  // namespace dw
