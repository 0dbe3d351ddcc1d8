#include "finders/space_tree.h"

#include <algorithm>

#include "platform/paths.h"

namespace dw {

namespace {

constexpr quint8 kRemoved = 0x80;

quint8 kindBits(SpaceItem::Kind kind) {
    return quint8(kind);
}

}  // namespace

SpaceTree::SpaceTree() {
    items_.emplace_back();  // the top
    types_.append(QByteArray());
}

QByteArray SpaceTree::name(quint32 index) const {
    if (index == 0 || index >= size()) {
        return {};
    }
    const SpaceItem& it = items_[index];
    if (it.parent == 0) {
        return startPaths_.value(qsizetype(it.name));
    }
    return names_.mid(it.name, it.nameLength);
}

QByteArray SpaceTree::path(quint32 index) const {
    if (index == 0 || index >= size()) {
        return {};
    }
    if (items_[index].kind() == SpaceItem::Kind::SmallFiles) {
        index = items_[index].parent;
    }
    std::vector<quint32> chain;
    for (quint32 i = index; i != 0 && i != kNoSpaceItem; i = items_[i].parent) {
        chain.push_back(i);
    }
    QByteArray result = name(chain.back());
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        result = platform::joinPath(result, name(*it));
    }
    return result;
}

quint32 SpaceTree::find(const QByteArray& path) const {
    const SpaceItem& top = items_[0];
    for (quint32 r = top.first; r < top.first + top.count; ++r) {
        const QByteArray& start = startPaths_.value(qsizetype(items_[r].name));
        if (items_[r].removed()) {
            continue;
        }
        if (path == start) {
            return r;
        }
        const QByteArray prefix = start.endsWith('/') ? start : start + '/';
        if (!path.startsWith(prefix)) {
            continue;
        }
        quint32 at = r;
        const QList<QByteArray> parts = path.mid(prefix.size()).split('/');
        for (const QByteArray& part : parts) {
            const SpaceItem& folder = items_[at];
            if (!folder.isFolder()) {
                at = kNoSpaceItem;
                break;
            }
            quint32 next = kNoSpaceItem;
            for (quint32 c = folder.first; c < folder.first + folder.count; ++c) {
                const SpaceItem& child = items_[c];
                if (child.kind() != SpaceItem::Kind::SmallFiles && !child.removed() &&
                    child.nameLength == part.size() &&
                    QByteArrayView(names_.constData() + child.name, child.nameLength) == part) {
                    next = c;
                    break;
                }
            }
            at = next;
            if (at == kNoSpaceItem) {
                break;
            }
        }
        if (at != kNoSpaceItem) {
            return at;
        }
    }
    return kNoSpaceItem;
}

quint32 SpaceTree::startFolderOf(quint32 index) const {
    if (index == 0 || index >= size()) {
        return kNoSpaceItem;
    }
    while (items_[index].parent != 0) {
        index = items_[index].parent;
    }
    return index;
}

qint64 SpaceTree::capacity(quint32 index) const {
    const quint32 start = startFolderOf(index);
    return start == kNoSpaceItem ? 0 : capacities_.value(qsizetype(items_[start].name));
}

bool SpaceTree::remove(quint32 index) {
    if (index == 0 || index >= size()) {
        return false;
    }
    for (quint32 i = index; i != 0; i = items_[i].parent) {
        if (items_[i].removed()) {
            return false;
        }
    }
    SpaceItem& it = items_[index];
    const qint64 bytes = it.bytes;
    it.bytes = 0;
    it.flags |= kRemoved;
    for (quint32 i = it.parent; i != kNoSpaceItem; i = items_[i].parent) {
        items_[i].bytes -= bytes;
    }
    return true;
}

qsizetype SpaceTree::memoryBytes() const {
    qsizetype total = qsizetype(items_.capacity() * sizeof(SpaceItem)) + names_.capacity();
    for (const QByteArray& p : startPaths_) {
        total += p.capacity();
    }
    for (const QByteArray& t : types_) {
        total += t.capacity() + qsizetype(sizeof(QByteArray));
    }
    return total;
}

SpaceTreeBuilder::SpaceTreeBuilder(qint64 keptFileSize) {
    tree_.keptFileSize_ = std::max<qint64>(keptFileSize, 0);
    stages_.resize(1);
}

