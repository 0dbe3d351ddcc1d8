#include "finders/ui/dup_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>
#include <optional>

#include "base/progress_share.h"
#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "platform/dir_reader.h"
#include "platform/event_pump.h"
#include "scan/ui/drive_check_list.h"
#include "widgets/message_boxes.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"
#include "widgets/theme_colors.h"
#include "widgets/wait_cursor.h"

namespace dw {

// The search's side of a scan: the files of the size range become candidates, grouped
// (or ranked) into the grid when the walk is done. The status line counts the files seen
// and the candidates, before the folder being read (a long folder is cut at its right
// edge, the counts stay).
class TfrmDup::DupScan final : public Scan {
public:
    DupScan(const DupOptions& options, GridTable& grid, TfrmDup& window)
        : search_(options),
          grid_(grid),
          window_(window),
          what_(options.duplicateMode ? QStringLiteral("in the size range")
                                      : QStringLiteral("file hogs")) {}

    bool addFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
        if (full_) {
            return true;
        }
        ++seen_;
        if (search_.addFile(folder, entry) == DupSearch::Step::Full) {
            full_ = true;
            return false;
        }
        return true;
    }
    void stopped() override { ShowWarning(resourceLimitText()); }
    void finish() override {
        // "Same contents" reads files on its own threads; this thread keeps the window
        // live and shows how far the reading is.
        ContentGrouper::Hooks hooks;
        hooks.progress = [this](qint64 done, qint64 total) {
            return window_.pumpDuringFinish(
                QStringLiteral("Comparing contents: %1 of %2 bytes read (%3%)")
                    .arg(FormatThousands(done), FormatThousands(std::max(done, total)))
                    .arg(share_.percent(done, total)));
        };
        hooks.beforeRead = window_.readHook_;
        const bool content =
            search_.options().criterion == kContentCriterion && search_.options().duplicateMode;
        // The reading reports its progress on this thread, so it runs here; the rest of
        // the last step (ordering a million candidates, writing their rows) runs on its
        // own thread into a table no view watches, while this one keeps the window
        // painting, and the rows take the grid's place at once. The search has found all
        // it will by then: Abort has nothing left to stop.
        if (content) {
            search_.finish(hooks);
        }
        GridTable built;
        platform::runWhilePumping(
            [&] {
                search_.finish(hooks);
                search_.fillGrid(built);
            },
            [this] { window_.pumpDuringFinish(QStringLiteral("Filling the list..."), true); });
        grid_.swapContents(built);
        window_.rowGroups_.clear();
        window_.hardLinkGroups_.clear();
        window_.unreadable_ = 0;
        window_.changed_ = 0;
        if (search_.options().criterion == kContentCriterion) {
            for (qsizetype k = 0; k < search_.resultCount(); ++k) {
                const quint32 group = search_.resultGroup(k);
                window_.rowGroups_.push_back(group);
                if (window_.hardLinkGroups_.size() < group) {
                    window_.hardLinkGroups_.push_back(search_.isHardLinkGroup(group));
                }
            }
            for (const DupSearch::ContentProblem& p : search_.contentProblems()) {
                ++(p.changed ? window_.changed_ : window_.unreadable_);
            }
        }
    }
    void abort() override {
        window_.aborted_ = true;
        search_.stopReading();
    }
    qsizetype foundCount() const override { return search_.resultCount(); }
    QString progressText(const QString& folder) const override {
        return QStringLiteral("%1 files seen, %2 %3 - %4")
            .arg(FormatThousands(seen_), FormatThousands(search_.candidateCount()), what_, folder);
    }

private:
    DupSearch search_;
    GridTable& grid_;
    TfrmDup& window_;
    const QString what_;
    ProgressShare share_;
    qint64 seen_ = 0;
    bool full_ = false;
};

