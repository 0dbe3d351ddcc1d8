#include "cli/cli_options.h"

#include <QFile>

#include "cli/cli_support.h"

namespace dw::cli {

bool OptionCursor::next() {
    while (i_ < args_.size()) {
        current_ = args_[i_++];
        if (operands_ == Operands::Taken && !optionsEnded_ && current_ == "--") {
            optionsEnded_ = true;
            continue;
        }
        operand_ = operands_ == Operands::Taken &&
                   (optionsEnded_ || !current_.startsWith('-') || current_ == "-");
        eq_ = !operand_ && current_.startsWith("--") ? current_.indexOf('=') : -1;
        name_ = eq_ >= 0 ? current_.left(eq_) : current_;
        return true;
    }
    return false;
}

std::optional<QByteArray> OptionCursor::value() {
    if (eq_ >= 0) {
        return current_.mid(eq_ + 1);
    }
    if (i_ >= args_.size()) {
        return std::nullopt;
    }
    return args_[i_++];
}

std::optional<std::pair<QByteArray, QByteArray>> OptionCursor::twoValues() {
    if (i_ + 1 >= args_.size()) {
        return std::nullopt;
    }
    std::pair<QByteArray, QByteArray> values{args_[i_], args_[i_ + 1]};
    i_ += 2;
    return values;
}

QString OptionCursor::unknownOptionText() const {
    return QStringLiteral("unknown option '%1'").arg(QFile::decodeName(current_));
}

std::optional<QDate> isoDate(const std::optional<QByteArray>& text) {
    if (!text || text->size() != 10) {
        return std::nullopt;
    }
    const QDate d = QDate::fromString(QString::fromLatin1(*text), Qt::ISODate);
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

int showUsage(QTextStream& out, const QString& usage) {
    out << usage;
    out.flush();
    return kExitOk;
}

std::optional<int> readOperandsOnly(const QList<QByteArray>& args, const char* command,
                                    const QString& usage, const char* noOperandText,
                                    QList<QByteArray>& operands, QTextStream& out,
                                    QTextStream& err) {
    OptionCursor c(args);
    while (c.next()) {
        if (c.isOperand()) {
            operands.append(c.arg());
        } else if (c.isHelp()) {
            return showUsage(out, usage);
        } else {
            return usageError(err, command, c.unknownOptionText());
        }
    }
    if (operands.isEmpty()) {
        return usageError(err, command, QString::fromLatin1(noOperandText));
    }
    return std::nullopt;
}

}  // namespace dw::cli
