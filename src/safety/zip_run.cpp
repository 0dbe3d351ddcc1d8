#include "safety/zip_run.h"

#include "platform/dir_reader.h"

#include <QFile>

#include "platform/paths.h"
#include "safety/archive_name.h"

namespace dw {

namespace {

QByteArray folderPart(const QByteArray& path) {
    return platform::folderOfPath(path);
}

}  // namespace

ZipRun::ZipRun(ZipRunSettings settings, ZipRunHooks hooks)
    : settings_(std::move(settings)), hooks_(std::move(hooks)) {}

ZipRun::~ZipRun() = default;

QString ZipRun::keyOf(const QByteArray& path) {
    if (settings_.volumeKeyOf) {
        return settings_.volumeKeyOf(path);
    }
    // Every file of a folder lies on the folder's volume; the mount table is read once
    // per folder, not once per file.
    const QByteArray folder = folderPart(path);
    auto it = keyByFolder_.constFind(folder);
    if (it != keyByFolder_.constEnd()) {
        return *it;
    }
    const QString key = volumeKeyOfPath(path);
    keyByFolder_.insert(folder, key);
    return key;
}

ArchiveWriter* ZipRun::writerFor(const QByteArray& path, QString* key) {
    *key = keyOf(path);
    if (ArchiveWriter* w = byKey_.value(*key)) {
        return w;
    }
    const QString name =
        archiveName(settings_.callerWord, *key, settings_.stamp, settings_.zipFolder);
    auto writer = std::make_unique<ArchiveWriter>(QFile::encodeName(name));
    writer->setComment(settings_.comment);
    writer->setOpener(settings_.openOriginal);
    ArchiveWriter* w = writer.get();
    writers_.push_back(std::move(writer));
    byKey_.insert(*key, w);
    if (!w->open()) {
        ended_ = true;
        error_ = w->error();
    }
    return w;
}

void ZipRun::report(const ArchiveFile& file, const QByteArray& archive, bool archived) {
    ZipFileResult r;
    r.path = file.path;
    r.tag = file.tag;
    r.archived = archived;
    r.size = archived ? file.size : 0;
    r.archive = archive;
    r.reason = file.reason;
    r.code = archived ? ZipFileCode::Archived : ZipFileCode::NotArchived;
    if (archived) {
        ++archivedCount_;
        archivedBytes_ += file.size;
    }
    if (hooks_.fileDone) {
        hooks_.fileDone(r);
    }
}

void ZipRun::reportNotArchived(const QByteArray& path, qint64 tag, const QByteArray& archive,
                               const QString& reason) {
    ArchiveFile f;
    f.path = path;
    f.tag = tag;
    f.reason = reason;
    report(f, archive, false);
}

void ZipRun::reportAborted(const QByteArray& path, qint64 tag, const QByteArray& archive) {
    ZipFileResult r;
    r.path = path;
    r.tag = tag;
    r.archive = archive;
    r.reason = QStringLiteral("The run was aborted");
    r.code = ZipFileCode::Aborted;
    if (hooks_.fileDone) {
        hooks_.fileDone(r);
    }
}

bool ZipRun::commitWriter(ArchiveWriter& writer) {
    if (writer.pendingCount() == 0) {
        return true;
    }
    const ArchiveWriter::CommitResult result = writer.commit([this](int percent) {
        // Writing is not interrupted: it is quick, and a half-written batch would only
        // be thrown away. A stop asked for here ends the run after it.
        if (hooks_.progress && hooks_.progress(percent)) {
            stopped_ = true;
        }
    });
    for (const ArchiveFile& f : result.archived) {
        report(f, writer.archivePath(), true);
    }
    for (const ArchiveFile& f : result.notArchived) {
        report(f, writer.archivePath(), false);
    }
    if (!result.ok) {
        ended_ = true;
        error_ = writer.error();
    }
    return result.ok;
}

ZipRun::AddStatus ZipRun::addFile(const QByteArray& path, qint64 tag) {
    if (ended_) {
        reportNotArchived(path, tag, {}, error_);
        return AddStatus::Ended;
    }
    if (stopped_) {
        reportAborted(path, tag, {});
        return AddStatus::Stopped;
    }
    QString key;
    ArchiveWriter* writer = writerFor(path, &key);
    if (ended_) {
        reportNotArchived(path, tag, writer->archivePath(), error_);
        return AddStatus::Ended;
    }
    QString reason;
    const ArchiveWriter::AddStatus status = writer->addFile(path, tag, hooks_.progress, &reason);
    if (status == ArchiveWriter::AddStatus::Stopped) {
        stopped_ = true;
        reportAborted(path, tag, writer->archivePath());
        return AddStatus::Stopped;
    }
    if (status == ArchiveWriter::AddStatus::Failed) {
        reportNotArchived(path, tag, writer->archivePath(), reason);
        return AddStatus::Failed;
    }
    const bool due =
        writer->pendingCount() >= qMax<qsizetype>(settings_.minBatchFiles, writer->entryCount()) ||
        writer->pendingArchiveBytes() >= qMax(settings_.minBatchBytes, writer->archiveSize());
    if (due && !commitWriter(*writer)) {
        return AddStatus::Ended;
    }
    return AddStatus::Queued;
}

bool ZipRun::finish() {
    for (auto& w : writers_) {
        commitWriter(*w);
    }
    return !ended_;
}

qint64 ZipRun::archivesOnDisk() const {
    qint64 bytes = 0;
    for (const QByteArray& archive : archives()) {
        if (const std::optional<platform::DirEntry> e = platform::statPath(archive)) {
            bytes += e->allocated;
        }
    }
    return bytes;
}

QList<QByteArray> ZipRun::archives() const {
    QList<QByteArray> list;
    for (const auto& w : writers_) {
        list.append(w->archivePath());
    }
    return list;
}

}  // namespace dw
