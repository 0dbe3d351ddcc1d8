#include "safety/ui/del_directory.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

#include "base/freed_text.h"
#include "base/utility.h"
#include "platform/event_pump.h"
#include "platform/prompter.h"
#include "safety/archive_name.h"
#include "safety/clean_totals.h"
#include "safety/safe_harbor.h"
#include "safety/trash_rule.h"
#include "safety/ui/zip_options.h"
#include "widgets/elided_label.h"
#include "widgets/message_boxes.h"
#include "widgets/theme_colors.h"

namespace dw {

namespace {

QString filesText(qint64 n) {
    return n == 1 ? QStringLiteral("1 file") : FormatThousands(n) + QStringLiteral(" files");
}

QString foldersText(qint64 n) {
    return n == 1 ? QStringLiteral("1 folder") : FormatThousands(n) + QStringLiteral(" folders");
}

bool askYesNo(const QString& text) {
    return platform::prompter().ask(platform::MessageKind::Question,
                                    QCoreApplication::applicationName(), text,
                                    platform::Buttons::YesNo) == platform::Answer::Yes;
}

// The entries that stayed, at most this many named in the summary box.
constexpr int kKeptShown = 15;

// The words a kept file's line starts with: the run's one box holds what were once a
// message each for a file that could not be archived or deleted.
QString keptStepText(KeptStep step) {
    switch (step) {
        case KeptStep::Archive:
            return QStringLiteral("Couldn't zip up file - ");
        case KeptStep::DeleteFile:
            return QStringLiteral("Couldn't delete file - ");
        case KeptStep::Other:
            break;
    }
    return {};
}

}  // namespace

TfrmDelDirectory::TfrmDelDirectory(SafeHarbor& harbor, const QByteArray& folder, QWidget* parent,
                                   QString* defaultZipPath)
    : QDialog(parent), harbor_(harbor), folder_(folder), defaultZipPath_(defaultZipPath) {
    setObjectName(QStringLiteral("frmDelDirectory"));
    setWindowTitle(QStringLiteral("Clean directory, sub-directories and all files"));
    setMinimumWidth(540);
    auto* layout = new QVBoxLayout(this);
    lblTop = new QLabel(this);
    lblTop->setObjectName(QStringLiteral("lblTop"));
    lblTop->setWordWrap(true);
    lblDirectory = new ElidedLabel(this);
    lblDirectory->setObjectName(QStringLiteral("lblDirectory"));
    lblDirectory->setAlignment(Qt::AlignCenter);
    QFont bold = lblDirectory->font();
    bold.setBold(true);
    lblDirectory->setFont(bold);
    lblTally = new QLabel(this);
    lblTally->setObjectName(QStringLiteral("lblTally"));
    lblTally->setAlignment(Qt::AlignCenter);
    lblTally->setWordWrap(true);
    layout->addWidget(lblTop);
    layout->addWidget(lblDirectory);
    layout->addWidget(lblTally);

    auto* buttons = new QHBoxLayout;
    btDelete = new QPushButton(QStringLiteral("&Delete folder"), this);
    btDelete->setObjectName(QStringLiteral("btDelete"));
    btRecycle = new QPushButton(QStringLiteral("&Send files to recycle bin"), this);
    btRecycle->setObjectName(QStringLiteral("btRecycle"));
    btZip = new QPushButton(QStringLiteral("&Zip up folder"), this);
    btZip->setObjectName(QStringLiteral("btZip"));
    BitBtn3 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    for (QPushButton* b : {btDelete, btRecycle, btZip, BitBtn3}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    cbDelete = new QCheckBox(QStringLiteral("Delete files after zipping them up"), this);
    cbDelete->setObjectName(QStringLiteral("cbDelete"));
    cbDelete->setChecked(true);
    layout->addWidget(cbDelete);

    auto* status = new QHBoxLayout;
    pnlCount = new QLabel(QStringLiteral("Count"), this);
    pnlCount->setObjectName(QStringLiteral("pnlCount"));
    pnlCount->setFrameShape(QFrame::Panel);
    pnlCount->setFrameShadow(QFrame::Sunken);
    pnlCount->setMinimumWidth(80);
    pnlName = new ElidedLabel(QStringLiteral("Filename"), this);
    pnlName->setObjectName(QStringLiteral("pnlName"));
    pnlName->setMinimumWidth(300);
    pnlName->setFrameShape(QFrame::Panel);
    pnlName->setFrameShadow(QFrame::Sunken);
    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setRange(0, 100);
    Gauge1->setMaximumWidth(120);
    Gauge1->hide();
    status->addWidget(pnlCount);
    status->addWidget(pnlName, 1);
    status->addWidget(Gauge1);
    layout->addLayout(status);

    connect(btDelete, &QPushButton::clicked, this, &TfrmDelDirectory::btDeleteClick);
    connect(btRecycle, &QPushButton::clicked, this, &TfrmDelDirectory::btRecycleClick);
    connect(btZip, &QPushButton::clicked, this, &TfrmDelDirectory::btZipClick);
    connect(BitBtn3, &QPushButton::clicked, this, &TfrmDelDirectory::BitBtn3Click);
    FormShow();
}

TfrmDelDirectory::~TfrmDelDirectory() = default;

void TfrmDelDirectory::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Counted once the window is up, so the user sees it fill in.
    QTimer::singleShot(0, this, [this] {
        if (!counted_ && !counting_) {
            countContents();
        }
    });
}

QString TfrmDelDirectory::tallyText(const FolderTally& tally, bool finished) {
    if (tally.unopened) {
        return QStringLiteral("What the folder holds could not be counted.");
    }
    const QString what =
        filesText(tally.files) + QStringLiteral(" in ") + foldersText(tally.folders);
    if (!finished) {
        return QStringLiteral("Counting: %1, %2 bytes so far...")
            .arg(what, FormatThousands(tally.bytes));
    }
    if (!tally.complete) {
        return QStringLiteral("Counting stopped: at least %1, %2 bytes.")
            .arg(what, FormatThousands(tally.bytes));
    }
    return QStringLiteral("To be removed: %1, %2.")
        .arg(what, freedBytesText(tally.bytes, tally.bytesExact));
}

void TfrmDelDirectory::countContents() {
    if (counting_) {
        return;
    }
    counting_ = true;
    countAbort_ = false;
    lblTally->setText(QStringLiteral("Counting..."));
    platform::ClockedPump pump;
    tally_ = tallyFolder(
        folder_,
        [this, &pump] {
            pump();
            return countAbort_;
        },
        [this, &pump](const FolderTally& sofar) {
            lblTally->setText(tallyText(sofar, false));
            pump();
        });
    counting_ = false;
    counted_ = true;
    lblTally->setText(tallyText(tally_, true));
    std::function<void()> action = std::exchange(pending_, nullptr);
    if (action && !countAbort_) {
        action();
    }
}

bool TfrmDelDirectory::readyToAct(std::function<void()> action) {
    if (counting_) {
        pending_ = std::move(action);
        return false;
    }
    if (counted_) {
        return true;
    }
    countContents();
    return !countAbort_;
}

int TfrmDelDirectory::execute(QWidget* parent, SafeHarbor& harbor, const QByteArray& folder,
                              bool* useRecycleBin, QString* defaultZipPath, FolderCleanMode* mode) {
    TfrmDelDirectory window(harbor, folder, parent, defaultZipPath);
    const int result = window.exec();
    if (useRecycleBin) {
        *useRecycleBin = window.useRecycleBin();
    }
    if (mode) {
        *mode = window.runMode();
    }
    return result;
}

void TfrmDelDirectory::FormShow() {
    deletionRunning_ = false;
    abortRequested_ = false;
    useRecycleBin_ = false;
    lblDirectory->setText(QFile::decodeName(folder_));
    int reason = SafeHarbor::kNotProtected;
    if (harbor_.isInSafeHarbor(folder_, false, reason)) {
        lblTop->setText(QStringLiteral("This folder should not be deleted since it is ") +
                        SafeHarbor::safeHarborReason(reason));
        lblTop->setStyleSheet(QStringLiteral("color: %1").arg(warningTextColor(palette()).name()));
    } else {
        lblTop->setText(QStringLiteral("Folder to clean: "));
        lblTop->setStyleSheet(QString());
    }
}

void TfrmDelDirectory::btDeleteClick() {
    if (deletionRunning_ || !readyToAct([this] { btDeleteClick(); })) {
        return;
    }
    FolderCleanSettings settings;
    settings.mode = FolderCleanMode::Delete;
    useRecycleBin_ = false;
    StartTheDeletionProcess(settings);
}

void TfrmDelDirectory::btRecycleClick() {
    if (deletionRunning_ || !readyToAct([this] { btRecycleClick(); })) {
        return;
    }
    if (!askYesNo(QStringLiteral(
            "Note that the recycle bin may be full or that you may have the \"Immediately "
            "Remove Files On Delete\" option turned on in the recycle bin. If either is true, "
            "then you will not be able to recover the deleted files from the recycle bin. "
            "\n\nSend to the recycle bin anyway?"))) {
        return;
    }
    FolderCleanSettings settings;
    settings.mode = FolderCleanMode::Trash;
    useRecycleBin_ = true;
    if (!StartTheDeletionProcess(settings)) {
        useRecycleBin_ = false;
    }
}

void TfrmDelDirectory::btZipClick() {
    if (deletionRunning_ || !readyToAct([this] { btZipClick(); })) {
        return;
    }
    TfrmZipOptions options(this, defaultZipPath_);
    if (options.exec() != QDialog::Accepted) {
        return;
    }
    FolderCleanSettings settings;
    settings.mode = FolderCleanMode::Zip;
    settings.deleteAfterZip = cbDelete->isChecked();
    settings.zip.zipFolder = options.zipPath();
    settings.zip.comment = options.comment();
    settings.zip.callerWord = QStringLiteral("FolderClean");
    settings.zip.stamp = QDateTime::currentDateTime();
    useRecycleBin_ = false;
    StartTheDeletionProcess(settings);
}

void TfrmDelDirectory::BitBtn3Click() {
    if (counting_) {
        countAbort_ = true;
        return;
    }
    if (!deletionRunning_) {
        done(kNothingDone);
        return;
    }
    if (platform::prompter().ask(platform::MessageKind::Question,
                                 QCoreApplication::applicationName(),
                                 QStringLiteral("Really abort?  Folders may be partially deleted!"),
                                 platform::Buttons::YesNo) == platform::Answer::Yes) {
        abortRequested_ = true;
    }
}

void TfrmDelDirectory::reject() {
    BitBtn3Click();
}

bool TfrmDelDirectory::StartTheDeletionProcess(FolderCleanSettings settings) {
    const int reason = treeSafeHarborReason(harbor_, folder_);
    if (reason != SafeHarbor::kNotProtected &&
        !askYesNo(QStringLiteral("Warning: the folder or a sub-folder of the one to delete is "
                                 "marked NOT to be deleted because it is ") +
                  SafeHarbor::safeHarborReason(reason) +
                  QStringLiteral(".  You may not want to delete it at this time.  Really "
                                 "delete?"))) {
        return false;
    }
    settings.harbor = &harbor_;
    runMode_ = settings.mode;
    deletionRunning_ = true;
    abortRequested_ = false;
    for (QPushButton* b : {btDelete, btRecycle, btZip}) {
        b->setEnabled(false);
    }
    cbDelete->setEnabled(false);

    platform::ClockedPump pump;
    FolderCleanHooks hooks;
    hooks.ask = [this](FileAttribute attribute, const QByteArray& path) {
        const char* what = attribute == FileAttribute::ReadOnly ? " is read-only, "
                           : attribute == FileAttribute::Hidden ? " is hidden, "
                                                                : " is a system file, ";
        const platform::Answer answer = platform::prompter().ask(
            platform::MessageKind::Question, QCoreApplication::applicationName(),
            QFile::decodeName(path) + QLatin1String(what) +
                QStringLiteral("Delete this file and continue deleting the remaining files? "),
            platform::Buttons::YesNoCancel);
        return answer == platform::Answer::Yes ? AttributeAnswer::Yes : AttributeAnswer::Stop;
    };
    hooks.starting = [this, &pump](const QByteArray& path, qint64 count) {
        pnlCount->setText(FormatThousands(count + 1));
        pnlName->setText(QFile::decodeName(path));
        if (stepHook_) {
            stepHook_(path);
        }
        pump();
    };
    hooks.abortRequested = [this, &pump] {
        pump();
        return abortRequested_;
    };
    hooks.progress = [this](int percent) {
        Gauge1->setVisible(percent < 100);
        Gauge1->setValue(percent);
    };
    summary_ = cleanFolder(folder_, settings, hooks);
    deletionRunning_ = false;
    pnlCount->setText(QStringLiteral("Count"));
    pnlName->setText(QStringLiteral("Filename"));
    Gauge1->hide();
    if (summary_.refused) {
        ShowError(QStringLiteral("Cannot delete ") + QFile::decodeName(folder_) +
                  QStringLiteral(": ") + summary_.refusal);
        for (QPushButton* b : {btDelete, btRecycle, btZip}) {
            b->setEnabled(true);
        }
        cbDelete->setEnabled(true);
        return false;
    }
    tellOutcome(settings);
    done(summary_.aborted ? kNothingDone : kRunDone);
    return true;
}

void TfrmDelDirectory::tellOutcome(const FolderCleanSettings& settings) {
    const FolderCleanSummary& s = summary_;
    bool saved = true;
    if (settings.mode == FolderCleanMode::Zip) {
        const QString note =
            s.aborted ? QStringLiteral(" (Note: Zip operation canceled ... not all files zipped)")
                      : QString();
        if (s.archivedCount > 0) {
            QString text = QStringLiteral("Zipped up ") + FormatThousands(s.archivedCount) +
                           QStringLiteral(" files") + note;
            if (settings.deleteAfterZip) {
                text += QStringLiteral("\nDeleted %1 of them for a savings of %2 bytes.")
                            .arg(FormatThousands(s.doneCount),
                                 FormatThousands(s.doneBytes - s.archivesOnDisk));
                if (s.doneCount > 0) {
                    text += QLatin1Char('\n') +
                            zipSavingsText(s.doneBytes, s.doneBytesExact, s.archivesOnDisk);
                }
            }
            ShowInfo(text);
        }
        // A run that archived nothing leaves the totals, and their first date, alone.
        saved = s.archivedCount == 0 || recordZipTotals(s.archivedCount, s.archivedBytes);
    } else {
        const QString note =
            s.aborted
                ? QStringLiteral(" (Note: Deletion operation canceled ... not all files deleted)")
                : QString();
        if (s.doneCount > 0) {
            ShowInfo(QStringLiteral("Deleted ") + FormatThousands(s.doneCount) +
                     QStringLiteral(" files for a savings of ") +
                     freedBytesText(s.doneBytes, s.doneBytesExact) + QStringLiteral(".") + note);
        }
        // An empty folder removed at once changes no total (nor their first date).
        saved = s.doneCount == 0 || (settings.mode == FolderCleanMode::Trash
                                         ? recordDeleteTotals(0, 0, s.doneCount, s.doneBytes)
                                         : recordDeleteTotals(s.doneCount, s.doneBytes, 0, 0));
    }
    if (!s.stoppedAt.isEmpty()) {
        ShowWarning(QStringLiteral("The folder %1 is only partly removed: the run stopped at %2, "
                                   "and what was not removed yet stays where it is.")
                        .arg(QFile::decodeName(folder_), QFile::decodeName(s.stoppedAt)));
    }
    if (s.stopped) {
        ShowError(settings.mode == FolderCleanMode::Trash ? trashFailureText(s.error, s.errorCode)
                                                          : s.error);
    }
    if (!s.kept.isEmpty()) {
        QString text =
            QStringLiteral("%1 could not be removed and stayed where they are:\n")
                .arg(s.kept.size() == 1
                         ? QStringLiteral("1 item")
                         : QStringLiteral("%1 items").arg(FormatThousands(s.kept.size())));
        for (qsizetype i = 0; i < s.kept.size() && i < kKeptShown; ++i) {
            text += QStringLiteral("\n") + keptStepText(s.kept[i].step) +
                    QFile::decodeName(s.kept[i].path) + QStringLiteral(": ") + s.kept[i].reason;
        }
        if (s.kept.size() > kKeptShown) {
            text += QStringLiteral("\n... and %1 more")
                        .arg(FormatThousands(s.kept.size() - kKeptShown));
        }
        ShowWarning(text);
    }
    if (!saved) {
        ShowError(QStringLiteral("The totals could not be saved in the settings file."));
    }
}

}  // namespace dw
