#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>

#include "platform/environment.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"

class QPushButton;
class QWidget;

namespace dw::test {

// The program as a test that goes from the main window through a finder into the
// deletion panel sees it: a settings folder and a trash (XDG_DATA_HOME) of its own, a
// scripted prompter, and a Safe Harbor list that keeps "<root>/files/kept/*.*", so that
// the finders open. Files go in `tree_`, whose root is `r_` (its short path).
class HandOffTest : public ::testing::Test {
protected:
    void SetUp() override;

    // The push button `name` of `w`; null when it has none.
    static QPushButton* button(QWidget& w, const char* name);

    TempTree tree_;
    QTemporaryDir config_;
    ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_.path().toLocal8Bit()};
    ScopedEnv dataHome_{"XDG_DATA_HOME", tree_.dir("data-home")};
    QByteArray r_ = platform::shortPath(tree_.root());
    ScriptedPrompter prompter_;
};

}  // namespace dw::test
