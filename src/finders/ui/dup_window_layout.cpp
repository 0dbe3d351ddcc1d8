// The duplicates window's controls, their layout and the grid's columns.
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/settings_sections.h"
#include "base/utility.h"
#include "finders/ui/dup_window.h"
#include "safety/ui/safe_harbor_styler.h"
#include "scan/ui/drive_check_list.h"
#include "widgets/string_grid.h"
#include "widgets/window_placement.h"

namespace dw {

namespace {

// Column widths in pixels at 96 pixels per inch; the last column takes the rest.
constexpr int kDupWidths[] = {93, 58, 64, 70, 70, 184};
constexpr int kHogWidths[] = {64, 64, 64, 64, 296};
constexpr int kLastColumnMinimum = 60;
constexpr int kSizeTypedMax = 99999999;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    // Enter presses the button that has the focus; Start only when no button has it.
    b->setAutoDefault(true);
    return b;
}

}  // namespace

void TfrmDup::buildControls() {
    buildUpperPanel();

    // ---- the grid ----------------------------------------------------------------------
    grid_ = new StringGrid(this);
    grid_->setObjectName(QStringLiteral("grid"));
    grid_->setToolTip(QStringLiteral("Double click to mark for deletion, right click for options"));
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);

    QHBoxLayout* buttons = buildButtons();

    // ---- the status line ---------------------------------------------------------------
    pnlSel_ = new QLabel(this);
    pnlSel_->setObjectName(QStringLiteral("pnlSel"));
    pnlSel_->setFrameShape(QFrame::StyledPanel);
    pnlSel_->setFrameShadow(QFrame::Sunken);
    pnlSel_->setTextFormat(Qt::PlainText);
    pnlSel_->setMinimumWidth(1);
    pnlSel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(Panel1_);
    outer->addWidget(grid_, 1);
    outer->addLayout(buttons);
    outer->addWidget(pnlSel_);

    // The grid's look: the sizes right-aligned, the mark in the file's column, and in
    // duplicate mode the groups in alternating bands.
    grid_->setColumnAlignment(duplicateMode_ ? kDupSizeColumn : kHogSizeColumn, Qt::AlignRight);
    grid_->setColumnElide(duplicateMode_ ? kDupFolderColumn : kHogPathColumn, Qt::ElideMiddle);
    grid_->setMarkColumn(DupMarkColumn(duplicateMode_));
    if (duplicateMode_) {
        grid_->setBandColor(kBandA, QColor(223, 223, 223));
        grid_->setBandColor(kBandB, palette().color(QPalette::Window));
    }
    // Protected files in bold: the "FileName" cell of a file hog, or the "Folder" cell of
    // a duplicate whose folder is protected.
    if (harbor_) {
        grid_->setCellStyler(SafeHarborBoldStyler(
            [this](qsizetype row) { return highlightedPath(row); }, *harbor_, !duplicateMode_, {},
            duplicateMode_ ? kDupFolderColumn : kHogPathColumn));
    }
}

// The upper panel: the options on the left, the drive list beside them.
void TfrmDup::buildUpperPanel() {
    Panel1_ = new QFrame(this);
    Panel1_->setObjectName(QStringLiteral("Panel1"));
    Panel1_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    QGridLayout* options = buildOptions();

    pckDrive_ = new DriveCheckList(Panel1_);
    pckDrive_->setObjectName(QStringLiteral("pckDrive"));
    pckDrive_->setMinimumWidth(220);
    // As tall as the options beside it: the grid gets the rest of the window.
    pckDrive_->setMinimumHeight(60);
    pckDrive_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    pckDrive_->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* top = new QHBoxLayout(Panel1_);
    // The drive list keeps 8 pixels from the window's right edge.
    top->setContentsMargins(6, 6, 8, 6);
    top->setSpacing(12);
    top->addLayout(options, 0);
    top->addWidget(pckDrive_, 1);
}

