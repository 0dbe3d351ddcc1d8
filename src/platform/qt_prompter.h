#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/prompter.h"

namespace dw::platform {

// The prompter of the windowed program: real modal message boxes (QMessageBox) over
// the active window, and the system's beep for every sound.
class QtPrompter final : public Prompter {
public:
    void playSound(Sound sound) override;
    Answer ask(MessageKind kind, const QString& title, const QString& text,
               Buttons buttons) override;
};

}  // namespace dw::platform
