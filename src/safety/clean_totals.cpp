#include "safety/clean_totals.h"

#include <QList>
#include <QString>

#include <limits>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "platform/settings_file.h"

namespace dw {

namespace {

QString section() {
    return QString::fromLatin1(settings::kDiskwell);
}

qint64 readTotal(const SettingsStore& store, const char* name) {
    return store.readInteger(section(), QString::fromLatin1(name), settings::kTotalNotCounted);
}

qint64 addTo(qint64 stored, qint64 added) {
    const qint64 base = stored > 0 ? stored : 0;
    const qint64 add = added > 0 ? added : 0;
    return base > std::numeric_limits<qint64>::max() - add ? std::numeric_limits<qint64>::max()
                                                           : base + add;
}

// The stored value of `name` among `values` (the section as read), or -1 when it is
// missing or no integer, as readInteger reads it.
qint64 storedTotal(const QList<platform::SettingsFile::Value>& values, const char* name) {
    qint64 total = settings::kTotalNotCounted;
    for (const auto& [key, text] : values) {
        if (key.compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0) {
            total = parseStoredInteger(text).value_or(settings::kTotalNotCounted);
        }
    }
    return total;
}

// Adds to the sums of one group, and sets its date when it was not counted yet, in one
// read-modify-write under the settings file's lock: runs that end at the same moment
// each add their own amounts.
bool record(const QList<std::pair<const char*, qint64>>& amounts, const char* dateName,
            const QDate& today) {
    return platform::SettingsFile::user().update(
        SettingsStore::sectionPath(section()),
        [&](const QList<platform::SettingsFile::Value>& current) {
            QList<platform::SettingsFile::Value> values;
            for (const auto& [name, added] : amounts) {
                values.append({QString::fromLatin1(name),
                               QString::number(addTo(storedTotal(current, name), added))});
            }
            if (storedTotal(current, dateName) < 0) {
                values.append(
                    {QString::fromLatin1(dateName), QString::number(totalsDayNumber(today))});
            }
            return values;
        });
}

}  // namespace

qint64 totalsDayNumber(const QDate& date) {
    return QDate(1899, 12, 30).daysTo(date);
}

CleanTotals readCleanTotals() {
    const SettingsStore store;
    CleanTotals t;
    t.Ndelete = readTotal(store, settings::kNdelete);
    t.SizeDelete = readTotal(store, settings::kSizeDelete);
    t.NWaste = readTotal(store, settings::kNWaste);
    t.SizeWaste = readTotal(store, settings::kSizeWaste);
    t.DelDate = readTotal(store, settings::kDelDate);
    t.NZip = readTotal(store, settings::kNZip);
    t.SizeZip = readTotal(store, settings::kSizeZip);
    t.ZipDate = readTotal(store, settings::kZipDate);
    return t;
}

bool recordDeleteTotals(qint64 deletedCount, qint64 deletedBytes, qint64 recycledCount,
                        qint64 recycledBytes, const QDate& today) {
    return record({{settings::kNdelete, deletedCount},
                   {settings::kSizeDelete, deletedBytes},
                   {settings::kNWaste, recycledCount},
                   {settings::kSizeWaste, recycledBytes}},
                  settings::kDelDate, today);
}

bool recordZipTotals(qint64 count, qint64 bytes, const QDate& today) {
    return record({{settings::kNZip, count}, {settings::kSizeZip, bytes}}, settings::kZipDate,
                  today);
}

bool resetCleanTotals() {
    return platform::SettingsFile::user().update(
        SettingsStore::sectionPath(section()), [](const QList<platform::SettingsFile::Value>&) {
            QList<platform::SettingsFile::Value> values;
            for (const char* name : {settings::kNdelete, settings::kSizeDelete, settings::kNZip,
                                     settings::kZipDate, settings::kSizeZip, settings::kNWaste,
                                     settings::kSizeWaste, settings::kDelDate}) {
                values.append(
                    {QString::fromLatin1(name), QString::number(settings::kTotalNotCounted)});
            }
            return values;
        });
}

}  // namespace dw
