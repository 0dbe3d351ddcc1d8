#include "widgets/folder_list_box.h"

#include <QFile>
#include <QKeyEvent>
#include <QStyle>
#include <QTreeWidgetItemIterator>

#include <algorithm>

#include "platform/dir_reader.h"
#include "platform/paths.h"

namespace dw {

namespace {

constexpr int kPathRole = Qt::UserRole;

QByteArray foldAscii(const QByteArray& s) {
    QByteArray out = s;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

QByteArray normalised(const QByteArray& folder) {
    QByteArray f = folder;
    while (f.size() > 1 && f.endsWith(platform::kSep)) {
        f.chop(1);
    }
    return f.isEmpty() ? QByteArray(platform::kRootFolder) : f;
}

}  // namespace

FolderListBox::FolderListBox(QWidget* parent) : QTreeWidget(parent) {
    setToolTip(QStringLiteral("Double click to select"));
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setIndentation(fontMetrics().averageCharWidth() * 2);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openItem(item); });
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this] { emit selectedFolderChanged(selectedFolder()); });
    fill();
}

void FolderListBox::setFolder(const QByteArray& folder) {
    const QByteArray f = normalised(folder);
    const bool changed = f != folder_;
    folder_ = f;
    fill();
    if (changed) {
        emit folderChanged(folder_);
    }
}

QByteArray FolderListBox::folderAt(int row) const {
    return row >= 0 && row < rows_.size() ? rows_[row]->data(0, kPathRole).toByteArray()
                                          : QByteArray();
}

QByteArray FolderListBox::selectedFolder() const {
    const QTreeWidgetItem* item = currentItem();
    const QByteArray f = item ? item->data(0, kPathRole).toByteArray() : QByteArray();
    return f.isEmpty() ? folder_ : f;
}

void FolderListBox::setSiblingsShown(bool shown) {
    if (shown != siblingsShown_) {
        siblingsShown_ = shown;
        fill();
    }
}

void FolderListBox::refresh() {
    fill();
}

void FolderListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openItem(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void FolderListBox::openItem(QTreeWidgetItem* item) {
    const QByteArray f = item ? item->data(0, kPathRole).toByteArray() : QByteArray();
    if (!f.isEmpty()) {
        setFolder(f);
    }
}

void FolderListBox::fill() {
    clear();
    rows_.clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The way down: "/", then each component, each one a step further in.
    QList<QByteArray> way{QByteArray(platform::kRootFolder)};
    if (folder_ != platform::kRootFolder) {
        QByteArray path;
        for (const QByteArray& part : folder_.split(platform::kSep)) {
            if (part.isEmpty()) {
                continue;
            }
            path += platform::kSep;
            path += part;
            way.append(path);
        }
    }
    auto subFolders = [](const QByteArray& folder) {
        QList<QByteArray> names;
        platform::DirReader reader;
        if (reader.open(folder)) {
            platform::DirEntry e;
            while (reader.next(e)) {
                if (e.isFolder() && !e.isHidden()) {
                    names.append(e.name);
                }
            }
        }
        return names;
    };
    auto sorted = [](QList<QByteArray> names) {
        std::sort(names.begin(), names.end(), [](const QByteArray& a, const QByteArray& b) {
            const QByteArray fa = foldAscii(a);
            const QByteArray fb = foldAscii(b);
            return fa != fb ? fa < fb : a < b;
        });
        return names;
    };
    auto nameOf = [](const QByteArray& p) { return p.mid(p.lastIndexOf(platform::kSep) + 1); };
    auto under = [](const QByteArray& folder) {
        return folder == platform::kRootFolder ? QByteArray() : folder;
    };
    auto addItem = [&](QTreeWidgetItem* parent, const QByteArray& p, const QIcon& icon) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setIcon(0, icon);
        item->setText(0, p == platform::kRootFolder ? QString::fromLatin1(platform::kRootFolder)
                                                    : QFile::decodeName(nameOf(p)));
        item->setData(0, kPathRole, p);
        return item;
    };

    QTreeWidgetItem* current = addItem(nullptr, way.first(), open);
    for (qsizetype i = 1; i < way.size(); ++i) {
        // Each folder on the way down sits among its sibling folders when they are shown;
        // the one on the way is listed even when hidden.
        QList<QByteArray> names{nameOf(way[i])};
        if (siblingsShown_) {
            names = subFolders(way[i - 1]);
            if (!names.contains(nameOf(way[i]))) {
                names.append(nameOf(way[i]));
            }
        }
        QTreeWidgetItem* next = nullptr;
        for (const QByteArray& name : sorted(names)) {
            const QByteArray p = under(way[i - 1]) + platform::kSep + name;
            QTreeWidgetItem* item = addItem(current, p, p == way[i] ? open : closed);
            if (p == way[i]) {
                next = item;
            }
        }
        current = next;
    }
    for (const QByteArray& name : sorted(subFolders(folder_))) {
        addItem(current, under(folder_) + platform::kSep + name, closed);
    }
    // Rows are counted as they show, top to bottom.
    for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it) {
        rows_.append(*it);
    }
    expandAll();
    setCurrentItem(current);
}

}  // namespace dw
