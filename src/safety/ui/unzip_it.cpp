#include "safety/ui/unzip_it.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "base/utility.h"
#include "platform/dir_reader.h"
#include "platform/event_pump.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "safety/archive_name.h"
#include "safety/archive_reader.h"
#include "safety/archive_restore.h"
#include "safety/ui/password_dialog.h"
#include "safety/ui/zip_directory.h"
#include "widgets/drive_combo_box.h"
#include "widgets/elided_label.h"
#include "widgets/folder_list_box.h"
#include "widgets/message_boxes.h"
#include "widgets/wait_cursor.h"

namespace dw {

namespace {

constexpr int kNameRole = Qt::UserRole;

bool startsWithFolded(const QByteArray& s, const char* prefix) {
    const qsizetype n = qstrlen(prefix);
    return s.size() >= n && qstrnicmp(s.constData(), prefix, n) == 0;
}

bool endsWithFolded(const QByteArray& s, const char* suffix) {
    const qsizetype n = qstrlen(suffix);
    return s.size() >= n && qstrnicmp(s.constData() + s.size() - n, suffix, n) == 0;
}

// "Drive*.ZIP", without regard to case.
bool isArchiveFileName(const QByteArray& name) {
    return startsWithFolded(name, "drive") && endsWithFolded(name, ".zip");
}

void plainBox(const QString& text) {
    platform::prompter().ask(platform::MessageKind::Plain, QCoreApplication::applicationName(),
                             text, platform::Buttons::Ok);
}

const QString kNoArchives = QStringLiteral(
    "It appears that there are no archive zip files in this folder for Diskwell to unzip.  "
    "\n\nNote that Diskwell can only unzip those files that have been originally zipped by "
    "Diskwell.  It should not be used to unzip other non Diskwell zip files.");

}  // namespace

TfrmUnZipIt::TfrmUnZipIt(QWidget* parent, const QString& zipFolder)
    : QDialog(parent),
      archive_(std::make_unique<ArchiveReader>()),
      startFolder_(QFile::encodeName(archiveFolderOrDefault(zipFolder))) {
    setObjectName(QStringLiteral("frmUnZipIt"));
    setWindowTitle(QStringLiteral("Unzip Diskwell Archive Zip Files"));

    DriveComboBox1 = new DriveComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DirectoryListBox1 = new FolderListBox(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    FileListBox1 = new QListWidget(this);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setToolTip(QStringLiteral("Double click to view the files inside"));
    auto* filesLabel = new QLabel(QStringLiteral("Archive zip &files:"), this);
    filesLabel->setBuddy(FileListBox1);

    lblZip = new ElidedLabel(this);
    lblZip->setObjectName(QStringLiteral("lblZip"));
    QFont bold = lblZip->font();
    bold.setBold(true);
    lblZip->setFont(bold);
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));

    Outline = new QTreeWidget(this);
    Outline->setObjectName(QStringLiteral("Outline"));
    Outline->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Modified")});
    Outline->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    Outline->header()->setStretchLastSection(false);
    Outline->setUniformRowHeights(true);

    auto* commentLabel = new QLabel(QStringLiteral("Comment:"), this);
    pnlComment = new QLabel(this);
    pnlComment->setObjectName(QStringLiteral("pnlComment"));
    pnlComment->setFrameShape(QFrame::Panel);
    pnlComment->setFrameShadow(QFrame::Sunken);
    pnlComment->setWordWrap(true);
    pnlComment->setMinimumHeight(pnlComment->fontMetrics().height() * 2 + 8);
    pnlComment->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pnlComment->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setRange(0, 100);
    Gauge1->hide();
    QSizePolicy keepSpace = Gauge1->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    Gauge1->setSizePolicy(keepSpace);

    btView = new QPushButton(QStringLiteral("&View files inside ZIP"), this);
    btView->setObjectName(QStringLiteral("btView"));
    btExtract = new QPushButton(QStringLiteral("&Extract files from ZIP"), this);
    btExtract->setObjectName(QStringLiteral("btExtract"));
    btClose = new QPushButton(QStringLiteral("Close"), this);
    btClose->setObjectName(QStringLiteral("btClose"));

