#include "finders/treemap_legend.h"

#include <QHash>

#include <algorithm>

#include "base/utility.h"

namespace dw {

namespace {

// The bytes of the kept files by type name; empty when cancelled.
std::vector<qint64> bytesByType(const SpaceTree& tree, const TreemapTypeNames& names,
                                const std::atomic<bool>* cancel) {
    std::vector<qint64> bytes(std::size_t(names.names.size()), 0);
    std::vector<quint32> stack{0};
    while (!stack.empty()) {
        const SpaceItem& it = tree.item(stack.back());
        stack.pop_back();
        if (it.removed()) {
            continue;
        }
        if (it.isFolder()) {
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                return {};
            }
            for (quint32 c = it.first; c < it.first + it.count; ++c) {
                stack.push_back(c);
            }
        } else if (it.kind() == SpaceItem::Kind::File && it.type < names.typeOf.size()) {
            bytes[names.typeOf[it.type]] += it.bytes;
        }
    }
    return bytes;
}

}  // namespace

TreemapTypeNames treemapTypeNames(const SpaceTree& tree) {
    TreemapTypeNames names;
    QHash<QString, quint32> byName;
    for (const QByteArray& type : tree.types()) {
        const QString name =
            type.isEmpty() ? QStringLiteral("No extension") : QString::fromUtf8(type);
        const auto found = byName.constFind(name);
        if (found != byName.constEnd()) {
            names.typeOf.push_back(found.value());
            continue;
        }
        byName.insert(name, quint32(names.names.size()));
        names.typeOf.push_back(quint32(names.names.size()));
        names.names.append(name);
    }
    return names;
}

TreemapLegend treemapLegend(const SpaceTree& tree, const TreemapTypeNames& names,
                            const std::atomic<bool>* cancel) {
    TreemapLegend legend;
    const std::vector<qint64> bytes = bytesByType(tree, names, cancel);
    std::vector<quint32> order;
    for (std::size_t t = 0; t < bytes.size(); ++t) {
        if (bytes[t] > 0) {
            order.push_back(quint32(t));
        }
    }
    const std::size_t shown = std::min<std::size_t>(TreemapLegend::kMaxShares, order.size());
    std::partial_sort(
        order.begin(), order.begin() + qsizetype(shown), order.end(),
        [&](quint32 a, quint32 b) { return bytes[a] != bytes[b] ? bytes[a] > bytes[b] : a < b; });
    std::vector<int> slotOfName(std::size_t(names.names.size()), TreemapLegend::kOtherTypes);
    for (std::size_t i = 0; i < shown; ++i) {
        legend.shares.push_back(
            TreemapTypeShare{names.names.value(qsizetype(order[i])), bytes[order[i]]});
        slotOfName[order[i]] = int(i);
    }
    legend.slotOfType.reserve(names.typeOf.size());
    for (const quint32 name : names.typeOf) {
        legend.slotOfType.push_back(name < slotOfName.size() ? slotOfName[name]
                                                             : TreemapLegend::kOtherTypes);
    }
    return legend;
}

}  // namespace dw
