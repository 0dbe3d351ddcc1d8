#include "support/df_figures.h"

#include <QFile>
#include <QList>
#include <QProcess>

namespace dw::test {

std::optional<DfFigures> dfFigures(const QByteArray& path) {
    QProcess df;
    df.start(QStringLiteral("df"),
             {QStringLiteral("-B1"), QStringLiteral("--output=size,used,avail"),
              QFile::decodeName(path)});
    if (!df.waitForFinished(60000) || df.exitStatus() != QProcess::NormalExit ||
        df.exitCode() != 0) {
        return std::nullopt;
    }
    const QList<QByteArray> lines = df.readAllStandardOutput().trimmed().split('\n');
    if (lines.size() != 2) {
        return std::nullopt;
    }
    const QList<QByteArray> figures = lines[1].simplified().split(' ');
    if (figures.size() != 3) {
        return std::nullopt;
    }
    return DfFigures{figures[0].toLongLong(), figures[1].toLongLong(), figures[2].toLongLong()};
}

}  // namespace dw::test
