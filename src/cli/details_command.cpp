#include "cli/details_command.h"

#include <QFile>

#include <optional>

#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "finders/file_crc.h"
#include "inspect/file_details.h"
#include "inspect/grid_export.h"

namespace dw::cli {

QString detailsUsage() {
    return QStringLiteral(
               "Usage: %1 details FILE...\n"
               "\n"
               "Prints what the File Details window shows of each FILE, one line per\n"
               "field, LABEL<TAB>VALUE: File name, Type, Size, Size on disk (the volume's\n"
               "cluster size and the clusters the file takes), Creation date,\n"
               "Modification date, Access date (\"???\" for a date the file system does\n"
               "not keep), Attributes, then the version information of Windows programs\n"
               "and libraries (Company, File description, File version, ...). A blank\n"
               "line separates the files. TAB, line breaks and backslashes in a value are\n"
               "written \\t, \\n, \\r and \\\\, bytes that are not UTF-8 \\xHH. A symbolic\n"
               "link is described as itself.\n"
               "\n"
               "Options:\n"
               "  -h, --help   show this help\n"
               "  --           the arguments after it are files, even those beginning\n"
               "               with \"-\"\n"
               "\n"
               "Exit status: 0 done, 1 a FILE was not found (the others are described),\n"
               "2 bad arguments.\n")
        .arg(QLatin1String(kProgramName));
}

int runDetails(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    QList<QByteArray> files;
    if (const auto status =
            readOperandsOnly(args, "details", detailsUsage(), "no file given", files, out, err)) {
        return *status;
    }
    int status = kExitOk;
    bool first = true;
    for (const QByteArray& file : files) {
        const std::optional<FileDetails> details = ReadFileDetails(file);
        if (!details) {
            out.flush();
            err << kProgramName << " details: cannot find " << QFile::decodeName(file) << '\n';
            err.flush();
            status = kExitIncomplete;
            continue;
        }
        QByteArray text;
        if (!first) {
            text += '\n';
        }
        first = false;
        for (const auto& [label, value] : DetailsFields(*details)) {
            text += label.toUtf8() + '\t';
            text +=
                label == QLatin1String("File name") ? TsvEscape(file) : TsvEscape(value.toUtf8());
            text += '\n';
        }
        writeBytes(out, text);
    }
    out.flush();
    return status;
}

QString crcUsage() {
    return QStringLiteral(
               "Usage: %1 crc FILE...\n"
               "\n"
               "Prints the check value that the pair comparison of the duplicates window\n"
               "shows for each FILE, one line per FILE: VALUE<TAB>FILE. VALUE is eight\n"
               "upper-case hexadecimal digits: the CRC-32 of each 2,048-byte block of the\n"
               "file, added up modulo 2^32 (a file of up to 2,048 bytes gives its plain\n"
               "CRC-32; an empty file 00000000). A FILE that is not a regular file that\n"
               "can be read (a symbolic link is not followed) gives \"unreadable\".\n"
               "TAB, line breaks and backslashes in FILE are written \\t, \\n, \\r and\n"
               "\\\\, bytes that are not UTF-8 \\xHH.\n"
               "\n"
               "Options:\n"
               "  -h, --help   show this help\n"
               "  --           the arguments after it are files, even those beginning\n"
               "               with \"-\"\n"
               "\n"
               "Exit status: 0 done, 1 a FILE was unreadable (the others are printed),\n"
               "2 bad arguments.\n")
        .arg(QLatin1String(kProgramName));
}

int runCrc(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    QList<QByteArray> files;
    if (const auto status =
            readOperandsOnly(args, "crc", crcUsage(), "no file given", files, out, err)) {
        return *status;
    }
    int status = kExitOk;
    for (const QByteArray& file : files) {
        const std::optional<quint32> value = FileCrc(file);
        if (!value) {
            status = kExitIncomplete;
        }
        writeBytes(out, FileCrcText(value).toLatin1() + '\t' + TsvEscape(file) + '\n');
    }
    out.flush();
    return status;
}

}  // namespace dw::cli
