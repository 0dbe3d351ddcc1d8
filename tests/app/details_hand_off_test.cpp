// From the main window, the finders and the browser open the details of their selected
// file, and the duplicates window its pair comparison, which goes back to the main window
// when the duplicates window closes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "finders/dup_fixture.h"
#include "finders/ui/browse_window.h"
#include "finders/ui/clean_window.h"
#include "finders/ui/dup_compare_window.h"
#include "finders/ui/dup_window.h"
#include "inspect/ui/details_window.h"
#include "platform/environment.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/string_grid.h"

namespace dw {
namespace {

using test::onModal;

class DetailsHandOff : public ::testing::Test {
protected:
    test::TempTree tree_;
    QTemporaryDir config_;
    test::ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_.path().toLocal8Bit()};
    QByteArray r_ = platform::shortPath(tree_.root());
    test::ScriptedPrompter prompter_;

    void SetUp() override {
        QFile f(config_.path() + QStringLiteral("/folders.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(r_ + "/nothing/*.*\n");
    }

    static QPushButton* button(QWidget& w, const char* name) {
        return w.findChild<QPushButton*>(QLatin1String(name));
    }

    // Opens the details window with `press` and checks that it shows `file`.
    static void expectDetails(const QByteArray& file, const std::function<void()>& press) {
        bool seen = false;
        onModal<TfrmDetails>([&](TfrmDetails& d) {
            seen = true;
            EXPECT_EQ(d.labelTexts().value(0), QFile::decodeName(file));
            d.reject();
        });
        press();
        EXPECT_TRUE(seen);
    }
};

TEST_F(DetailsHandOff, DuplicatesOfferDetailsAndPairs) {
    tree_.file("files/a/same.txt", "same");
    tree_.file("files/b/same.txt", "same");
    TfrmMain main;
    main.GetSearchPath();
    bool seen = false;
    onModal<TfrmDup>([&](TfrmDup& w) {
        w.setDriveEntries(test::folderEntries({r_ + "/files"}));
        w.findChild<QComboBox*>(QStringLiteral("cbKB1"))->setCurrentIndex(0);
        w.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(0);
        w.btScanClick();
        ASSERT_EQ(w.resultCount(), 2);
        w.grid()->setCurrentRow(1);
        const QByteArray first = w.grid()->table().rowData(1);
        ASSERT_TRUE(button(w, "btDetails")->isVisible());
        expectDetails(first, [&] { button(w, "btDetails")->click(); });

        ASSERT_TRUE(button(w, "btCompare")->isVisible());
        button(w, "btCompare")->click();
        auto* compare = w.findChild<TfrmDupCompare*>();
        ASSERT_NE(compare, nullptr);
        EXPECT_TRUE(compare->isVisible());
        compare->btComputeClick();
        EXPECT_TRUE(
            compare->paneTexts(0)[8].endsWith(QStringLiteral(" file contents are identical")));
        seen = true;
        w.close();
    });
    button(main, "btDuplicates")->click();
    EXPECT_TRUE(seen);
    // The comparison outlives the duplicates window, hidden, kept by the main window.
    auto* compare = main.findChild<TfrmDupCompare*>();
    ASSERT_NE(compare, nullptr);
    EXPECT_FALSE(compare->isVisible());
    EXPECT_EQ(compare->parentWidget(), &main);
}

TEST_F(DetailsHandOff, TheQuickCleanAndTheBrowserOfferDetails) {
    const QByteArray temp = tree_.fileOfSize("files/x.tmp", 30);
    TfrmMain main;
    main.GetSearchPath();
    bool seen = false;
    onModal<TfrmClean>([&](TfrmClean& w) {
        w.setDriveEntries(test::folderEntries({r_ + "/files"}));
        w.btScanClick();
        ASSERT_EQ(w.foundCount(), 1);
        w.grid()->setCurrentRow(1);
        ASSERT_TRUE(button(w, "btDetails")->isVisible());
        expectDetails(temp, [&] { button(w, "btDetails")->click(); });
        seen = true;
        w.close();
    });
    button(main, "btQuickClean")->click();
    EXPECT_TRUE(seen);

    seen = false;
    onModal<TfrmBrowse>([&](TfrmBrowse& w) {
        w.setFolder(r_ + "/files");
        w.grid()->setCurrentRow(1);
        ASSERT_TRUE(button(w, "btDetails")->isVisible());
        expectDetails(temp, [&] { button(w, "btDetails")->click(); });
        seen = true;
        w.reject();
    });
    button(main, "btBrowse")->click();
    EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace dw
