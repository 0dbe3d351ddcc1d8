#include <gtest/gtest.h>

#include <QCoreApplication>

#include "support/scripted_prompter.h"
#include "widgets/message_boxes.h"

namespace dw {
namespace {

using platform::Buttons;
using platform::MessageKind;
using platform::Sound;

TEST(MessageBoxes, PlayTheirSoundAndShowTheirKindTitledWithTheApplication) {
    struct Case {
        void (*show)(const QString&);
        QList<Sound> sounds;
        MessageKind kind;
    };
    const Case cases[] = {
        {ShowError, {Sound::Exclamation}, MessageKind::Error},
        {ShowWarning, {Sound::Hand}, MessageKind::Warning},
        {ShowInfo, {}, MessageKind::Info},
        {[](const QString& text) { ShowBox(MessageKind::Error, text); }, {}, MessageKind::Error},
        {[](const QString& text) { ShowBox(MessageKind::Error, text, Sound::Hand); },
         {Sound::Hand},
         MessageKind::Error},
    };
    for (const Case& c : cases) {
        test::ScriptedPrompter prompter;
        c.show(QStringLiteral("Something happened."));
        EXPECT_EQ(prompter.sounds(), c.sounds);
        ASSERT_EQ(prompter.boxes().size(), 1);
        const auto& box = prompter.boxes().first();
        EXPECT_EQ(box.kind, c.kind);
        EXPECT_EQ(box.buttons, Buttons::Ok);
        EXPECT_EQ(box.text, QStringLiteral("Something happened."));
        EXPECT_EQ(box.title, QCoreApplication::applicationName());
    }
}

}  // namespace
}  // namespace dw
