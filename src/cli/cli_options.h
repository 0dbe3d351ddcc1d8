#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QTextStream>

#include <optional>
#include <utility>

// The reading of a subcommand's arguments that every subcommand shares: operands,
// "--", "--help", "--name value" and "--name=value".
namespace dw::cli {

// Walks the arguments of one subcommand:
//
//     OptionCursor c(args);
//     while (c.next()) {
//         if (c.isOperand()) { folders << c.arg(); }
//         else if (c.isHelp()) { return showUsage(out, usage()); }
//         else if (c.arg() == "--hidden") { ... }          // a flag: the whole argument
//         else if (c.name() == "--pattern") { c.value() }  // "--pattern P" or "--pattern=P"
//         else { return usageError(err, command, c.unknownOptionText()); }
//     }
//
// A flag is matched on the whole argument, so "--hidden=1" stays an unknown option.
class OptionCursor {
public:
    enum class Operands {
        // An argument that does not begin with "-", a "-" alone, and every argument after
        // the first "--" (which is passed over) is an operand.
        Taken,
        // The command takes no operands: every argument, "--" too, is the caller's to
        // match (isOperand() is always false).
        None,
    };

    // `args` must outlive the cursor.
    explicit OptionCursor(const QList<QByteArray>& args, Operands operands = Operands::Taken)
        : args_(args), operands_(operands) {}

    // Moves to the next argument; false when none is left.
    bool next();

    // The argument moved to, whole.
    const QByteArray& arg() const { return current_; }
    bool isOperand() const { return operand_; }
    // "--help" or "-h" (never an operand).
    bool isHelp() const { return !operand_ && (current_ == "--help" || current_ == "-h"); }
    // The option's name: the argument up to its "=" when it begins with "--" and has one,
    // else the whole argument.
    const QByteArray& name() const { return name_; }
    bool hasInlineValue() const { return eq_ >= 0; }

    // Takes the option's value: the text after "=", else the next argument (consumed,
    // whatever it looks like); nullopt when there is none.
    std::optional<QByteArray> value();
    // Takes the next two arguments as the values of an option of two ("--between N M");
    // nullopt, with nothing taken, when fewer than two are left.
    std::optional<std::pair<QByteArray, QByteArray>> twoValues();

    // "unknown option 'ARG'": the usage error for an option the command does not know.
    QString unknownOptionText() const;

private:
    const QList<QByteArray>& args_;
    const Operands operands_;
    qsizetype i_ = 0;
    qsizetype eq_ = -1;
    bool operand_ = false;
    bool optionsEnded_ = false;
    QByteArray name_;
    QByteArray current_;
};

// An option's value read as a date written YYYY-MM-DD (exactly ten characters);
// nullopt when there is no value or it is no such valid date.
std::optional<QDate> isoDate(const std::optional<QByteArray>& text);

// Writes a command's usage text on `out`, flushes it and returns kExitOk: what every
// command does for "--help".
int showUsage(QTextStream& out, const QString& usage);

// Reads the arguments of a command that takes operands and no options but help into
// `operands`, in their order. Returns nullopt when the command is to go on; else the exit
// status it ends with: kExitOk after writing `usage` for help, kExitUsage after writing
// the usage error of `command` for an option or, when no operand was given,
// `noOperandText` ("no file given").
std::optional<int> readOperandsOnly(const QList<QByteArray>& args, const char* command,
                                    const QString& usage, const char* noOperandText,
                                    QList<QByteArray>& operands, QTextStream& out,
                                    QTextStream& err);

}  // namespace dw::cli
