#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace dw::test {

// Sets an environment variable (or unsets it, for nullopt) for one scope, and puts
// back what was there before, set or unset, when the scope ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<QByteArray> value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (value) {
            qputenv(name, *value);
        } else {
            qunsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

}  // namespace dw::test
