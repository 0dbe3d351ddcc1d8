#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "base/settings_store.h"
#include "base/utility.h"
#include "platform/settings_file.h"
#include "scan/type_lines.h"
#include "scan/ui/select_extension_dialog.h"
#include "stats/stat_type_lists.h"
#include "stats/ui/stat_list_dialog.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "widgets/type_list.h"

namespace dw {
namespace {

using platform::Answer;

class StatListTest : public ::testing::Test {
protected:
    QStringList patternsOf(const QStringList& lines) {
        QStringList out;
        for (const QString& l : lines) {
            out.append(TypeLinePattern(l));
        }
        return out;
    }
    void setRaw(const QString& name, const QString& value) {
        ASSERT_TRUE(platform::SettingsFile::user().setValue(
            SettingsStore::sectionPath(QStringLiteral("Include")), name, value));
    }

    QTemporaryDir config_;
    test::ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_.path().toLocal8Bit()};
    test::ScriptedPrompter prompter_;
};

TEST_F(StatListTest, StoredListsAndTheirDefaults) {
    QStringList lines{QStringLiteral("left over")};
    ReadStatTypeList(lines, QStringLiteral("Include"));
    EXPECT_EQ(lines,
              (QStringList{TypeLine(QStringLiteral("*.doc")), TypeLine(QStringLiteral("*.exe")),
                           TypeLine(QStringLiteral("*.dll"))}));
    EXPECT_EQ(lines[0], QStringLiteral("*.doc\t") + FileTypeName(QStringLiteral(".doc")));

    const struct {
        const char* number;
        QStringList patterns;
    } cases[] = {
        {"0", {}},
        {"0x3", {QStringLiteral("*.a"), QStringLiteral("*.b"), QStringLiteral("*.c")}},
        {"2", {QStringLiteral("*.a"), QStringLiteral("*.b")}},
        {"-1", {QStringLiteral("*.doc"), QStringLiteral("*.exe"), QStringLiteral("*.dll")}},
        {"many", {QStringLiteral("*.doc"), QStringLiteral("*.exe"), QStringLiteral("*.dll")}},
    };
    setRaw(QStringLiteral("File1"), QStringLiteral("*.a"));
    setRaw(QStringLiteral("File2"), QStringLiteral("*.b"));
    setRaw(QStringLiteral("File3"), QStringLiteral("*.c"));
    for (const auto& c : cases) {
        setRaw(QStringLiteral("Number"), QLatin1String(c.number));
        ReadStatTypeList(lines, QStringLiteral("Include"));
        EXPECT_EQ(patternsOf(lines), c.patterns) << c.number;
    }

    // Written back as patterns; "Exclude" is a list of its own.
    ASSERT_TRUE(
        WriteStatTypeList({QStringLiteral("*.tmp\tTemporary file"), QStringLiteral("readme.txt")},
                          QStringLiteral("Exclude")));
    const NumberedList stored = SettingsStore().readList(QStringLiteral("Exclude"));
    EXPECT_EQ(stored.entries, (QStringList{QStringLiteral("*.tmp"), QStringLiteral("readme.txt")}));
}

TEST_F(StatListTest, EditorAddsDeletesAndStoresOnClose) {
    ASSERT_TRUE(WriteStatTypeList(
        {QStringLiteral("*.txt"), QStringLiteral("*.pdf"), QStringLiteral("*.odt")},
        QStringLiteral("Exclude")));
    TfrmStatList e(QStringLiteral("Exclude"));
    e.show();
    EXPECT_EQ(e.windowTitle(), QStringLiteral("File types"));
    EXPECT_EQ(e.lblCount->text(), QStringLiteral("3 available"));

    // A pattern already there leaves the list as it is.
    test::onModal<TfrmSelectExtension>([](TfrmSelectExtension& s) {
        s.Edit1->setText(QStringLiteral(".txt"));
        s.btOKClick(false);
    });
    e.btAdd->click();
    EXPECT_EQ(
        patternsOf(e.PickList1->lines()),
        (QStringList{QStringLiteral("*.odt"), QStringLiteral("*.pdf"), QStringLiteral("*.txt")}));

    e.PickList1->item(0)->setSelected(true);
    e.PickList1->item(1)->setSelected(true);
    prompter_.script({Answer::Cancel, Answer::Yes});
    e.btDelete->click();
    EXPECT_EQ(e.PickList1->count(), 3);
    e.btDelete->click();
    EXPECT_EQ(prompter_.texts(), QStringList(2, QStringLiteral("Really delete 2 extensions?")));
    EXPECT_EQ(e.lblCount->text(), QStringLiteral("1 available"));

    prompter_.script({Answer::Yes});
    e.btClear->click();
    EXPECT_EQ(e.lblCount->text(), QStringLiteral("0 available"));

    // Esc stores too and answers OK; an emptied list is stored as 0 entries.
    e.reject();
    EXPECT_EQ(e.result(), QDialog::Accepted);
    const NumberedList stored = SettingsStore().readList(QStringLiteral("Exclude"));
    EXPECT_TRUE(stored.saved);
    EXPECT_TRUE(stored.entries.isEmpty());
    EXPECT_EQ(SettingsStore().readInteger(QStringLiteral("Exclude"), QStringLiteral("Number"), -1),
              0);
}

}  // namespace
}  // namespace dw
