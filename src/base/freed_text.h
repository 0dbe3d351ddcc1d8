#pragma once

#include <QString>
#include <QtGlobal>

namespace dw {

// The report lines that say what a run gave back, shared by the windows and the command
// line.
enum class FreedStyle {
    Window,      // "8,192", a sentence
    CommandLine  // "8192", in lower case without the full stop, as the command's lines
};

// "8,192 bytes", or "at most 8,192 bytes" when the figure is only an upper bound.
QString freedBytesText(qint64 bytes, bool exact, FreedStyle style = FreedStyle::Window);

// What a zip run won: "Freed 8,192 bytes; the archives take 3,072 bytes on the disk: a
// savings of 5,120 bytes." A run whose archives take more than it freed says "a loss".
QString zipSavingsText(qint64 freed, bool exact, qint64 archivesOnDisk,
                       FreedStyle style = FreedStyle::Window);

}  // namespace dw
