// The manual page is written by hand; these tests keep it in step with the tool's own
// help, so that a command or option added to one cannot be missing from the other.

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "support/cli_runner.h"

namespace dw {
namespace {

using test::runCli;

// The page as a reader sees its words: roff's escaped hyphens and backslashes plain.
QString manualText() {
    QFile file(QStringLiteral(DISKWELL_MANUAL_PAGE));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << DISKWELL_MANUAL_PAGE;
        return {};
    }
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    text.replace(QStringLiteral("\\e"), QStringLiteral("\\"));
    return text;
}

// The command names of the overview's "Commands:" list.
QStringList commandsOfOverview(const QString& overview) {
    QStringList commands;
    bool inList = false;
    for (const QString& line : overview.split(QLatin1Char('\n'))) {
        if (line == QLatin1String("Commands:")) {
            inList = true;
        } else if (inList && line.startsWith(QLatin1String("  "))) {
            commands << line.trimmed().section(QLatin1Char(' '), 0, 0);
        } else if (inList) {
            break;
        }
    }
    return commands;
}

// Every option a usage text names ("--pattern", "-0", "-h").
QSet<QString> optionsOfUsage(const QString& usage) {
    static const QRegularExpression option(
        QStringLiteral("(?:^|[\\s\\[(|,])(--?[A-Za-z0-9][A-Za-z0-9-]*)"));
    QSet<QString> options;
    for (auto it = option.globalMatch(usage); it.hasNext();) {
        options.insert(it.next().captured(1));
    }
    return options;
}

TEST(ManualPage, NamesEveryCommandAndEveryOptionOfTheHelp) {
    const QString page = manualText();
    ASSERT_FALSE(page.isEmpty());

    const auto overview = runCli({QStringLiteral("--help")});
    ASSERT_EQ(overview.status, 0);
    const QStringList commands = commandsOfOverview(overview.outText());
    ASSERT_GE(commands.size(), 6) << overview.outText().toStdString();
    for (const QString& option : optionsOfUsage(overview.outText())) {
        EXPECT_TRUE(page.contains(option)) << "the overview's " << option.toStdString();
    }

    for (const QString& command : commands) {
        // Each command has a subsection of its own that starts with its name.
        EXPECT_TRUE(page.contains(QStringLiteral("\n.SS ") + command + QLatin1Char(' ')))
            << "no subsection for " << command.toStdString();
        const auto usage = runCli({QStringLiteral("help"), command});
        ASSERT_EQ(usage.status, 0) << command.toStdString();
        const QSet<QString> options = optionsOfUsage(usage.outText());
        for (const QString& option : options) {
            EXPECT_TRUE(page.contains(option))
                << command.toStdString() << ": " << option.toStdString();
        }
    }
}

TEST(ManualPage, StatesTheExitStatusesAndTheCellEscaping) {
    const QString page = manualText();
    for (const char* words :
         {".SH EXIT STATUS", ".B 0", ".B 1", ".B 2", "\\t", "\\n", "\\r", "\\\\", "\\x"}) {
        EXPECT_TRUE(page.contains(QLatin1String(words))) << words;
    }
}

}  // namespace
}  // namespace dw
