#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

#include <optional>

#include "platform/prompter.h"
#include "scan/drive_entry.h"

// What every subcommand of diskwell-cli shares: its exit statuses, its name in messages,
// how it reports bad arguments, how it writes native paths, and how it says what an
// engine reported.
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

// Writes a bad-arguments message on `err` and returns kExitUsage. With a `command`
// ("walk"): "diskwell-cli walk: MESSAGE" and "Try 'diskwell-cli walk --help'."; with
// nullptr, the same without the command. Each line ends with "\n"; `err` is flushed.
int usageError(QTextStream& err, const char* command, const QString& message);

// Writes `bytes` (a native path) to `stream` as they are, so a script can match them to
// what it asked: the stream is flushed and the bytes go to its device unchanged. A
// stream with no device (a test's string) gets their decoded text instead.
void writeBytes(QTextStream& stream, const QByteArray& bytes);

// Whether the process ends as soon as the command returns: diskwell-cli's main sets it;
// it is false by default (commands run inside a test). A command that built large
// structures may then leave them to the end of the process instead of freeing them
// piece by piece, once everything it writes is flushed.
void setEndingWithCommand(bool ending);
bool endingWithCommand();

// The folders named on a command line as a walk's checked entries, in their order: each
// an extra folder whose start folder is the native bytes given and whose text is their
// decoded name.
QList<DriveEntry> folderEntries(const QList<QByteArray>& folders);

// Says what an engine reported the way the windows do, through the prompter in force
// (the console one prints "error: diskwell-cli: TEXT" and the like on stderr): `sound`
// first when one is given, then one box of `kind` with `text`, titled with the
// application's name, with an OK button.
void tell(platform::MessageKind kind, const QString& text,
          std::optional<platform::Sound> sound = std::nullopt);

}  // namespace dw::cli