TfrmDup::TfrmDup(bool duplicateMode, const SafeHarbor* harbor, QWidget* parent, Tools tools)
    : FinderWindow(setupFor(duplicateMode), harbor, parent, tools),
      duplicateMode_(duplicateMode),
      comparePairs_(std::move(tools.comparePairs)) {
    QWidget* options = buildOptions();
    btCompare_ = makeButton(this, "btCompare", QStringLiteral("P&airs"));

    // On creation the criterion starts as "Filename only".
    cbDup_->setCurrentIndex(0);
    const QString hiddenValue = QLatin1String(duplicateMode_ ? settings::kHiddenFoldersDuplicates
                                                             : settings::kHiddenFoldersFileHogs);
    cbHidden_->setChecked(
        SettingsStore().readInteger(QLatin1String(settings::kFinderOptions), hiddenValue, 0) == 1);
    connect(cbHidden_, &QCheckBox::toggled, this, [hiddenValue](bool on) {
        SettingsStore().writeInteger(QLatin1String(settings::kFinderOptions), hiddenValue,
                                     on ? 1 : 0);
    });
    connect(rbLarger_, &QRadioButton::toggled, this, &TfrmDup::rbLargerClick);
    connect(rbSmaller_, &QRadioButton::toggled, this, &TfrmDup::rbLargerClick);
    connect(rbBetween_, &QRadioButton::toggled, this, &TfrmDup::rbLargerClick);
    connect(cbWildCard_, &QComboBox::editTextChanged, this, &TfrmDup::cbWildCardChange);
    connect(cbDup_, &QComboBox::currentIndexChanged, this, &TfrmDup::cbDupChange);
    connect(btCompare_, &QPushButton::clicked, this, [this] {
        if (comparePairs_) {
            comparePairs_(*this);
        }
    });

    // The options as the window opens (before the window's smallest size is taken from
    // them): sizes in KB, the criterion only in duplicate mode, the wildcard list.
    cbKB1_->setCurrentIndex(1);
    lblDup_->setVisible(duplicateMode_);
    cbDup_->setVisible(duplicateMode_);
    cbEmpty_->setVisible(duplicateMode_);
    cbDupChange();
    rbLargerClick();
    QStringList patterns;
    RegisteredExtensionPatterns(patterns, true);
    cbWildCard_->clear();
    cbWildCard_->addItems(patterns);
    cbWildCard_->setCurrentIndex(0);
    cbWildCardChange();

    build(options, {btCompare_});

    // In duplicate mode the groups are in alternating bands, in the order the search
    // gives; only file-hog mode sorts.
    if (duplicateMode_) {
        grid()->setBandColor(kBandA, shadedBandColor(palette()));
        grid()->setBandColor(kBandB, palette().color(QPalette::Window));
    }
    sortMenu()->setSortingEnabled(!duplicateMode_);
    sortItem()->setVisible(!duplicateMode_);
    if (duplicateMode_) {
        markMenu()->addSeparator();
        const std::pair<const char*, Keep> keeps[] = {
            {"Mark all but the first of each group", Keep::First},
            {"Mark all but the newest of each group", Keep::Newest},
            {"Mark all but the oldest of each group", Keep::Oldest},
        };
        for (const auto& [text, keep] : keeps) {
            QAction* item = markMenu()->addAction(QLatin1String(text));
            connect(item, &QAction::triggered, this, [this, keep = keep] { markAllBut(keep); });
            keepItems_.append(item);
        }
    }
    for (QAction* item : std::as_const(keepItems_)) {
        item->setVisible(false);
    }
    FormResize();
}

TfrmDup::~TfrmDup() = default;

bool TfrmDup::includeHiddenFolders() const {
    return cbHidden_->isChecked();
}

DupOptions TfrmDup::options() const {
    DupOptions o;
    o.duplicateMode = duplicateMode_;
    o.criterion = duplicateMode_ ? cbDup_->currentIndex() : 0;
    o.sizeTest = rbBetween_->isChecked()   ? SizeTest::Between
                 : rbSmaller_->isChecked() ? SizeTest::SmallerOrEqual
                                           : SizeTest::LargerOrEqual;
    o.num1 = num1_->value();
    o.num2 = num2_->value();
    o.unit = SizeUnit(std::clamp(cbKB1_->currentIndex(), 0, int(SizeUnit::GB)));
    o.pattern = cbWildCard_->currentText();
    o.candidateLimit = candidateLimit_;
    o.includeEmpty = cbEmpty_->isChecked();
    return o;
}

