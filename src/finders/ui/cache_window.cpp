#include "finders/ui/cache_window.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/utility.h"
#include "finders/dup_search.h"
#include "platform/event_pump.h"
#include "platform/prompter.h"
#include "widgets/elided_label.h"
#include "widgets/message_boxes.h"

namespace dw {

TfrmCache::TfrmCache(QWidget* parent, Tools tools) : QDialog(parent), tools_(std::move(tools)) {
    setObjectName(QStringLiteral("frmCache"));
    setWindowTitle(QStringLiteral("Internet Browser Cache Folders"));
    if (tools_.roots.home.isEmpty()) {
        tools_.roots = CacheRoots::user();
    }
    if (!tools_.chooseFolder) {
        tools_.chooseFolder = [](QWidget* owner) {
            const QString folder = QFileDialog::getExistingDirectory(
                owner, QStringLiteral("Select an internet Cache folder"), QStringLiteral("/"),
                QFileDialog::ShowDirsOnly);
            return folder.isEmpty() ? QByteArray() : QFile::encodeName(folder);
        };
    }

    auto* intro = new QLabel(
        QStringLiteral("As you use the internet, temporary files are saved in a disk cache which "
                       "can grow quite large.  To reclaim disk space you can decrease the amount "
                       "of space that the cache uses (see your internet browser documentation) "
                       "or you can periodically clear it out."),
        this);
    intro->setWordWrap(true);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setTextElideMode(Qt::ElideMiddle);

    const auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(true);
        return b;
    };
    btInit = button("btInit", QStringLiteral("&Initialize"));
    btAdd = button("btAdd", QStringLiteral("&Add a folder"));
    btDel = button("btDel", QStringLiteral("&Delete a folder"));
    btClear = button("btClear", QStringLiteral("&Clear internet cache"));
    btClose = button("btClose", QStringLiteral("Close"));
    btAbort = button("btAbort", QStringLiteral("&Abort"));
    btAbort->hide();
    pnlSel = new ElidedLabel(this);
    pnlSel->setObjectName(QStringLiteral("pnlSel"));
    auto* listButtons = new QHBoxLayout;
    for (QPushButton* b : {btInit, btAdd, btDel}) {
        listButtons->addWidget(b);
    }
    listButtons->addStretch(1);