// The size test, the pattern and the criterion, in rows of a grid.
QGridLayout* TfrmDup::buildOptions() {
    auto* options = new QGridLayout;
    options->setHorizontalSpacing(6);
    options->setVerticalSpacing(4);

    rbLarger_ = new QRadioButton(QLatin1String(kSizeTestLargerText), Panel1_);
    rbLarger_->setObjectName(QStringLiteral("rbLarger"));
    rbSmaller_ = new QRadioButton(QLatin1String(kSizeTestSmallerText), Panel1_);
    rbSmaller_->setObjectName(QStringLiteral("rbSmaller"));
    rbBetween_ = new QRadioButton(QLatin1String(kSizeTestBetweenText), Panel1_);
    rbBetween_->setObjectName(QStringLiteral("rbBetween"));
    rbLarger_->setChecked(true);

    num1_ = new QSpinBox(Panel1_);
    num1_->setObjectName(QStringLiteral("num1"));
    num2_ = new QSpinBox(Panel1_);
    num2_->setObjectName(QStringLiteral("num2"));
    for (QSpinBox* n : {num1_, num2_}) {
        // The box takes more digits than the limit allows, so that a number too large
        // is shown as typed (in red) and refused by Start rather than cut to fit.
        n->setRange(0, kSizeTypedMax);
        n->setSingleStep(1);
        n->setValue(250);
        n->setAccelerated(true);
        n->setToolTip(QStringLiteral("From 0 to %1").arg(FormatThousands(kSizeLimitMax)));
        connect(n, &QSpinBox::valueChanged, n, [n](int value) {
            if (value > kSizeLimitMax) {
                QPalette red = n->palette();
                red.setColor(QPalette::Text, Qt::red);
                n->setPalette(red);
            } else {
                n->setPalette(QPalette());
            }
        });
    }
    lblAnd_ = new QLabel(QStringLiteral("and"), Panel1_);
    lblAnd_->setObjectName(QStringLiteral("lblAnd"));
    cbKB1_ = new QComboBox(Panel1_);
    cbKB1_->setObjectName(QStringLiteral("cbKB1"));
    cbKB1_->addItems({QLatin1String(kUnitBytesText), QLatin1String(kUnitKBText)});

    auto* sizeRow = new QHBoxLayout;
    sizeRow->setSpacing(6);
    sizeRow->addWidget(num1_);
    sizeRow->addWidget(lblAnd_);
    sizeRow->addWidget(num2_);
    sizeRow->addWidget(cbKB1_);
    sizeRow->addStretch(1);

    options->addWidget(rbLarger_, 0, 0);
    options->addLayout(sizeRow, 0, 1, 1, 2);
    options->addWidget(rbSmaller_, 1, 0);
    options->addWidget(rbBetween_, 2, 0);

    auto* matching = new QLabel(QStringLiteral("Matching"), Panel1_);
    cbWildCard_ = new QComboBox(Panel1_);
    cbWildCard_->setObjectName(QStringLiteral("cbWildCard"));
    cbWildCard_->setEditable(true);
    cbWildCard_->setMaxVisibleItems(14);
    cbWildCard_->setInsertPolicy(QComboBox::NoInsert);
    cbWildCard_->setMinimumContentsLength(10);
    cbWildCard_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    matching->setBuddy(cbWildCard_);
    lblWild_ = new QLabel(QStringLiteral("All files"), Panel1_);
    lblWild_->setObjectName(QStringLiteral("lblWild"));
    lblWild_->setMinimumWidth(160);
    auto* wildRow = new QHBoxLayout;
    wildRow->setSpacing(6);
    wildRow->addWidget(cbWildCard_);
    wildRow->addWidget(lblWild_, 1);
    options->addWidget(matching, 3, 0);
    options->addLayout(wildRow, 3, 1, 1, 2);

    lblDup_ = new QLabel(QStringLiteral("Duplicates matching on : "), Panel1_);
    lblDup_->setObjectName(QStringLiteral("lblDup"));
    cbDup_ = new QComboBox(Panel1_);
    cbDup_->setObjectName(QStringLiteral("cbDup"));
    for (const DupCriterion& c : kDupCriteria) {
        cbDup_->addItem(QLatin1String(c.item));
    }
    lblDup_->setBuddy(cbDup_);
    options->addWidget(lblDup_, 4, 0);
    options->addWidget(cbDup_, 4, 1, 1, 2);
    cbHidden_ = new QCheckBox(QStringLiteral("Include hidden folders"), Panel1_);
    cbHidden_->setObjectName(QStringLiteral("cbHidden"));
    cbHidden_->setToolTip(
        QStringLiteral("Also search folders whose names begin with a dot, such as ~/.cache"));
    options->addWidget(cbHidden_, 5, 0, 1, 3);
    options->setColumnStretch(2, 1);
    // The options stay together at the top however tall the drive list makes the panel.
    options->setRowStretch(6, 1);

    return options;
}

