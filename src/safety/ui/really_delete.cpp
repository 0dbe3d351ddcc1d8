#include "safety/ui/really_delete.h"
#include "safety/trash_rule.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "base/freed_text.h"
#include "base/utility.h"
#include "platform/event_pump.h"
#include "platform/prompter.h"
#include "safety/archive_name.h"
#include "safety/clean_run.h"
#include "safety/clean_totals.h"
#include "safety/safe_harbor.h"
#include "safety/share_run.h"
#include "safety/ui/zip_options.h"
#include "widgets/elided_label.h"
#include "widgets/message_boxes.h"
#include "widgets/stand_by.h"

namespace dw {

namespace {

// A name as the lists and boxes show it: control characters (a TAB or a line break in
// a file name) as their visible symbols, so every file takes one line and no name can
// pass for another.
QString displayPath(const QByteArray& path) {
    QString text = QFile::decodeName(path);
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20) {
            c = QChar(char16_t(0x2400 + u));
        } else if (u == 0x7f) {
            c = QChar(char16_t(0x2421));
        }
    }
    return text;
}

QString withDetail(const QString& text, const QString& detail) {
    return detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail;
}

bool askYesNo(const QString& text) {
    return platform::prompter().ask(platform::MessageKind::Question,
                                    QCoreApplication::applicationName(), text,
                                    platform::Buttons::YesNo) == platform::Answer::Yes;
}

// The lists' order: names compared with ASCII case folded, as a reader looks for them,
// then byte for byte, so that the order is total.
bool listOrder(const QByteArray& a, const QByteArray& b) {
    const int folded = qstrnicmp(a.constData(), a.size(), b.constData(), b.size());
    return folded != 0 ? folded < 0 : a < b;
}

QString fileCount(qint64 n) {
    return n == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(FormatThousands(n));
}

// The kept files named in the box after a run; the rest are counted.
constexpr qsizetype kKeptShown = 10;

// The stand-by notice appears only when the split takes longer than this.
constexpr qint64 kStandByAfterMs = 250;

}  // namespace

// The files of one list, as native paths, sorted; display text is made when painted.
class PathListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(paths_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= paths_.size()) {
            return {};
        }
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            return displayPath(paths_[index.row()]);
        }
        return {};
    }

    const QList<QByteArray>& paths() const { return paths_; }
    void setPaths(QList<QByteArray> paths) {
        beginResetModel();
        paths_ = std::move(paths);
        endResetModel();
    }

private:
    QList<QByteArray> paths_;
};

TfrmReallyDelete::TfrmReallyDelete(SafeHarbor& harbor, QWidget* parent, QString* defaultZipPath)
    : QDialog(parent), harbor_(harbor), defaultZipPath_(defaultZipPath), plan_(listOrder) {
    setObjectName(QStringLiteral("frmReallyDelete"));
    setWindowTitle(QStringLiteral("Clean up the following files"));
    buildControls();
}

TfrmReallyDelete::~TfrmReallyDelete() = default;

int TfrmReallyDelete::execute(QWidget* parent, SafeHarbor& harbor, const QList<QByteArray>& files,
                              const QString& callerName, QString* defaultZipPath,
                              const QHash<QByteArray, QByteArray>& twins) {
    TfrmReallyDelete panel(harbor, parent, defaultZipPath);
    panel.setHandOff(files, callerName);
    panel.setTwins(twins);
    return panel.exec();
}

