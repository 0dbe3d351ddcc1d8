#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTextStream>

#include "cli/cli_options.h"
#include "cli/cli_support.h"

namespace dw::cli {
namespace {

// What a cursor makes of a command line, one token per argument it stopped at:
// "op:ARG" for an operand, "help" for help, "NAME=VALUE" for an option whose value was
// asked for (VALUE "<none>" when there was none), "flag:ARG" for any other option.
// Options named "--pair" take two values, "--opt" one; everything else is a flag.
QList<QByteArray> readAll(const QList<QByteArray>& args,
                          OptionCursor::Operands operands = OptionCursor::Operands::Taken) {
    QList<QByteArray> seen;
    OptionCursor c(args, operands);
    while (c.next()) {
        if (c.isOperand()) {
            seen << "op:" + c.arg();
        } else if (c.isHelp()) {
            seen << "help";
        } else if (c.name() == "--pair") {
            const auto two = c.twoValues();
            seen << (two ? "--pair=" + two->first + "," + two->second : "--pair=<none>");
        } else if (c.name() == "--opt") {
            const std::optional<QByteArray> v = c.value();
            seen << "--opt=" + (v ? *v : QByteArray("<none>")) +
                        (c.hasInlineValue() ? QByteArray(" (inline)") : QByteArray());
        } else {
            seen << "flag:" + c.arg();
        }
    }
    return seen;
}

struct CursorCase {
    const char* name;
    QList<QByteArray> args;
    OptionCursor::Operands operands;
    QList<QByteArray> expected;
};

class OptionCursorTest : public ::testing::TestWithParam<CursorCase> {};

TEST_P(OptionCursorTest, ReadsEachArgumentAsTheCommandsExpect) {
    const CursorCase& c = GetParam();
    EXPECT_EQ(readAll(c.args, c.operands), c.expected);
}

using O = OptionCursor::Operands;

INSTANTIATE_TEST_SUITE_P(
    Arguments, OptionCursorTest,
    ::testing::Values(
        CursorCase{"Empty", {}, O::Taken, {}},
        CursorCase{"OperandsAndADashAlone", {"a", "-", "b"}, O::Taken, {"op:a", "op:-", "op:b"}},
        CursorCase{"DoubleDashEndsOptionsOnce",
                   {"--", "-h", "--opt", "--"},
                   O::Taken,
                   {"op:-h", "op:--opt", "op:--"}},
        CursorCase{"DoubleDashAtTheEnd", {"x", "--"}, O::Taken, {"op:x"}},
        CursorCase{
            "Help", {"-h", "--help", "--help=1"}, O::Taken, {"help", "help", "flag:--help=1"}},
        CursorCase{"ValueAfterOrInline",
                   {"--opt", "-v", "--opt=", "--opt=a=b"},
                   O::Taken,
                   {"--opt=-v", "--opt= (inline)", "--opt=a=b (inline)"}},
        CursorCase{"ValueMissingAtTheEnd", {"--opt"}, O::Taken, {"--opt=<none>"}},
        CursorCase{"FlagKeepsItsWholeText",
                   {"--opt1=x", "-o=x"},
                   O::Taken,
                   {"flag:--opt1=x", "flag:-o=x"}},
        CursorCase{"TwoValues", {"--pair", "1", "2", "z"}, O::Taken, {"--pair=1,2", "op:z"}},
        CursorCase{
            "TwoValuesShortTakesNothing", {"--pair", "1"}, O::Taken, {"--pair=<none>", "op:1"}},
        CursorCase{"NoOperands", {"x", "--", "-"}, O::None, {"flag:x", "flag:--", "flag:-"}}),
    [](const ::testing::TestParamInfo<CursorCase>& info) { return std::string(info.param.name); });

TEST(OptionCursor, UnknownOptionTextNamesTheWholeArgument) {
    const QList<QByteArray> args{"--what=\xff"};
    OptionCursor c(args);
    ASSERT_TRUE(c.next());
    EXPECT_EQ(c.unknownOptionText(),
              QStringLiteral("unknown option '%1'").arg(QFile::decodeName(args.front())));
}

TEST(OptionCursor, ShowUsageWritesAndSucceeds) {
    QString text;
    QTextStream out(&text);
    EXPECT_EQ(showUsage(out, QStringLiteral("Usage: x\n")), kExitOk);
    EXPECT_EQ(text, QStringLiteral("Usage: x\n"));
}

}  // namespace
}  // namespace dw::cli
