#pragma once

#include <QString>

namespace dw::platform {

// The sounds the program plays before some message boxes.
enum class Sound { Exclamation, Hand, Default };

// What a message box looks like: its icon, or none for a plain box.
enum class MessageKind { Error, Warning, Info, Question, Plain };

// The button sets the program's boxes offer. YesNoDefaultNo is Yes/No with No as the
// button Enter presses, for questions whose Yes is rarely right.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo };

// The button that closed a box.
enum class Answer { Ok, Cancel, Yes, No };

// Every message box, confirmation and sound of the program goes through one Prompter,
// so that windows can be driven in tests with scripted answers. The windows install a
// Prompter that shows real boxes; the command-line tool and the engines' defaults use
// the console one.
class Prompter {
public:
    virtual ~Prompter() = default;

    // Plays one of the system's sounds; never blocks.
    virtual void playSound(Sound sound) = 0;

    // Shows one modal box and returns the button that closed it. A box closed without
    // a button (Esc, close box) answers Cancel, or No where there is no Cancel.
    virtual Answer ask(MessageKind kind, const QString& title, const QString& text,
                       Buttons buttons) = 0;
};

// The prompter in force. Never null: before any is installed, the console prompter,
// which prints every box on stderr and answers Ok to single-button boxes and
// Cancel (or No) to every question, so nothing destructive ever proceeds unattended.
Prompter& prompter();

// Installs `p` (not owned; it must outlive its use) and returns the one it replaces.
// Passing nullptr puts the console prompter back.
Prompter* setPrompter(Prompter* p);

// The console prompter described above, for callers that want it explicitly.
Prompter& consolePrompter();

}  // namespace dw::platform