QString TfrmDup::reportTitle() const {
    return DupReportTitle(options(), driveList()->checkedEntries());
}

QString TfrmDup::browseMask() const {
    return cbWildCard_->currentText();
}

// ---- options ------------------------------------------------------------------------

void TfrmDup::rbLargerClick() {
    const bool between = rbBetween_->isChecked();
    num2_->setVisible(between);
    lblAnd_->setVisible(between);
}

void TfrmDup::cbWildCardChange() {
    const QString text = cbWildCard_->currentText();
    lblWild_->setText(text == QLatin1String("*.*") ? QStringLiteral("All files")
                                                   : FileTypeName(text.mid(1)));
}

void TfrmDup::cbDupChange() {
    cbEmpty_->setEnabled(cbDup_->isEnabled() && cbDup_->currentIndex() == kContentCriterion);
}

void TfrmDup::setOptionsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{num1_, num2_, cbKB1_, cbWildCard_, rbLarger_,
                                                      rbSmaller_, rbBetween_, cbDup_, cbHidden_}) {
        w->setEnabled(enabled);
    }
    cbDupChange();
}

// ---- the scan -----------------------------------------------------------------------

bool TfrmDup::checkOptions() {
    for (QSpinBox* n : {num1_, num2_}) {
        if ((n == num1_ || rbBetween_->isChecked()) && n->value() > kSizeLimitMax) {
            ShowError(QStringLiteral("The size %1 is too large: the sizes go from 0 to %2.")
                          .arg(FormatThousands(n->value()), FormatThousands(kSizeLimitMax)));
            n->setFocus();
            n->selectAll();
            return false;
        }
    }
    if (rbBetween_->isChecked() && num2_->value() < num1_->value()) {
        ShowError(QString::fromLatin1(kSecondNumberError));
        return false;
    }
    return true;
}

std::unique_ptr<FinderWindow::Scan> TfrmDup::makeScan(GridTable& grid) {
    if (duplicateMode_) {
        criterion_ = cbDup_->currentIndex();
    }
    aborted_ = false;
    return std::make_unique<DupScan>(options(), grid, *this);
}

WalkOptions TfrmDup::walkOptions() const {
    WalkOptions walk;
    walk.pattern = WildcardPattern(cbWildCard_->currentText());
    walk.enterHidden = cbHidden_->isChecked();
    return walk;
}

void TfrmDup::afterScan() {
    for (QAction* item : std::as_const(keepItems_)) {
        item->setVisible(criterion_ == kContentCriterion && !rowGroups_.empty());
    }
    if (!duplicateMode_) {
        // The grid was sorted by size, largest first: the next "Size" sort goes the other
        // way.
        sortMenu()->setDescending(0, false);
        sortMenu()->checkOnly(0);
    }
}

void TfrmDup::showResultButtons() {
    btCompare_->setVisible(duplicateMode_ && bool(comparePairs_));
}

QString TfrmDup::foundStatus(qsizetype found) const {
    // What the search left out, so that a user looking for space in ~/.cache knows why
    // it was not found.
    const qint64 hidden = hiddenFoldersSkipped();
    QString skipped = hidden == 0 ? QString()
                      : hidden == 1
                          ? QStringLiteral("1 hidden folder skipped (see Include hidden folders)")
                          : QStringLiteral("%1 hidden folders skipped (see Include hidden folders)")
                                .arg(FormatThousands(hidden));
    const auto add = [&skipped](qsizetype n, const char* one, const char* many) {
        if (n > 0) {
            skipped +=
                (skipped.isEmpty() ? QString() : QStringLiteral(", ")) +
                (n == 1 ? QLatin1String(one) : QString::fromLatin1(many).arg(FormatThousands(n)));
        }
    };
    add(unreadable_, "1 file could not be read", "%1 files could not be read");
    add(changed_, "1 file changed while it was read", "%1 files changed while they were read");
    if (aborted_) {
        skipped +=
            QLatin1String(skipped.isEmpty() ? "" : ", ") + QLatin1String(kListIncompleteText);
    }
    if (found == 0) {
        return skipped;
    }
    return FormatThousands(found) +
           QLatin1String(duplicateMode_ ? " duplicates found" : " file hogs found") +
           (skipped.isEmpty() ? QString() : QStringLiteral(", ") + skipped);
}

