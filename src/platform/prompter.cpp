#include "platform/prompter.h"

#include <cstdio>

namespace dw::platform {

namespace {

class ConsolePrompter final : public Prompter {
public:
    void playSound(Sound) override {}

    Answer ask(MessageKind kind, const QString& title, const QString& text,
               Buttons buttons) override {
        const char* tag = "";
        switch (kind) {
            case MessageKind::Error:
                tag = "error: ";
                break;
            case MessageKind::Warning:
                tag = "warning: ";
                break;
            case MessageKind::Info:
            case MessageKind::Question:
            case MessageKind::Plain:
                break;
        }
        const QString head = title.isEmpty() ? QString() : title + QStringLiteral(": ");
        std::fprintf(stderr, "%s%s%s\n", tag, qPrintable(head), qPrintable(text));
        // Unattended, a question is never answered with the button that acts.
        switch (buttons) {
            case Buttons::Ok:
                return Answer::Ok;
            case Buttons::OkCancel:
                return Answer::Cancel;
            case Buttons::YesNo:
            case Buttons::YesNoDefaultNo:
                return Answer::No;
            case Buttons::YesNoCancel:
                return Answer::Cancel;
        }
        return Answer::Cancel;
    }
};

Prompter* g_installed = nullptr;

}  // namespace

Prompter& consolePrompter() {
    static ConsolePrompter console;
    return console;
}

Prompter& prompter() {
    return g_installed ? *g_installed : consolePrompter();
}

Prompter* setPrompter(Prompter* p) {
    Prompter* const previous = g_installed;
    g_installed = p;
    return previous;
}

}  // namespace dw::platform
