#pragma once

#include <QList>
#include <QString>

#include "platform/prompter.h"

namespace dw::test {

// A prompter for tests: records every box and sound, and answers from a script.
// Installs itself for its lifetime and puts the previous prompter back afterwards.
// A box asked when the script is empty fails the running test and answers the
// non-acting button (Cancel, or No), as an unattended user would.
class ScriptedPrompter final : public platform::Prompter {
public:
    struct Box {
        platform::MessageKind kind;
        QString title;
        QString text;
        platform::Buttons buttons;
    };

    ScriptedPrompter();
    ~ScriptedPrompter() override;
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

    // Queues the answers for the next boxes, in order. Single-OK boxes need no answer:
    // they are answered Ok without taking one from the script.
    void script(std::initializer_list<platform::Answer> answers);

    void playSound(platform::Sound sound) override;
    platform::Answer ask(platform::MessageKind kind, const QString& title, const QString& text,
                         platform::Buttons buttons) override;

    const QList<Box>& boxes() const { return boxes_; }
    const QList<platform::Sound>& sounds() const { return sounds_; }
    // The texts of all boxes shown so far, in order.
    QStringList texts() const;
    void clear();

private:
    QList<Box> boxes_;
    QList<platform::Sound> sounds_;
    QList<platform::Answer> answers_;
    platform::Prompter* previous_ = nullptr;
};

}  // namespace dw::test
