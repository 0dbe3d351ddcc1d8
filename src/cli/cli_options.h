#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// The reading of "--name value" and "--name=value" options that several subcommands
// share.
namespace dw::cli {

// Walks the arguments of one subcommand. `name()` is the option's name without its
// "=value" part; `value()` takes the option's value: the text after "=", else the next
// argument (consumed), nullopt when there is none.
class OptionCursor {
public:
    explicit OptionCursor(const QList<QByteArray>& args) : args_(args) {}

    bool atEnd() const { return i_ >= args_.size(); }
    // Moves to the next argument; returns it.
    const QByteArray& next() {
        current_ = args_[i_++];
        eq_ = current_.startsWith("--") ? current_.indexOf('=') : -1;
        name_ = eq_ >= 0 ? current_.left(eq_) : current_;
        return current_;
    }
    const QByteArray& name() const { return name_; }
    bool hasInlineValue() const { return eq_ >= 0; }
    std::optional<QByteArray> value() {
        if (eq_ >= 0) {
            return current_.mid(eq_ + 1);
        }
        if (atEnd()) {
            return std::nullopt;
        }
        return args_[i_++];
    }

private:
    const QList<QByteArray>& args_;
    qsizetype i_ = 0;
    qsizetype eq_ = -1;
    QByteArray name_;
    QByteArray current_;
};

}  // namespace dw::cli
