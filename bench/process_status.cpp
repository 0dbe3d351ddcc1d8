#include "process_status.h"

#include <QByteArray>
#include <QFile>

namespace dw::bench {

long ProcessStatusKiB(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray name = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(name)) {
            return line.mid(name.size()).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

}  // namespace dw::bench
