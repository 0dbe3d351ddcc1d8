#include "support/scripted_prompter.h"

#include <gtest/gtest.h>

namespace dw::test {

using platform::Answer;
using platform::Buttons;

ScriptedPrompter::ScriptedPrompter() : previous_(platform::setPrompter(this)) {}

ScriptedPrompter::~ScriptedPrompter() {
    platform::setPrompter(previous_);
    EXPECT_TRUE(answers_.isEmpty()) << answers_.size() << " scripted answers were not used";
}

void ScriptedPrompter::script(std::initializer_list<Answer> answers) {
    for (Answer a : answers)
        answers_.append(a);
}

void ScriptedPrompter::playSound(platform::Sound sound) {
    sounds_.append(sound);
}

Answer ScriptedPrompter::ask(platform::MessageKind kind, const QString& title, const QString& text,
                             Buttons buttons) {
    boxes_.append({kind, title, text, buttons});
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers_.isEmpty()) {
        ADD_FAILURE() << "unscripted question: " << text.toStdString();
        return (buttons == Buttons::YesNo || buttons == Buttons::YesNoDefaultNo) ? Answer::No
                                                                                 : Answer::Cancel;
    }
    return answers_.takeFirst();
}

QStringList ScriptedPrompter::texts() const {
    QStringList out;
    for (const Box& b : boxes_)
        out.append(b.text);
    return out;
}

void ScriptedPrompter::clear() {
    boxes_.clear();
    sounds_.clear();
}

}  // namespace dw::test