    connect(DriveComboBox1, &DriveComboBox::driveChosen, this,
            [this](const QByteArray& mountPoint) { DirectoryListBox1->setFolder(mountPoint); });
    connect(DirectoryListBox1, &FolderListBox::folderChanged, this, [this](const QByteArray& f) {
        DriveComboBox1->showVolumeOf(f);
        fillFileList();
    });
    connect(FileListBox1, &QListWidget::itemSelectionChanged, this, [this] { BtExtractEnable(); });
    // Moving onto an archive with the keys chooses it, as a click does.
    connect(FileListBox1, &QListWidget::currentItemChanged, this, [](QListWidgetItem* current) {
        if (current && !current->isSelected()) {
            current->setSelected(true);
        }
    });
    connect(FileListBox1, &QListWidget::itemDoubleClicked, this,
            [this] { FileListBox1DblClick(); });
    connect(btView, &QPushButton::clicked, this, [this] { FileListBox1DblClick(); });
    connect(btExtract, &QPushButton::clicked, this, [this] { ExtractFiles1Click(); });
    connect(btClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(DriveComboBox1);
    left->addWidget(DirectoryListBox1, 3);
    left->addWidget(filesLabel);
    left->addWidget(FileListBox1, 2);

    auto* right = new QVBoxLayout;
    right->addWidget(lblZip);
    right->addWidget(lblCount);
    right->addWidget(Outline, 1);
    right->addWidget(commentLabel);
    right->addWidget(pnlComment);
    right->addWidget(Gauge1);

    auto* panes = new QHBoxLayout;
    panes->addLayout(left, 2);
    panes->addLayout(right, 3);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btView);
    buttons->addWidget(btExtract);
    buttons->addStretch(1);
    buttons->addWidget(btClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(panes, 1);
    layout->addLayout(buttons);
    resize(860, 560);
    BtExtractEnable();
}

TfrmUnZipIt::~TfrmUnZipIt() = default;

void TfrmUnZipIt::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TfrmUnZipIt::FormShow() {
    lblZip->clear();
    if (DirectoryListBox1->folder() == startFolder_) {
        fillFileList();
    } else {
        DirectoryListBox1->setFolder(startFolder_);
    }
    DriveComboBox1->showVolumeOf(DirectoryListBox1->folder());
    if (FileListBox1->count() == 0) {
        QTimer::singleShot(600, this, [] { ShowInfo(kNoArchives); });
    }
}

void TfrmUnZipIt::fillFileList() {
    const QByteArray keep = FileListBox1->currentItem()
                                ? FileListBox1->currentItem()->data(kNameRole).toByteArray()
                                : QByteArray();
    QList<QByteArray> names;
    platform::DirReader reader;
    if (reader.open(DirectoryListBox1->folder())) {
        platform::DirEntry e;
        while (reader.next(e)) {
            if (!e.isFolder() && !e.isSystem() && isArchiveFileName(e.name)) {
                names.append(e.name);
            }
        }
    }
    std::sort(names.begin(), names.end(), [](const QByteArray& a, const QByteArray& b) {
        const int c = qstricmp(a.constData(), b.constData());
        return c != 0 ? c < 0 : a < b;
    });
    FileListBox1->clear();
    for (const QByteArray& name : names) {
        auto* item = new QListWidgetItem(QFile::decodeName(name), FileListBox1);
        item->setData(kNameRole, name);
        if (name == keep) {
            FileListBox1->setCurrentItem(item);
        }
    }
    BtExtractEnable();
}

QByteArray TfrmUnZipIt::selectedArchive() const {
    const QList<QListWidgetItem*> selected = FileListBox1->selectedItems();
    if (selected.isEmpty()) {
        return {};
    }
    return platform::joinPath(DirectoryListBox1->folder(),
                              selected.front()->data(kNameRole).toByteArray());
}

QByteArray TfrmUnZipIt::loadedArchive() const {
    return archive_->isOpen() ? archive_->path() : QByteArray();
}

void TfrmUnZipIt::BtExtractEnable() {
    const bool any = !FileListBox1->selectedItems().isEmpty();
    btExtract->setEnabled(any);
    btView->setEnabled(any);
}

bool TfrmUnZipIt::OutlineLoad(const QByteArray& path) {
    auto reader = std::make_unique<ArchiveReader>();
    if (!reader->open(path)) {
        ShowError(QStringLiteral("Cannot read the archive %1: %2")
                      .arg(QFile::decodeName(path), reader->error()));
        return false;
    }
    archive_ = std::move(reader);
    ignoreDuplicateWarnings_ = false;
    ignoreFailureWarnings_ = false;

    Outline->setUpdatesEnabled(false);
    Outline->clear();
    QHash<QByteArray, QTreeWidgetItem*> folders;
    const QLocale locale;
    for (const ArchiveEntry& e : archive_->entries()) {
        const QList<QByteArray> parts = e.name.split(platform::kSep);
        QTreeWidgetItem* parent = nullptr;
        QByteArray prefix;
        const qsizetype last = e.name.endsWith(platform::kSep) ? parts.size() - 1 : parts.size();
        for (qsizetype i = 0; i < last; ++i) {
            const bool leaf = i + 1 == last && !e.isFolder;
            prefix += parts[i];
            prefix += platform::kSep;
            if (!leaf) {
                QTreeWidgetItem*& node = folders[prefix];
                if (!node) {
                    node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(Outline);
                    node->setText(0, QFile::decodeName(parts[i]));
                }
                parent = node;
                continue;
            }
            auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(Outline);
            item->setText(0, QFile::decodeName(parts[i]));
            item->setText(1, FormatThousands(e.size));
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
            item->setText(
                2, locale.toString(QDateTime::fromSecsSinceEpoch(e.mtime), QLocale::ShortFormat));
        }
    }
    // Small archives open fully; large ones show their top levels.
    if (archive_->entries().size() <= 200) {
        Outline->expandAll();
    } else {
        Outline->expandToDepth(1);
    }
    Outline->resizeColumnToContents(1);
    Outline->resizeColumnToContents(2);
    Outline->setUpdatesEnabled(true);
    return true;
}

void TfrmUnZipIt::showArchive() {
    if (!archive_->isOpen()) {
        lblZip->clear();
        lblCount->clear();
        pnlComment->clear();
        return;
    }
    lblZip->setText(QFile::decodeName(archive_->path()));
    lblCount->setText(QString::number(archive_->entries().size()) + QStringLiteral(" files"));
    pnlComment->setText(archive_->comment());
}

void TfrmUnZipIt::FileListBox1DblClick() {
    const QByteArray path = selectedArchive();
    if (path.isEmpty()) {
        return;
    }
    WaitCursor wait;
    if (!OutlineLoad(path) && !archive_->isOpen()) {
        Outline->clear();
    }
    showArchive();
}

void TfrmUnZipIt::OutlineArchiveProgress(int percent) {
    Gauge1->setVisible(percent < 100);
    Gauge1->setValue(percent);
    pump_();
}

void TfrmUnZipIt::reject() {
    if (!busy_) {
        QDialog::reject();
    }
}

void TfrmUnZipIt::OutlineProcessItemFailure(const RestoreFailure& failure) {
    if (failure.problem == RestoreProblem::Exists) {
        if (!ignoreDuplicateWarnings_) {
            const platform::Answer answer = platform::prompter().ask(
                platform::MessageKind::Warning, QStringLiteral("Warning"),
                duplicateNameWarningText(failure.entryName), platform::Buttons::YesNo);
            ignoreDuplicateWarnings_ = answer == platform::Answer::Yes;
        }
        return;
    }
    // One box per entry, and a way out of them: a folder that cannot be written fails
    // every entry of a large archive alike.
    if (ignoreFailureWarnings_) {
        return;
    }
    const platform::Answer answer = platform::prompter().ask(
        platform::MessageKind::Warning, QStringLiteral("Warning"),
        extractFailureText(failure.entryName, archive_->path()) + QStringLiteral("\n") +
            failure.reason + QStringLiteral("\n\nIgnore future warnings?"),
        platform::Buttons::YesNo);
    ignoreFailureWarnings_ = answer == platform::Answer::Yes;
}

void TfrmUnZipIt::ExtractFiles1Click() {
    FileListBox1DblClick();
    const QByteArray path = selectedArchive();
    // Only the archive chosen is ever restored, never one left on view from before.
    if (path.isEmpty() || loadedArchive() != path) {
        return;
    }
    TfrmZipDirectory destination(this);
    destination.setArchive(lblZip->text());
    if (destination.exec() != QDialog::Accepted) {
        return;
    }
    const QByteArray root = destination.chosenFolder();

    RestoreHooks hooks;
    hooks.progress = [this](int percent) {
        OutlineArchiveProgress(percent);
        return false;
    };
    hooks.failed = [this](const RestoreFailure& f) {
        // The arrow while a question interrupts the wait.
        CursorOverride arrow(Qt::ArrowCursor);
        OutlineProcessItemFailure(f);
    };
    hooks.password = [this](const ArchiveEntry& entry, bool retry) -> std::optional<QByteArray> {
        CursorOverride arrow(Qt::ArrowCursor);
        if (retry) {
            plainBox(QStringLiteral("Wrong password for ") + entry.displayName());
        }
        TfrmPassword ask(this);
        if (ask.exec() == QDialog::Accepted) {
            return ask.password();
        }
        return std::nullopt;
    };

    RestoreSummary summary;
    {
        // Nothing else may start while the restore runs its window events.
        busy_ = true;
        setEnabled(false);
        WaitCursor wait;
        summary = restoreArchive(*archive_, root, hooks);
        Gauge1->hide();
        fillFileList();
        setEnabled(true);
        busy_ = false;
    }
    if (!summary.error.isEmpty()) {
        ShowError(summary.error);
    } else if (summary.complete()) {
        plainBox(QStringLiteral("Files were unzipped"));
    } else {
        ShowWarning(QStringLiteral("Files were unzipped, but %1 of the %2 files in the archive "
                                   "were not restored.")
                        .arg(FormatThousands(summary.failed), FormatThousands(summary.entries)));
    }
    if (summary.warnings > 0) {
        ShowWarning(QStringLiteral("%1 of the files were restored without their permissions or "
                                   "modification times: the folder's volume cannot keep them.")
                        .arg(FormatThousands(summary.warnings)));
    }
}

}  // namespace dw