    nDays = new QSpinBox(this);
    nDays->setObjectName(QStringLiteral("nDays"));
    nDays->setRange(0, kCacheDaysMax);
    nDays->setSingleStep(1);
    auto* daysRow = new QHBoxLayout;
    daysRow->addWidget(
        new QLabel(QStringLiteral("Clear all files that have not been accessed in "), this));
    daysRow->addWidget(nDays);
    daysRow->addWidget(new QLabel(QStringLiteral("days"), this));
    daysRow->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btClear);
    bottom->addWidget(btAbort);
    bottom->addStretch(1);
    bottom->addWidget(btClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(ListBox1, 1);
    layout->addLayout(listButtons);
    layout->addLayout(daysRow);
    layout->addLayout(bottom);
    layout->addWidget(pnlSel);
    resize(620, 440);

    connect(btInit, &QPushButton::clicked, this, &TfrmCache::btInitClick);
    connect(btAdd, &QPushButton::clicked, this, &TfrmCache::btAddClick);
    connect(btDel, &QPushButton::clicked, this, &TfrmCache::btDelClick);
    connect(btClear, &QPushButton::clicked, this, &TfrmCache::btClearClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(btAbort, &QPushButton::clicked, this, &TfrmCache::btAbortClick);

    // As shown: the stored list, 0 days, "Initialize" only while the list is empty.
    ReadInFromDisk();
    nDays->setValue(0);
    btInit->setVisible(folders_.isEmpty());
    btClear->setFocus();
}

TfrmCache::~TfrmCache() = default;

void TfrmCache::setFolders(const QList<QByteArray>& folders) {
    folders_.clear();
    ListBox1->clear();
    for (const QByteArray& f : folders) {
        appendFolder(f);
    }
}

void TfrmCache::appendFolder(const QByteArray& folder) {
    folders_ << folder;
    ListBox1->addItem(QFile::decodeName(folder));
}

void TfrmCache::ReadInFromDisk() {
    setFolders(ReadCacheFolders(tools_.roots));
}

void TfrmCache::WriteOutToDisk() {
    if (!WriteCacheFolders(folders_)) {
        ShowError(QStringLiteral("The list of cache folders could not be saved."));
    }
}

void TfrmCache::btInitClick() {
    for (const QByteArray& f : InitializeCacheDiscovery(tools_.roots)) {
        appendFolder(f);
    }
    btInit->hide();
    if (folders_.isEmpty()) {
        btInit->show();
        ShowInfo(CacheNotFoundText());
    }
}

void TfrmCache::btAddClick() {
    const QByteArray folder = tools_.chooseFolder(this);
    if (!folder.isEmpty()) {
        appendFolder(folder);
        btInit->setVisible(folders_.isEmpty());
    }
}

void TfrmCache::btDelClick() {
    const int row = ListBox1->currentRow();
    if (row < 0 || !ListBox1->currentItem()->isSelected()) {
        ShowError(QStringLiteral("Select a folder from the list above"));
        return;
    }
    if (platform::prompter().ask(platform::MessageKind::Question,
                                 QCoreApplication::applicationName(),
                                 QStringLiteral("Really delete ") + ListBox1->item(row)->text(),
                                 platform::Buttons::OkCancel) == platform::Answer::Ok) {
        folders_.removeAt(row);
        delete ListBox1->takeItem(row);
    }
    btInit->setVisible(folders_.isEmpty());
}

void TfrmCache::btClearClick() {
    if (collecting_) {
        return;
    }
    collecting_ = true;
    abort_ = false;
    closeRequested_ = false;
    const QList<QWidget*> controls{ListBox1, btInit, btAdd, btDel, btClear, btClose, nDays};
    for (QWidget* w : controls) {
        w->setEnabled(false);
    }
    btAbort->show();
    btAbort->setFocus();
    // A cache folder may hold a hundred thousand files: the window stays live, and its
    // status line counts them, while they are read.
    QByteArray shownFolder;
    qsizetype shownFound = -1;
    qsizetype sinceClock = 0;
    qsizetype found = 0;
    QByteArray folder;
    platform::ClockedPump pump(pumpIntervalMs_, [&] {
        if (folder != shownFolder || found != shownFound) {
            shownFolder = folder;
            shownFound = found;
            pnlSel->setText(QStringLiteral("%1 found - %2")
                                .arg(FormatThousands(found), QFile::decodeName(folder)));
        }
        platform::pumpEvents();
    });
    lastRun_ = CollectCacheFiles(folders_, nDays->value(), QDate::currentDate(),
                                 [&](const QByteArray& f, qsizetype n) {
                                     if (++sinceClock >= 16) {
                                         sinceClock = 0;
                                         folder = f;
                                         found = n;
                                         pump();
                                     }
                                     return !abort_;
                                 });
    btAbort->hide();
    for (QWidget* w : controls) {
        w->setEnabled(true);
    }
    collecting_ = false;
    pnlSel->clear();
    if (closeRequested_) {
        QDialog::reject();
        return;
    }
    if (lastRun_.aborted) {
        return;
    }
    if (lastRun_.paths.isEmpty()) {
        ShowError(QString::fromLatin1(kNoCacheFilesText));
        return;
    }
    pnlSel->setText(
        QStringLiteral("%1 files %2 bytes")
            .arg(FormatThousands(lastRun_.paths.size()), FormatThousands(lastRun_.totalBytes)));
    if (tools_.reallyDelete) {
        tools_.reallyDelete(lastRun_.paths, QStringLiteral("InternetCache"), lastRun_.totalBytes);
    }
}

void TfrmCache::btAbortClick() {
    if (!collecting_) {
        return;
    }
    abort_ = true;
    btAbort->hide();
    ShowWarning(QString::fromLatin1(kAbortedText));
}

void TfrmCache::reject() {
    // Esc while collecting is Abort; closing then waits for the collection to return.
    if (collecting_) {
        closeRequested_ = true;
        if (btAbort->isVisible()) {
            btAbortClick();
        }
        return;
    }
    QDialog::reject();
}

void TfrmCache::done(int result) {
    WriteOutToDisk();
    QDialog::done(result);
}

}  // namespace dw
