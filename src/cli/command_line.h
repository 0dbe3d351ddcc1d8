#pragma once

#include <QByteArray>
#include <QList>
#include <QTextStream>

// The command-line tool diskwell-cli: the program's engines for scripts and servers, one
// subcommand per tool ("diskwell-cli walk FOLDER..."). Everything here runs without a
// window system.
namespace dw::cli {

// Exit statuses of every subcommand.
inline constexpr int kExitOk = 0;
// The command ran, but some of its work could not be done (a folder that could not be
// opened); what it could do is reported as usual.
inline constexpr int kExitIncomplete = 1;
// Bad arguments: nothing was done.
inline constexpr int kExitUsage = 2;

// The program's name in messages and usage texts.
inline constexpr char kProgramName[] = "diskwell-cli";

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
