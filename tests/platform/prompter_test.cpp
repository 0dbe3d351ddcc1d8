#include <gtest/gtest.h>

#include "platform/prompter.h"
#include "support/scripted_prompter.h"

namespace dw::platform {
namespace {

TEST(ConsolePrompter, NeverAnswersAQuestionWithTheActingButton) {
    struct Case {
        Buttons buttons;
        Answer expected;
    };
    const Case cases[] = {
        {Buttons::Ok, Answer::Ok},
        {Buttons::OkCancel, Answer::Cancel},
        {Buttons::YesNo, Answer::No},
        {Buttons::YesNoCancel, Answer::Cancel},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            consolePrompter().ask(MessageKind::Question, {}, QStringLiteral("Delete?"), c.buttons),
            c.expected);
    }
}

TEST(Prompter, ScriptedPrompterIsInstalledForItsLifetime) {
    Prompter* const before = &prompter();
    {
        test::ScriptedPrompter scripted;
        EXPECT_EQ(&prompter(), &scripted);
        scripted.script({Answer::Yes});
        EXPECT_EQ(
            prompter().ask(MessageKind::Question, {}, QStringLiteral("Sure?"), Buttons::YesNo),
            Answer::Yes);
        EXPECT_EQ(scripted.texts(), QStringList{QStringLiteral("Sure?")});
    }
    EXPECT_EQ(&prompter(), before);
}

}  // namespace
}  // namespace dw::platform
