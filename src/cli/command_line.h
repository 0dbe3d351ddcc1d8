#pragma once

#include <QByteArray>
#include <QList>
#include <QTextStream>

#include "cli/cli_support.h"

// The command-line tool diskwell-cli: the program's engines for scripts and servers, one
// subcommand per tool ("diskwell-cli walk FOLDER..."). Everything here runs without a
// window system.
namespace dw::cli {

// Runs the command line `args` (the arguments after the program's name, as native bytes,
// so folder names reach the engines exactly). Results go to `out`, usage errors and help
// requested by mistake to `err`; messages of the engines go through the prompter in
// force (the console one prints them on stderr). Returns the exit status.
//
// "--help", "-h" and "help" print the overview on `out` and give 0; "help CMD" and
// "CMD --help" print the subcommand's usage; "--version" prints the version. No
// arguments, an unknown command or bad arguments of a subcommand print a message and a
// hint on `err` and give kExitUsage.
int runCommandLine(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);

}  // namespace dw::cli