void TfrmDup::clearTable(GridTable& table) {
    ClearDupGrid(table, duplicateMode_);
}

void TfrmDup::markAllBut(Keep keep) {
    GridTable& table = grid()->table();
    const qsizetype rows = std::min<qsizetype>(qsizetype(rowGroups_.size()), foundCount());
    {
        const WaitCursor wait;
        const qsizetype current = grid()->currentRow();
        clearAllMarks();
        table.beginUpdate();
        for (qsizetype from = 0; from < rows;) {
            const quint32 group = rowGroups_[size_t(from)];
            qsizetype to = from + 1;
            while (to < rows && rowGroups_[size_t(to)] == group) {
                ++to;
            }
            if (to - from >= 2 && !hardLinkGroups_[group - 1]) {
                qsizetype kept = from;
                if (keep != Keep::First) {
                    std::optional<qint64> best;
                    for (qsizetype k = from; k < to; ++k) {
                        const std::optional<platform::DirEntry> e =
                            platform::statPath(table.rowData(k + 1));
                        if (e && (!best || (keep == Keep::Newest ? e->modified > *best
                                                                 : e->modified < *best))) {
                            best = e->modified;
                            kept = k;
                        }
                    }
                }
                for (qsizetype k = from; k < to; ++k) {
                    if (k != kept) {
                        deleteOneFile(k + 1);
                    }
                }
            }
            from = to;
        }
        table.endUpdate();
        grid()->setCurrentRow(current);
        setStatus(marks().statusText());
    }
    updateCleanButton();
}

QHash<QByteArray, QByteArray> TfrmDup::twinsOfMarked() const {
    QHash<QByteArray, QByteArray> twins;
    if (criterion_ != kContentCriterion) {
        return twins;
    }
    const GridTable& table = grid()->table();
    const qsizetype rows = std::min<qsizetype>(qsizetype(rowGroups_.size()), foundCount());
    for (qsizetype from = 0; from < rows;) {
        qsizetype to = from + 1;
        while (to < rows && rowGroups_[size_t(to)] == rowGroups_[size_t(from)]) {
            ++to;
        }
        std::optional<QByteArray> kept;
        for (qsizetype k = from; k < to && !kept; ++k) {
            if (!marks().isMarked(table.rowData(k + 1))) {
                kept = table.rowData(k + 1);
            }
        }
        for (qsizetype k = from; k < to && kept; ++k) {
            const QByteArray path = table.rowData(k + 1);
            if (marks().isMarked(path) && path != *kept) {
                twins.insert(path, *kept);
            }
        }
        from = to;
    }
    return twins;
}

void TfrmDup::fitColumnsToTexts() {
    FinderWindow::fitColumnsToTexts();
    // The longest size text may lie beyond the rows the widths are measured on.
    const GridTable& table = grid()->table();
    const qsizetype found = foundCount();
    if (found > 0) {
        const int column = setup_.sizeColumn;
        qint64 largest = 0;
        for (qsizetype r = 1; r <= found && r < table.rowCount(); ++r) {
            largest = std::max<qint64>(largest, table.cellUtf8(column, r).size());
        }
        const QFontMetrics metrics(grid()->font());
        widenColumn(column, metrics.horizontalAdvance(QString(int(largest), QLatin1Char('0'))) + 6);
    }
}

}  // namespace dw
