#include "scan/scan_growth.h"

#include <QHash>

#include <algorithm>

namespace dw {

QList<GrowthRow> compareScans(const QList<HistoryFolder>& was, const QList<HistoryFolder>& now) {
    QHash<QByteArray, const HistoryFolder*> before;
    before.reserve(was.size());
    for (const HistoryFolder& f : was) {
        before.insert(f.path, &f);
    }
    QList<GrowthRow> rows;
    rows.reserve(qMax(was.size(), now.size()));
    for (const HistoryFolder& f : now) {
        GrowthRow r;
        r.path = f.path;
        r.now = f.apparent;
        r.filesNow = f.files;
        const auto it = before.constFind(f.path);
        if (it == before.constEnd()) {
            r.state = GrowthState::New;
        } else {
            r.was = (*it)->apparent;
            r.filesWas = (*it)->files;
            r.state = r.now > r.was   ? GrowthState::Grew
                      : r.now < r.was ? GrowthState::Shrank
                                      : GrowthState::Same;
            before.erase(it);
        }
        r.change = r.now - r.was;
        rows.append(r);
    }
    for (const HistoryFolder* f : std::as_const(before)) {
        rows.append({f->path, f->apparent, 0, -f->apparent, f->files, 0, GrowthState::Gone});
    }
    std::sort(rows.begin(), rows.end(), [](const GrowthRow& a, const GrowthRow& b) {
        return a.change != b.change ? a.change > b.change : a.path < b.path;
    });
    return rows;
}

QString growthStateText(GrowthState state) {
    switch (state) {
        case GrowthState::New:
            return QStringLiteral("new");
        case GrowthState::Gone:
            return QStringLiteral("gone");
        case GrowthState::Grew:
            return QStringLiteral("grew");
        case GrowthState::Shrank:
            return QStringLiteral("shrank");
        case GrowthState::Same:
            break;
    }
    return QStringLiteral("same");
}

}  // namespace dw