void SpaceTreeBuilder::enterFolder(const QByteArray& path, qint64 capacity) {
    ++open_;
    if (std::size_t(open_) >= stages_.size()) {
        stages_.resize(std::size_t(open_) + 1);
    }
    Stage& s = stages_[std::size_t(open_)];
    s.children.clear();
    s.bytes = 0;
    s.smallBytes = 0;
    s.smallCount = 0;
    if (open_ == 1) {
        s.name = quint32(tree_.startPaths_.size());
        s.nameLength = 0;
        tree_.startPaths_.append(path);
        tree_.capacities_.append(capacity);
        return;
    }
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArrayView own = QByteArrayView(path).sliced(slash + 1);
    s.name = quint32(tree_.names_.size());
    s.nameLength = quint8(std::min<qsizetype>(own.size(), 255));
    tree_.names_.append(own.first(s.nameLength));
}

quint16 SpaceTreeBuilder::typeOf(const QByteArray& name) {
    const quint32 id = typeNames_.idOfName(name);
    if (id < typeIndexOfName_.size()) {
        return typeIndexOfName_[id];
    }
    const QByteArrayView text = typeNames_.utf8(id);
    quint16 index = 0;
    // More types than an index holds: the rest go without a type.
    if (!text.isEmpty() && tree_.types_.size() <= 0xFFFF) {
        index = quint16(tree_.types_.size());
        tree_.types_.append(text.toByteArray());
    }
    typeIndexOfName_.push_back(index);
    return index;
}

void SpaceTreeBuilder::addFile(const QByteArray& name, qint64 size) {
    if (open_ == 0) {
        return;
    }
    Stage& s = stages_[std::size_t(open_)];
    s.bytes += size;
    if (size < tree_.keptFileSize_) {
        s.smallBytes += size;
        ++s.smallCount;
        return;
    }
    SpaceItem file;
    file.bytes = size;
    file.name = quint32(tree_.names_.size());
    file.nameLength = quint8(std::min<qsizetype>(name.size(), 255));
    file.type = typeOf(name);
    file.flags = kindBits(SpaceItem::Kind::File);
    tree_.names_.append(name.constData(), file.nameLength);
    s.children.push_back(file);
}

void SpaceTreeBuilder::commit(Stage& stage, SpaceItem& folder) {
    if (stage.smallCount > 0) {
        SpaceItem small;
        small.bytes = stage.smallBytes;
        small.count = stage.smallCount;
        small.flags = kindBits(SpaceItem::Kind::SmallFiles);
        stage.children.push_back(small);
    }
    std::stable_sort(stage.children.begin(), stage.children.end(),
                     [](const SpaceItem& a, const SpaceItem& b) { return a.bytes > b.bytes; });
    std::vector<SpaceItem>& items = tree_.items_;
    const quint32 first = quint32(items.size());
    items.insert(items.end(), stage.children.begin(), stage.children.end());
    // A folder's children were stored before its own place was known: point them at it.
    for (quint32 i = first; i < quint32(items.size()); ++i) {
        const SpaceItem& child = items[i];
        if (child.isFolder()) {
            for (quint32 c = child.first; c < child.first + child.count; ++c) {
                items[c].parent = i;
            }
        }
    }
    folder.first = first;
    folder.count = quint32(stage.children.size());
    folder.bytes = stage.bytes;
    stage.children.clear();
}

void SpaceTreeBuilder::leaveFolder() {
    if (open_ == 0) {
        return;
    }
    Stage& s = stages_[std::size_t(open_)];
    SpaceItem folder;
    folder.name = s.name;
    folder.nameLength = s.nameLength;
    folder.flags = kindBits(SpaceItem::Kind::Folder);
    commit(s, folder);
    --open_;
    Stage& parent = stages_[std::size_t(open_)];
    parent.bytes += folder.bytes;
    parent.children.push_back(folder);
}

SpaceTree SpaceTreeBuilder::finish() {
    while (open_ > 0) {
        leaveFolder();
    }
    Stage& top = stages_[0];
    SpaceItem folder = tree_.items_[0];
    // The start folders keep the order they were walked in.
    std::vector<SpaceItem> starts = std::move(top.children);
    top.children.clear();
    std::vector<SpaceItem>& items = tree_.items_;
    const quint32 first = quint32(items.size());
    items.insert(items.end(), starts.begin(), starts.end());
    for (quint32 i = first; i < quint32(items.size()); ++i) {
        items[i].parent = 0;
        for (quint32 c = items[i].first; c < items[i].first + items[i].count; ++c) {
            items[c].parent = i;
        }
    }
    folder.first = first;
    folder.count = quint32(starts.size());
    folder.bytes = top.bytes;
    folder.flags = kindBits(SpaceItem::Kind::Folder);
    items[0] = folder;
    items.shrink_to_fit();
    tree_.names_.squeeze();
    SpaceTree done = std::move(tree_);
    tree_ = SpaceTree();
    tree_.keptFileSize_ = done.keptFileSize_;
    typeNames_.clear();
    typeIndexOfName_.clear();
    top.bytes = 0;
    return done;
}

}  // namespace dw
