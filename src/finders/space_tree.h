#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QtGlobal>

#include "base/extension_types.h"

#include <vector>

// The scanned tree of a folder-hogs walk, kept small enough for millions of files: one
// item per folder entered and per file of at least a chosen size; the smaller files of
// a folder are folded into one item that holds their count and their total.
namespace dw {

inline constexpr quint32 kNoSpaceItem = 0xFFFFFFFFu;

// One item of a SpaceTree. Sizes are 64-bit; a name is stored once, in the tree's name
// buffer (a folder's or file's own name; a start folder's full path lies in a list of
// its own).
struct SpaceItem {
    enum class Kind : quint8 { Folder = 0, File = 1, SmallFiles = 2 };

    // Folder: the total of every file below it; file: its size; small files: their sum.
    // 0 once the item has been removed.
    qint64 bytes = 0;
    quint32 parent = kNoSpaceItem;  // kNoSpaceItem only for the top item
    quint32 first = 0;              // folders: the index of the first child
    quint32 count = 0;              // folders: how many children; small files: how many files
    quint32 name = 0;               // offset in the name buffer (start folders: their number)
    quint16 type = 0;               // files: index in SpaceTree::types(); 0 for no type
    quint8 nameLength = 0;
    quint8 flags = 0;  // the kind in bits 0-1, bit 7: removed

    Kind kind() const { return Kind(flags & 3); }
    bool removed() const { return (flags & 0x80) != 0; }
    bool isFolder() const { return kind() == Kind::Folder; }
};
static_assert(sizeof(SpaceItem) <= 32, "a kept item's record stays within 32 bytes");

// The tree. Item 0 is the top, an unnamed folder holding one folder item per start
// folder walked (a folder checked twice is there twice). The children of a folder lie
// next to each other, largest first at the time of the scan; a folder's small-files item
// (if any) is among them. Items are never moved or deleted, so an index stays valid for
// the tree's life; remove() marks an item and shrinks the folders above it.
// Copyable (a copy is independent); not thread-safe for writing, but any number of
// threads may read a tree nobody writes.
class SpaceTree {
public:
    SpaceTree();

    quint32 size() const { return quint32(items_.size()); }
    const SpaceItem& item(quint32 index) const { return items_[index]; }
    const std::vector<SpaceItem>& items() const { return items_; }

    // The item's own name in native bytes: a start folder's full path; empty for the top
    // and for a small-files item.
    QByteArray name(quint32 index) const;

    // The item's full native path, its start folder's path joined with each name below
    // with one "/". A small-files item gives the path of its folder; the top gives "".
    QByteArray path(quint32 index) const;

    // The folder or kept file at `path` (as path() gives it, no trailing "/"), the
    // first start folder holding it tried first; kNoSpaceItem when it is not in the tree
    // or has been removed.
    quint32 find(const QByteArray& path) const;

    // The start folder the item lies in (the item itself for a start folder);
    // kNoSpaceItem for the top.
    quint32 startFolderOf(quint32 index) const;

    // Bytes of the volume of the item's start folder, as the walk read it; 0 when
    // unknown (and for the top).
    qint64 capacity(quint32 index) const;

    // The file types of the kept files, FileTypeOfName of their names in UTF-8, each
    // once, by the index SpaceItem::type holds; index 0 is the empty text, the type of a
    // name without a dot that the file-type database does not know ("libc.so.6" and
    // "libz.so.1.2.13" are both of the shared library type).
    const QList<QByteArray>& types() const { return types_; }

    // Files smaller than this were folded into their folder's small-files item.
    qint64 keptFileSize() const { return keptFileSize_; }

    // Removes an item (a folder with everything below it, a file, a small-files item):
    // its bytes become 0 and each folder above it shrinks by them. False, changing
    // nothing, for the top, an index out of range or an item already removed (or lying
    // below a removed folder).
    bool remove(quint32 index);

    // The bytes the tree takes in memory: its records and buffers with their spare room.
    qsizetype memoryBytes() const;

private:
    friend class SpaceTreeBuilder;

    std::vector<SpaceItem> items_;
    QByteArray names_;
    QList<QByteArray> startPaths_;
    QList<qint64> capacities_;
    QList<QByteArray> types_;
    qint64 keptFileSize_ = 0;
};

// Builds a SpaceTree as a walk goes: enterFolder, the folder's files, its subfolders
// (each entered and left), leaveFolder, in any order of files and subfolders. Hard links
// are the caller's to weed out (each file handed over is counted).
class SpaceTreeBuilder {
public:
    // Files of at least `keptFileSize` bytes get an item of their own (0: every file).
    explicit SpaceTreeBuilder(qint64 keptFileSize);

    // `path` is the folder's full path; depth 0 starts a new start folder (when no
    // folder is open), and `capacity` is then its volume's size (0: unknown). Deeper
    // folders are named by the part of `path` after its last "/".
    void enterFolder(const QByteArray& path, qint64 capacity = 0);
    // A file of the innermost open folder. Ignored while no folder is open.
    void addFile(const QByteArray& name, qint64 size);
    // Ends the innermost open folder (also when a walk was stopped half-way: what was
    // handed over stays). Ignored while no folder is open.
    void leaveFolder();

    // The tree; folders still open are ended first. The builder is empty afterwards.
    SpaceTree finish();

private:
    struct Stage {
        std::vector<SpaceItem> children;
        qint64 bytes = 0;
        qint64 smallBytes = 0;
        quint32 smallCount = 0;
        quint32 name = 0;
        quint8 nameLength = 0;
    };
    void commit(Stage& stage, SpaceItem& folder);
    quint16 typeOf(const QByteArray& name);

    SpaceTree tree_;
    std::vector<Stage> stages_;  // [0] gathers the start folders; reused, never shrunk
    int open_ = 0;               // how many folders are open
    ExtensionTypes typeNames_;
    std::vector<quint16> typeIndexOfName_;  // by typeNames_ number: the index in types()
};

}  // namespace dw
