#include "widgets/folder_list_box.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>

#include "platform/dir_reader.h"
#include "platform/paths.h"

namespace dw {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kIndent = 3;  // blanks per level

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

FolderListBox::FolderListBox(QWidget* parent) : QListWidget(parent) {
    setToolTip(QStringLiteral("Double click to select"));
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { openRow(row(item)); });
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
    const QListWidgetItem* it = item(row);
    return it ? it->data(kPathRole).toByteArray() : QByteArray();
}

void FolderListBox::refresh() {
    fill();
}

void FolderListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openRow(currentRow());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FolderListBox::openRow(int row) {
    const QByteArray f = folderAt(row);
    if (!f.isEmpty()) {
        setFolder(f);
    }
}

void FolderListBox::fill() {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The way down: "/", then each component.
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
    int depth = 0;
    for (const QByteArray& p : way) {
        const QString text = p == platform::kRootFolder
                                 ? QString::fromLatin1(platform::kRootFolder)
                                 : QFile::decodeName(p.mid(p.lastIndexOf(platform::kSep) + 1));
        auto* item = new QListWidgetItem(open, QString(depth * kIndent, QLatin1Char(' ')) + text);
        item->setData(kPathRole, p);
        addItem(item);
        ++depth;
    }
    setCurrentRow(count() - 1);

    QList<QByteArray> children;
    platform::DirReader reader;
    if (reader.open(folder_)) {
        platform::DirEntry e;
        while (reader.next(e)) {
            if (e.isFolder() && !e.isHidden()) {
                children.append(e.name);
            }
        }
    }
    std::sort(children.begin(), children.end(), [](const QByteArray& a, const QByteArray& b) {
        const QByteArray fa = foldAscii(a);
        const QByteArray fb = foldAscii(b);
        return fa != fb ? fa < fb : a < b;
    });
    const QByteArray base = folder_ == platform::kRootFolder ? QByteArray() : folder_;
    for (const QByteArray& name : children) {
        auto* item = new QListWidgetItem(
            closed, QString(depth * kIndent, QLatin1Char(' ')) + QFile::decodeName(name));
        item->setData(kPathRole, base + platform::kSep + name);
        addItem(item);
    }
}

}  // namespace dw