// The buttons, left to right, 3 pixels apart.
QHBoxLayout* TfrmDup::buildButtons() {
    btScan_ = makeButton(this, "btScan", QStringLiteral("&Start"));
    btScan_->setDefault(true);
    btClose_ = makeButton(this, "btClose", QStringLiteral("Close"));
    btAbort_ = makeButton(this, "btAbort", QStringLiteral("&Abort"));
    btMark_ = makeButton(this, "btMark", QStringLiteral("&Mark"));
    btDelete_ = makeButton(this, "btDelete", QStringLiteral("Clean?"));
    btOptions_ = makeButton(this, "btOptions", QStringLiteral("Options"));
    btOptions_->setToolTip(QStringLiteral("Right click on grid for same options"));
    btBrowse_ = makeButton(this, "btBrowse", QStringLiteral("&Browse"));
    btBrowse_->setToolTip(QStringLiteral("Browse this file and folder"));
    btDetails_ = makeButton(this, "btDetails", QStringLiteral("&Details"));
    btCompare_ = makeButton(this, "btCompare", QStringLiteral("P&airs"));

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(3, 4, 3, 4);
    buttons->setSpacing(3);
    for (QPushButton* b : {btScan_, btClose_, btAbort_, btMark_, btDelete_, btOptions_, btBrowse_,
                           btDetails_, btCompare_}) {
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    return buttons;
}

void TfrmDup::FormShow() {
    // 1. Unit, grid, limits.
    cbKB1_->setCurrentIndex(1);
    ClearGrid();
    num1_->setValue(250);
    num2_->setValue(250);
    // 2. Buttons and state.
    for (QPushButton* b :
         {btOptions_, btBrowse_, btDetails_, btCompare_, btAbort_, btMark_, btDelete_}) {
        b->hide();
    }
    btScan_->setEnabled(pckDrive_->checkedCount() > 0);
    btClose_->setEnabled(true);
    resultCount_ = 0;
    setStatus(QString());
    marks_.clear();
    // 3. The criterion only in duplicate mode; sorting only in file-hog mode.
    lblDup_->setVisible(duplicateMode_);
    cbDup_->setVisible(duplicateMode_);
    sortItem_->setVisible(!duplicateMode_);
    // 4. Caption and the tool tip of Start.
    setWindowTitle(duplicateMode_ ? QStringLiteral("Find and delete duplicate files")
                                  : QStringLiteral("Find and delete file hogs"));
    btScan_->setToolTip(duplicateMode_ ? QStringLiteral("Duplicates on file name only")
                                       : QStringLiteral("Start scanning for file hogs"));
    // 5. The buttons from the left; Start has the focus.
    btScan_->setFocus();
    rbLargerClick();
    // 6. The smallest size: the upper panel's width, and twice its height.
    const QSize panel = Panel1_->sizeHint();
    const QScreen* screen = this->screen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 1024;
    setMinimumSize(std::min(panel.width() + 3, screenWidth - 10), 2 * panel.height());
    // 7. The wildcard list, the columns, then the saved placement (centred otherwise).
    QStringList patterns;
    RegisteredExtensionPatterns(patterns, true);
    cbWildCard_->clear();
    cbWildCard_->addItems(patterns);
    cbWildCard_->setCurrentIndex(0);
    cbWildCardChange();
    resize(std::max(width(), 780), std::max(height(), 520));
    restoreWindowPlacement(
        this, duplicateMode_ ? settings::kPlacementDuplicates : settings::kPlacementFileHogs);
    FormResize();
}

void TfrmDup::fitColumnsToTexts() {
    // The columns' set widths (kDupWidths, kHogWidths) fit the dates, times and sizes of
    // a plain system font; the texts of this desktop's font and locale may be wider
    // ("10 Dec 2026"), and a size cut on its left shows a wrong number. So these columns
    // are widened to their widest text where needed; the sample of rows keeps this cheap
    // for millions of rows.
    const GridTable& table = grid_->table();
    const QFontMetrics metrics(grid_->font());
    const QFontMetrics titles(grid_->horizontalHeader()->font());
    const int first = duplicateMode_ ? kDupSizeColumn : kHogSizeColumn;
    const qsizetype rows = std::min<qsizetype>(table.rowCount(), 2001);
    const auto widestOf = [&](int c) {
        int widest = titles.horizontalAdvance(table.title(c)) + 12;
        for (qsizetype r = 1; r < rows; ++r) {
            widest = std::max(widest, metrics.horizontalAdvance(table.cell(c, r)) + 6);
        }
        return widest;
    };
    for (int c = first; c < first + 4; ++c) {
        textWidths_[size_t(c)] = widestOf(c);
    }
    if (duplicateMode_) {
        // Names after the mark glyph, up to twice the column's set width; longer ones are
        // cut, and the user can widen the column.
        const double scale = logicalDpiX() / 96.0;
        textWidths_[kDupNameColumn] = std::min(widestOf(kDupNameColumn) + qRound(16 * scale),
                                               qRound(2 * kDupWidths[0] * scale));
    }
    // The longest size text may lie beyond the sample.
    if (resultCount_ > 0) {
        qint64 largest = 0;
        for (qsizetype r = 1; r <= resultCount_ && r < table.rowCount(); ++r) {
            largest = std::max<qint64>(largest, table.cellUtf8(first, r).size());
        }
        textWidths_[size_t(first)] =
            std::max(textWidths_[size_t(first)],
                     metrics.horizontalAdvance(QString(int(largest), QLatin1Char('0'))) + 6);
    }
}

void TfrmDup::FormResize() {
    if (!grid_ || grid_->table().columnCount() == 0) {
        return;
    }
    const double scale = logicalDpiX() / 96.0;
    const int* widths = duplicateMode_ ? kDupWidths : kHogWidths;
    const int fixed = duplicateMode_ ? int(std::size(kDupWidths)) : int(std::size(kHogWidths));
    settingWidths_ = true;
    int used = 0;
    for (int c = 0; c < fixed; ++c) {
        const int user = userWidths_[size_t(c)];
        const int w = user > 0 ? user : std::max(qRound(widths[c] * scale), textWidths_[size_t(c)]);
        grid_->setColumnWidth(c, w);
        used += w;
    }
    const int room = grid_->viewport()->width();
    const int user = userWidths_[size_t(fixed)];
    grid_->setColumnWidth(
        fixed, user > 0 ? user : std::max(qRound(kLastColumnMinimum * scale), room - used));
    settingWidths_ = false;
}

}  // namespace dw
