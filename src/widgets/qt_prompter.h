#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/prompter.h"

namespace dw {

// The prompter of the windowed program: real modal message boxes (QMessageBox) over
// the active window, and the system's beep for every sound.
class QtPrompter final : public platform::Prompter {
public:
    void playSound(platform::Sound sound) override;
    platform::Answer ask(platform::MessageKind kind, const QString& title, const QString& text,
                         platform::Buttons buttons) override;
};

}  // namespace dw
