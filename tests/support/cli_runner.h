#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace dw::test {

// What one run of the built command-line tool gave.
struct CliRun {
    int status = -1;  // exit status; -1 when it did not start or did not end normally
    QByteArray out;   // standard output, byte for byte
    QByteArray err;   // standard error, byte for byte

    QString outText() const { return QString::fromUtf8(out); }
    QString errText() const { return QString::fromUtf8(err); }
};

// How to run it: the environment (the test's own by default), what to feed its standard
// input (closed after), and the folder to run it in (the test's current one when empty).
struct CliOptions {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QByteArray input;
    QString workingFolder;
    // Standard output and error through one pipe, into `out`, in the order written (as
    // a terminal shows them); `err` stays empty.
    bool merged = false;
};

// Runs the built diskwell-cli with `args` and waits up to two minutes for it.
CliRun runCli(const QStringList& args, const CliOptions& options = {});

}  // namespace dw::test