void TfrmReallyDelete::buildControls() {
    lblDelete = new QLabel(this);
    lblDelete->setObjectName(QStringLiteral("lblDelete"));
    QFont bold = lblDelete->font();
    bold.setBold(true);
    lblDelete->setFont(bold);
    auto* savingsCaption = new QLabel(QStringLiteral("Potential savings of "), this);
    lblSavings = new QLabel(this);
    lblSavings->setObjectName(QStringLiteral("lblSavings"));
    lblSavings->setFont(bold);
    auto* top = new QHBoxLayout;
    top->addWidget(lblDelete);
    top->addStretch(1);
    top->addWidget(savingsCaption);
    top->addWidget(lblSavings);

    auto makeList = [this](const char* name, PathListModel*& model) {
        auto* view = new QListView(this);
        view->setObjectName(QLatin1String(name));
        model = new PathListModel(view);
        view->setModel(model);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setUniformItemSizes(true);
        view->setTextElideMode(Qt::ElideMiddle);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        return view;
    };

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    tabDelete = new QWidget(PageControl1);
    tabDelete->setObjectName(QStringLiteral("tabDelete"));
    lblLeft = new QLabel(tabDelete);
    lblLeft->setObjectName(QStringLiteral("lblLeft"));
    lb1 = makeList("lb1", model1_);
    btToAgainst = new QPushButton(QStringLiteral("Move files OFF to safe harbor"), tabDelete);
    btToAgainst->setObjectName(QStringLiteral("btToAgainst"));
    auto* leftButtons = new QHBoxLayout;
    leftButtons->addWidget(btToAgainst);
    leftButtons->addStretch(1);
    auto* left = new QVBoxLayout(tabDelete);
    left->addWidget(lblLeft);
    left->addWidget(lb1, 1);
    left->addLayout(leftButtons);
    PageControl1->addTab(tabDelete, QStringLiteral("Files to be deleted"));

    tabSafeHarbor = new QWidget(PageControl1);
    tabSafeHarbor->setObjectName(QStringLiteral("tabSafeHarbor"));
    lblRight = new QLabel(tabSafeHarbor);
    lblRight->setObjectName(QStringLiteral("lblRight"));
    lb2 = makeList("lb2", model2_);
    btMoveLeft = new QPushButton(QStringLiteral("Move files to the deletion panel"), tabSafeHarbor);
    btMoveLeft->setObjectName(QStringLiteral("btMoveLeft"));
    btReason = new QPushButton(QStringLiteral("Reason that file is on this list"), tabSafeHarbor);
    btReason->setObjectName(QStringLiteral("btReason"));
    auto* rightButtons = new QHBoxLayout;
    rightButtons->addWidget(btMoveLeft);
    rightButtons->addWidget(btReason);
    rightButtons->addStretch(1);
    auto* right = new QVBoxLayout(tabSafeHarbor);
    right->addWidget(lblRight);
    right->addWidget(lb2, 1);
    right->addLayout(rightButtons);
    PageControl1->addTab(tabSafeHarbor, QStringLiteral("Safe Harbor - Do not delete these files"));

    btToAgainst->setEnabled(false);
    btMoveLeft->setEnabled(false);
    btReason->setEnabled(false);

    // The action panel and, in its place during a run, the progress panel.
    pnlButtons = new QWidget(this);
    pnlButtons->setObjectName(QStringLiteral("pnlButtons"));
    btZip = new QPushButton(QStringLiteral("&Archive files into a zip file"), pnlButtons);
    btZip->setObjectName(QStringLiteral("btZip"));
    btDelete = new QPushButton(QStringLiteral("&Delete all files"), pnlButtons);
    btDelete->setObjectName(QStringLiteral("btDelete"));
    btRecycle = new QPushButton(QStringLiteral("&Send to recycle bin"), pnlButtons);
    btRecycle->setObjectName(QStringLiteral("btRecycle"));
    btShare = new QPushButton(QStringLiteral("S&hare blocks"), pnlButtons);
    btShare->setObjectName(QStringLiteral("btShare"));
    auto* actions = new QHBoxLayout(pnlButtons);
    actions->setContentsMargins(0, 0, 0, 0);
    actions->addWidget(btZip);
    actions->addWidget(btDelete);
    actions->addWidget(btRecycle);
    actions->addWidget(btShare);
    actions->addStretch(1);

    pnlProgress = new QWidget(this);
    pnlProgress->setObjectName(QStringLiteral("pnlProgress"));
    lblName = new ElidedLabel(pnlProgress);
    lblName->setObjectName(QStringLiteral("lblName"));
    lblName->setMinimumWidth(200);
    bar = new QProgressBar(pnlProgress);
    bar->setObjectName(QStringLiteral("bar"));
    Gauge1 = new QProgressBar(pnlProgress);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setRange(0, 100);
    auto* progress = new QVBoxLayout(pnlProgress);
    progress->setContentsMargins(0, 0, 0, 0);
    progress->addWidget(lblName);
    progress->addWidget(bar);
    progress->addWidget(Gauge1);

    // Only one of the two panels shows; the row takes the height of the one shown and
    // Close stays on the same line as the action buttons.
    pnlProgress->hide();
    btClose = new QPushButton(QStringLiteral("Close"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    btClose->setAutoDefault(false);
    auto* pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    auto* bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(pnlButtons, 1, Qt::AlignBottom);
    bottom->addWidget(pnlProgress, 1);
    bottom->addWidget(btClose, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(PageControl1, 1);
    layout->addWidget(pnlBottom);
    resize(640, 460);

    connect(lb1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { lb1Click(); });
    connect(lb2->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { lb2Click(); });
    connect(btToAgainst, &QPushButton::clicked, this, [this] { btToAgainstClick(); });
    connect(btMoveLeft, &QPushButton::clicked, this, [this] { btMoveLeftClick(); });
    connect(btReason, &QPushButton::clicked, this, [this] { btReasonClick(); });
    connect(btDelete, &QPushButton::clicked, this, [this] { btDeleteAllClick(); });
    connect(btRecycle, &QPushButton::clicked, this, [this] { btRecycleClick(); });
    connect(btZip, &QPushButton::clicked, this, [this] { btZipClick(); });
    connect(btShare, &QPushButton::clicked, this, [this] { btShareClick(); });
    setTwins({});
    connect(btClose, &QPushButton::clicked, this, [this] { btCloseClick(); });
}

void TfrmReallyDelete::setHandOff(const QList<QByteArray>& files, const QString& callerName) {
    callerName_ = callerName;
    plan_.setFiles(files);
    showPlan();
}

void TfrmReallyDelete::setTwins(QHash<QByteArray, QByteArray> twins) {
    twins_ = std::move(twins);
    btShare->setEnabled(!twins_.isEmpty());
    btShare->setToolTip(
        twins_.isEmpty()
            ? QStringLiteral("Only files found by Same contents have an identical file to "
                             "share blocks with")
            : QStringLiteral("Make each file use the disk blocks of the identical file kept in "
                             "its group (btrfs, xfs): nothing is deleted"));
}

void TfrmReallyDelete::showPlan() {
    model1_->setPaths(plan_.toActOn());
    model2_->setPaths(plan_.protectedFiles());
}

const QList<QByteArray>& TfrmReallyDelete::deletionPanel() const {
    return model1_->paths();
}

const QList<QByteArray>& TfrmReallyDelete::safeHarborList() const {
    return model2_->paths();
}

// ---- show and the split -------------------------------------------------------------

void TfrmReallyDelete::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TfrmReallyDelete::FormShow() {
    abortRequested_ = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    UpdateHeaders();
    lblName->clear();
    MoveFiles();
    QApplication::restoreOverrideCursor();
    PageControl1->setCurrentWidget(tabDelete);
    if (model1_->rowCount() == 0) {
        QTimer::singleShot(500, this, [this] {
            if (!isVisible()) {
                return;
            }
            ShowInfo(QStringLiteral(
                "All files selected appear on the Safe Harbor list.  To delete the files "
                "anyway, move them off of the Safe Harbor list onto the DELETION PANEL."));
            PageControl1->setCurrentWidget(tabSafeHarbor);
        });
    }
}

void TfrmReallyDelete::MoveFiles() {
    harbor_.clearMemo();
    QElapsedTimer clock;
    clock.start();
    platform::ClockedPump pumpEvents;
    const qsizetype steps = plan_.splitSteps();
    plan_.split(harbor_, [&](qsizetype done) {
        if (!standBy_ && clock.elapsed() >= kStandByAfterMs) {
            standBy_ = new TfrmStandBy([this] { harbor_.clearMemo(); }, this);
            standBy_->setMaximum(int(qMax<qsizetype>(steps - 1, 0)));
            standBy_->show();
            platform::pumpEvents();
        }
        if (standBy_ && pumpEvents()) {
            standBy_->setPosition(int(done));
        }
    });
    if (standBy_) {
        standBy_->hide();
        standBy_->deleteLater();
        standBy_ = nullptr;
    }
    harbor_.clearMemo();
    showPlan();
    updateLeftRight();
}

void TfrmReallyDelete::UpdateHeaders() {
    lblDelete->setText(QStringLiteral("Delete - %1, Do NOT delete - %2")
                           .arg(model1_->rowCount())
                           .arg(model2_->rowCount()));
}

void TfrmReallyDelete::updateLeftRight() {
    lblLeft->setText(
        QStringLiteral("Deletion Panel - files to be deleted: %1").arg(model1_->rowCount()));
    lblRight->setText(
        QStringLiteral("Safe Harbor - files NOT to be deleted: %1").arg(model2_->rowCount()));
    lb1Click();
    lb2Click();
    UpdateHeaders();
    updateSavings();
}

void TfrmReallyDelete::updateSavings() {
    const platform::FreedBlocks savings = plan_.savingsFigure();
    lblSavings->setText(freedBytesText(savings.bytes, savings.exact));
}

void TfrmReallyDelete::lb1Click() {
    btToAgainst->setEnabled(lb1->selectionModel()->hasSelection());
}

void TfrmReallyDelete::lb2Click() {
    const bool selected = lb2->selectionModel()->hasSelection();
    btMoveLeft->setEnabled(selected);
    btReason->setEnabled(selected);
}

// ---- moves and reasons --------------------------------------------------------------

void TfrmReallyDelete::moveSelected(PathListModel& from, QListView& fromView) {
    if (isRunning()) {
        return;
    }
    const QModelIndexList selected = fromView.selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        return;
    }
    QList<QByteArray> go;
    for (const QModelIndex& i : selected) {
        go.append(from.paths()[i.row()]);
    }
    if (&from == model1_) {
        plan_.protect(go);
    } else {
        plan_.actOn(go);
    }
    showPlan();
    updateLeftRight();
}

void TfrmReallyDelete::btToAgainstClick() {
    moveSelected(*model1_, *lb1);
    if (model1_->rowCount() == 0) {
        PageControl1->setCurrentWidget(tabSafeHarbor);
    }
}

void TfrmReallyDelete::btMoveLeftClick() {
    if (isRunning()) {
        return;
    }
    // A file of the system's own trees is rarely the user's to delete: each one is
    // confirmed, and a No keeps it where it is.
    QItemSelectionModel* selection = lb2->selectionModel();
    for (const QModelIndex& i : selection->selectedIndexes()) {
        const QByteArray& file = model2_->paths()[i.row()];
        if (plan_.harborReason(file) != SafeHarbor::kReasonSystemFolder) {
            continue;
        }
        const QString text =
            QStringLiteral(
                "This file \"%1\" is on the Safe Harbor List since the folder that "
                "it is stored in is %2.\n\nMove it to the deletion panel anyway?")
                .arg(displayPath(file), SafeHarbor::safeHarborReason(plan_.harborReason(file)));
        if (platform::prompter().ask(platform::MessageKind::Warning,
                                     QCoreApplication::applicationName(), text,
                                     platform::Buttons::YesNoDefaultNo) != platform::Answer::Yes) {
            selection->select(i, QItemSelectionModel::Deselect);
        }
    }
    moveSelected(*model2_, *lb2);
    if (model2_->rowCount() == 0) {
        PageControl1->setCurrentWidget(tabDelete);
    }
}

void TfrmReallyDelete::btReasonClick() {
    const QModelIndex current = lb2->currentIndex();
    if (!current.isValid()) {
        return;
    }
    const QByteArray& file = model2_->paths()[current.row()];
    const QString shown = QLatin1Char('"') + displayPath(file) + QLatin1Char('"');
    int reason = SafeHarbor::kNotProtected;
    if (harbor_.isInSafeHarbor(file, true, reason)) {
        ShowInfo(QStringLiteral("This file ") + shown +
                 QStringLiteral(" is on the Safe Harbor List since the folder that it is "
                                "stored in is ") +
                 SafeHarbor::safeHarborReason(reason));
    } else {
        ShowInfo(QStringLiteral("This file ") + shown +
                 QStringLiteral(" is on the Safe Harbor List because you moved it here."));
    }
}

bool TfrmReallyDelete::NoFilesToDelete() {
    if (model1_->rowCount() > 0) {
        return false;
    }
    ShowInfo(QStringLiteral(
        "There are no files on the deletion panel.  In order to perform this operation you "
        "need to move files from the NON-DELETE list to the deletion panel."));
    return true;
}

// ---- runs ---------------------------------------------------------------------------

void TfrmReallyDelete::btDeleteAllClick() {
    if (isRunning() || NoFilesToDelete()) {
        return;
    }
    DeleteAllClick();
}

void TfrmReallyDelete::btRecycleClick() {
    if (isRunning() || NoFilesToDelete()) {
        return;
    }
    RecycleClick();
}

void TfrmReallyDelete::btZipClick() {
    if (isRunning() || NoFilesToDelete()) {
        return;
    }
    ZipItClick();
}

void TfrmReallyDelete::btShareClick() {
    if (isRunning() || twins_.isEmpty() || NoFilesToDelete()) {
        return;
    }
    ShareClick();
}

void TfrmReallyDelete::beginRun(Run run, qsizetype files) {
    running_ = run;
    abortRequested_ = false;
    current_ = -1;
    currentPath_.clear();
    gaugePercent_ = 0;
    pnlButtons->hide();
    pnlProgress->show();
    PageControl1->setEnabled(false);
    lblName->clear();
    bar->setRange(0, int(qMax<qsizetype>(files - 1, 0)));
    bar->setValue(0);
    bar->show();
    Gauge1->setValue(0);
    Gauge1->setVisible(run == Run::Zip);
    // Delete and trash runs cannot be stopped half-way; an archive run can.
    btClose->setEnabled(run == Run::Zip);
    pump_ = std::make_unique<platform::ClockedPump>(pumpIntervalMs_, [this] { pump(); });
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TfrmReallyDelete::endRun() {
    QApplication::restoreOverrideCursor();
    pump_.reset();
    // The box that tells the outcome comes next; a file name left here would look as if
    // the run were still at it.
    lblName->clear();
    bar->hide();
    Gauge1->hide();
    btClose->setEnabled(true);
    running_ = Run::None;
}

void TfrmReallyDelete::stepTo(qsizetype index, const QByteArray& path) {
    current_ = index;
    currentPath_ = path;
    if (stepHook_) {
        stepHook_(index);
    }
    (*pump_)();
}

void TfrmReallyDelete::pump() {
    // The widgets follow the run only when events run, not at every file.
    if (current_ >= 0) {
        lblName->setText(displayPath(currentPath_));
        bar->setValue(int(current_));
    }
    Gauge1->setValue(gaugePercent_);
    platform::pumpEvents();
}

void TfrmReallyDelete::finishRun() {
    model1_->setPaths({});
    UpdateHeaders();
    pnlProgress->hide();
    pnlButtons->show();
    PageControl1->setEnabled(true);
    done(kRunDone);
}

void TfrmReallyDelete::DeleteAllClick() {
    if (!askYesNo(QStringLiteral("Really delete?"))) {
        ShowInfo(QStringLiteral("Files not deleted"));
        return;
    }
    const QList<QByteArray> files = model1_->paths();
    beginRun(Run::Delete, files.size());
    CleanRunHooks hooks;
    hooks.starting = [this](qsizetype i, const QByteArray& path) { stepTo(i, path); };
    QList<CleanFileResult> kept;
    hooks.fileDone = [&kept](const CleanFileResult& r) {
        if (!r.done) {
            kept.append(r);
            QApplication::restoreOverrideCursor();
            ShowError(withDetail(QStringLiteral("Couldn't delete file - ") + displayPath(r.path),
                                 r.reason));
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    };
    const CleanRunSummary summary = plan_.deleteFiles(hooks);
    endRun();
    if (!recordDeleteTotals(summary.doneCount, summary.doneBytes, 0, 0)) {
        ShowError(QStringLiteral("The totals could not be saved in the settings file."));
    }
    tellOutcome(QStringLiteral("Deleted %1, %2.")
                    .arg(fileCount(summary.doneCount),
                         freedBytesText(summary.doneBytes, summary.doneBytesExact)),
                kept, {});
    finishRun();
}

void TfrmReallyDelete::RecycleClick() {
    if (!askYesNo(QStringLiteral(
                      "Note that the recycle bin may be full or that you may have the "
                      "\"Immediately Remove Files On Delete\" option turned on in the recycle "
                      "bin. If either is true, then you will not be able to recover the deleted "
                      "files from the recycle bin. ") +
                  QStringLiteral("\n\nSend to the recycle bin anyway?"))) {
        ShowInfo(QStringLiteral("Files not deleted"));
        return;
    }
    const QList<QByteArray> files = model1_->paths();
    beginRun(Run::Trash, files.size());
    CleanRunHooks hooks;
    hooks.starting = [this](qsizetype i, const QByteArray& path) { stepTo(i, path); };
    bool reported = false;
    QList<CleanFileResult> kept;
    hooks.fileDone = [&reported, &kept](const CleanFileResult& r) {
        if (!r.done) {
            kept.append(r);
        }
        // Only the failure that stopped the run; the files after it were not tried.
        if (!r.done && !reported) {
            reported = true;
            QApplication::restoreOverrideCursor();
            ShowError(
                trashFailureText(displayPath(r.path) + QStringLiteral(": ") + r.reason, r.code));
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    };
    const CleanRunSummary summary = plan_.trashFiles(hooks);
    endRun();
    if (!recordDeleteTotals(0, 0, summary.doneCount, summary.doneBytes)) {
        ShowError(QStringLiteral("The totals could not be saved in the settings file."));
    }
    tellOutcome(QStringLiteral("Sent %1, %2, to the trash.")
                    .arg(fileCount(summary.doneCount),
                         freedBytesText(summary.doneBytes, summary.doneBytesExact)),
                kept, {});
    finishRun();
}

void TfrmReallyDelete::ShareClick() {
    if (!askYesNo(QStringLiteral("Make each file share the disk blocks of the identical file "
                                 "kept in its group?  No file is deleted: names, owners, "
                                 "modes and times stay."))) {
        ShowInfo(QStringLiteral("Files not changed"));
        return;
    }
    const QList<QByteArray> files = model1_->paths();
    QList<SharePair> pairs;
    QList<CleanFileResult> kept;
    for (const QByteArray& file : files) {
        const auto twin = twins_.constFind(file);
        if (twin != twins_.constEnd()) {
            pairs.append({file, *twin});
        } else {
            CleanFileResult r;
            r.path = file;
            r.reason = QStringLiteral("no identical file is kept in its group");
            kept.append(r);
        }
    }
    beginRun(Run::Share, pairs.size());
    CleanRunHooks hooks;
    hooks.starting = [this](qsizetype i, const QByteArray& path) { stepTo(i, path); };
    hooks.fileDone = [&kept](const CleanFileResult& r) {
        if (!r.done) {
            kept.append(r);
        }
    };
    const CleanRunSummary summary = shareFiles(pairs, hooks);
    endRun();
    // Nothing was deleted, so the totals of deleted files stay as they are.
    tellOutcome(QStringLiteral("Shared the blocks of %1, %2 bytes freed.")
                    .arg(fileCount(summary.doneCount), FormatThousands(summary.doneBytes)),
                kept, {});
    finishRun();
}

void TfrmReallyDelete::ZipItClick() {
    TfrmZipOptions options(this, defaultZipPath_);
    if (options.exec() != QDialog::Accepted) {
        return;
    }
    ZipRunSettings settings;
    settings.zipFolder = options.zipPath();
    settings.callerWord = callerName_;
    settings.stamp = QDateTime::currentDateTime();
    settings.comment = options.comment();

    const QList<QByteArray> files = model1_->paths();
    beginRun(Run::Zip, files.size());
    CleanRunHooks hooks;
    hooks.starting = [this](qsizetype i, const QByteArray& path) {
        gaugePercent_ = 0;
        stepTo(i, path);
    };
    hooks.progress = [this](int percent) {
        gaugePercent_ = percent;
        (*pump_)();
        return abortRequested_;
    };
    // Boxes wait for the end of the run: a box shown from inside a batch's commit would
    // hold the archive open while the user reads it.
    QList<CleanFileResult> failures;
    QList<CleanFileResult> results;
    hooks.fileDone = [&failures, &results](const CleanFileResult& r) {
        if (!r.done) {
            failures.append(r);
        }
        if (r.archived) {
            results.append(r);
        }
    };
    const CleanRunSummary summary = plan_.zipFiles(settings, hooks);
    endRun();

    for (const CleanFileResult& r : failures) {
        if (r.archived) {
            ShowError(withDetail(QStringLiteral("Couldn't delete file - ") + displayPath(r.path),
                                 r.reason));
        } else if (!r.aborted && !(summary.ended && r.reason == summary.error)) {
            // Files left by an abort, or by the archive failure reported below, have
            // nothing wrong of their own.
            ShowError(withDetail(QStringLiteral("Couldn't zip up file - ") + displayPath(r.path),
                                 r.reason));
        }
    }
    if (summary.ended) {
        ShowError(summary.error);
    }
    if (!recordZipTotals(summary.archivedCount, summary.archivedBytes)) {
        ShowError(QStringLiteral("The totals could not be saved in the settings file."));
    }
    QList<QByteArray> archives;
    for (const CleanFileResult& r : results) {
        if (r.archived && !archives.contains(r.archive)) {
            archives.append(r.archive);
        }
    }
    QString done = QStringLiteral("Stored %1, %2 bytes, in archives and deleted them.")
                       .arg(fileCount(summary.doneCount), FormatThousands(summary.doneSize));
    if (summary.doneCount > 0) {
        done += QLatin1Char('\n') +
                zipSavingsText(summary.doneBytes, summary.doneBytesExact, summary.archivesOnDisk);
    }
    if (!abortRequested_ && !summary.ended) {
        tellOutcome(done, failures, archives,
                    QStringLiteral("Files deleted and stored in archive zip files in the folder "
                                   "\"%1\"")
                        .arg(archiveFolderOrDefault(options.zipPath())),
                    true);
    } else {
        tellOutcome(done, failures, archives,
                    abortRequested_ ? QStringLiteral("The run was aborted.") : QString());
    }
    finishRun();
}

void TfrmReallyDelete::tellOutcome(const QString& done, const QList<CleanFileResult>& kept,
                                   const QList<QByteArray>& archives, const QString& lead,
                                   bool plain) {
    QStringList parts;
    if (!lead.isEmpty()) {
        parts.append(lead);
    }
    parts.append(done);
    if (!kept.isEmpty()) {
        QString text = QStringLiteral("%1 kept:").arg(fileCount(kept.size()));
        for (qsizetype i = 0; i < kept.size() && i < kKeptShown; ++i) {
            const CleanFileResult& r = kept[i];
            QString why = r.reason;
            if (r.aborted) {
                why = QStringLiteral("the run was aborted");
            } else if (why.isEmpty()) {
                why = QStringLiteral("not tried");
            }
            text += QStringLiteral("\n") + displayPath(r.path) + QStringLiteral(" - ") + why;
        }
        if (kept.size() > kKeptShown) {
            text +=
                QStringLiteral("\n... and %1 more").arg(FormatThousands(kept.size() - kKeptShown));
        }
        parts.append(text);
    }
    if (model2_->rowCount() > 0) {
        parts.append(QStringLiteral("%1 on the Safe Harbor list left alone.")
                         .arg(fileCount(model2_->rowCount())));
    }
    if (!archives.isEmpty()) {
        QString text =
            archives.size() == 1 ? QStringLiteral("Archive:") : QStringLiteral("Archives:");
        for (const QByteArray& a : archives) {
            text += QStringLiteral("\n") + displayPath(a);
        }
        parts.append(text);
    }
    platform::prompter().ask(plain ? platform::MessageKind::Plain : platform::MessageKind::Info,
                             QCoreApplication::applicationName(),
                             parts.join(QStringLiteral("\n\n")), platform::Buttons::Ok);
}

// ---- closing ------------------------------------------------------------------------

void TfrmReallyDelete::btCloseClick() {
    if (running_ == Run::None) {
        done(kClosed);
        return;
    }
    if (running_ != Run::Zip || abortRequested_) {
        return;
    }
    QApplication::restoreOverrideCursor();
    if (askYesNo(QStringLiteral("Really abort?  Folders may be partially deleted!"))) {
        abortRequested_ = true;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TfrmReallyDelete::reject() {
    // Esc and the window's close box act as Close.
    btCloseClick();
}

void TfrmReallyDelete::closeEvent(QCloseEvent* event) {
    if (isRunning()) {
        event->ignore();
        btCloseClick();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace dw
