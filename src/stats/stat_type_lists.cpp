#include "stats/stat_type_lists.h"

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "scan/type_lines.h"

namespace dw {

void ReadStatTypeList(QStringList& list, const QString& name) {
    list.clear();
    const NumberedList stored = SettingsStore().readList(name);
    const QStringList patterns = stored.saved ? stored.entries : settings::defaultStatisticsTypes();
    for (const QString& pattern : patterns) {
        list.append(TypeLine(pattern));
    }
}

bool WriteStatTypeList(const QStringList& list, const QString& name) {
    QStringList patterns;
    patterns.reserve(list.size());
    for (const QString& line : list) {
        patterns.append(TypeLinePattern(line));
    }
    return SettingsStore().writeList(name, patterns);
}

}  // namespace dw
