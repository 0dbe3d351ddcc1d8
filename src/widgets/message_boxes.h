#pragma once

#include <QString>

#include <optional>

#include "platform/prompter.h"

// The program's message boxes with one OK button, titled with the application's name and
// shown through the prompter in force. Engines never show them: they return what
// happened and the window says it with these. Each returns when its box is closed.
namespace dw {

// Plays `sound` first when one is given, then shows a box of `kind` with `text`.
void ShowBox(platform::MessageKind kind, const QString& text,
             std::optional<platform::Sound> sound = std::nullopt);

// ShowError plays the exclamation sound first and shows an error box.
void ShowError(const QString& text);
// ShowWarning plays the hand (stop) sound first and shows a warning box.
void ShowWarning(const QString& text);
// ShowInfo plays no sound and shows an information box.
void ShowInfo(const QString& text);

}  // namespace dw
