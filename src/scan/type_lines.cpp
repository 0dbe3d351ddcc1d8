#include "scan/type_lines.h"

#include "base/utility.h"

namespace dw {

QString PatternExtension(const QString& pattern) {
    const qsizetype dot = pattern.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : pattern.mid(dot);
}

QString TypeLine(const QString& pattern) {
    return pattern + QLatin1Char('\t') + FileTypeName(PatternExtension(pattern));
}

QString TypeLinePattern(const QString& line) {
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    return tab < 0 ? line : line.left(tab);
}

int AddTypeLines(QStringList& lines, const QStringList& added) {
    int count = 0;
    for (const QString& line : added) {
        if (!lines.contains(line)) {
            lines.append(line);
            ++count;
        }
    }
    return count;
}

}  // namespace dw
