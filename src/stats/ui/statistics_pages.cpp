// The pages of the statistics window that show the tallies of a collection.
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QButtonGroup>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMenu>
#include <QPieSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTime>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "base/sort_grid.h"
#include "base/utility.h"
#include "stats/ui/statistics_charts.h"
#include "stats/ui/statistics_window.h"
#include "widgets/message_boxes.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"
#include "widgets/theme_colors.h"

namespace dw {

namespace {

constexpr double kMB = 1048576.0;

// The age classes from the oldest down, as the date tables list them.
constexpr int kAgeRowsOldestFirst[kAgeBuckets] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
constexpr DateKind kPageDates[3] = {DateKind::Accessed, DateKind::Created, DateKind::Modified};
const char* const kDateTitles[3] = {"Accessed Date", "Created Date", "Modified Date"};
const char* const kDateChartNames[3] = {"Access Date", "Created Date", "Modified Date"};
const char* const kDateNotes[4] = {
    "Note: prior versions of Windows and DOS did not store the file access date.  Files never "
    "recorded as being accessed are probably old files that were converted to Windows 95/98.",
    "Files never recorded as being created are probably old files that were converted to "
    "Windows 95/98.  Note: prior versions of Windows and DOS did not store the file creation "
    "date independent of the last file modification or file write date.",
    "Note: prior versions of Windows and DOS treated the file creation date synonymously with "
    "the last file modification date.  Therefore all files have a file modification date.",
    "This chart combines the Accessed, Created and Modified charts"};
constexpr char kTimeNote[] =
    "Note: Sometimes software vendors use the file modified time to indicate the version number "
    "of a product. For example, a file with the time of 02:10 am would represent version 2.1 of "
    "a certain product.  Note that files with a time of 12:00:00 am are excluded from this "
    "graph.";

StringGrid* makeGrid(QWidget* parent, const char* name, const QStringList& titles) {
    auto* grid = new StringGrid(parent);
    grid->setObjectName(QLatin1String(name));
    grid->table().setColumnCount(int(titles.size()));
    grid->table().setTitles(titles);
    for (int c = 1; c < titles.size(); ++c) {
        grid->setColumnAlignment(c, Qt::AlignRight);
    }
    return grid;
}

// Every column wide enough for its texts.
void fitColumns(StringGrid* grid) {
    for (int c = 0; c < grid->table().columnCount(); ++c) {
        grid->setColumnWidth(c, std::max(grid->sizeHintForColumn(c) + 16, 90));
    }
}

QString thousands(qint64 n) {
    return FormatThousands(n);
}

// A row of view switches; the first is "Listing".
template <size_t N>
QHBoxLayout* switchRow(QWidget* page, std::array<QRadioButton*, N>& buttons,
                       const std::array<const char*, N>& texts, int checked) {
    auto* row = new QHBoxLayout;
    auto* group = new QButtonGroup(page);
    for (size_t i = 0; i < N; ++i) {
        buttons[i] = new QRadioButton(QLatin1String(texts[i]), page);
        group->addButton(buttons[i]);
        row->addWidget(buttons[i]);
    }
    buttons[size_t(checked)]->setChecked(true);
    return row;
}

QToolButton* infoButton(QWidget* page, const QString& text) {
    auto* b = new QToolButton(page);
    b->setText(QStringLiteral("?"));
    b->setToolTip(QStringLiteral("About this page"));
    QObject::connect(b, &QToolButton::clicked, page, [text] { ShowInfo(text); });
    return b;
}

}  // namespace

// ---- Types ---------------------------------------------------------------------------

QWidget* TfrmStatistics::buildTypesPage() {
    auto* page = new QWidget;
    QHBoxLayout* row = switchRow<4>(
        page, rgTypes, {"Listing", "Pie by Size", "Pie by # Files", "Pie by Average Size"}, 1);
    rgTypes[0]->setObjectName(QStringLiteral("rbTypesListing"));
    btSort = new QPushButton(QStringLiteral("&Sort"), page);
    btSort->setObjectName(QStringLiteral("btSort"));
    btSort->setAutoDefault(false);
    row->addStretch();
    row->addWidget(btSort);

    views_[kTypes] = new QStackedWidget(page);
    gridTypes =
        makeGrid(views_[kTypes], "gridTypes",
                 {QStringLiteral("Extension"), QStringLiteral("Type"), QStringLiteral("Size"),
                  QStringLiteral("# Files"), QStringLiteral("Avg File Size")});
    gridTypes->setColumnAlignment(1, Qt::AlignLeft);
    sortTypes = new SortMenu(&gridTypes->table(), kSortMenuStatistics, this);
    auto* menu = new QMenu(btSort);
    sortTypes->addTo(menu);
    btSort->setMenu(menu);
    gridTypes->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(gridTypes, &QWidget::customContextMenuRequested, this,
            [this, menu](const QPoint& at) { menu->exec(gridTypes->viewport()->mapToGlobal(at)); });
    connect(gridTypes, &StringGrid::titleClicked, sortTypes, &SortMenu::chooseColumn);
    // The totals row stays last and in bold.
    gridTypes->setCellStyler([this](qsizetype r, int, CellStyle& style) {
        if (r == gridTypes->table().rowCount() - 1 && r > 1) {
            style.bold = true;
        }
    });
    views_[kTypes]->addWidget(gridTypes);

    auto* chartBox = new QWidget(views_[kTypes]);
    chartTypes = statcharts::makeChartView(chartBox, QStringLiteral("chartTypes"));
    ScrollBar2 = new QScrollBar(Qt::Horizontal, chartBox);
    ScrollBar2->setObjectName(QStringLiteral("ScrollBar2"));
    ScrollBar2->setRange(0, 360);
    ScrollBar2->setToolTip(QStringLiteral("Turns the pie"));
    connect(ScrollBar2, &QScrollBar::valueChanged, this,
            [this](int angle) { statcharts::turnPie(chartTypes->chart(), angle); });
    auto* chartLayout = new QVBoxLayout(chartBox);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(chartTypes, 1);
    chartLayout->addWidget(ScrollBar2);
    views_[kTypes]->addWidget(chartBox);

    for (QRadioButton* rb : rgTypes) {
        connect(rb, &QRadioButton::toggled, this, [this](bool on) {
            if (on) {
                rgTypesClick();
            }
        });
    }
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addWidget(views_[kTypes], 1);
    return page;
}

void TfrmStatistics::doFileTypes() {
    GridTable& table = gridTypes->table();
    table.beginUpdate();
    table.setRowCount(1);
    QList<GridRow> rows;
    for (const ExtensionTable::Row& e : tallies_.extensions.rows()) {
        const QString key = QFile::decodeName(e.key);
        const QString type = e.type.isEmpty() ? QStringLiteral("No extension") : e.type;
        const qint64 average = e.tally.files > 0 ? e.tally.bytes / e.tally.files : 0;
        GridRow row;
        row.cells = {key, type, thousands(e.tally.bytes), thousands(e.tally.files),
                     thousands(average)};
        rows.append(row);
    }
    table.appendRows(rows);
    table.appendRow({});
    table.endUpdate();
    doTotals();
    fitColumns(gridTypes);
}

void TfrmStatistics::doTotals() {
    GridTable& table = gridTypes->table();
    const qsizetype last = table.rowCount() - 1;
    if (last < 1) {
        return;
    }
    qint64 bytes = 0;
    qint64 files = 0;
    for (const ExtensionTable::Row& e : tallies_.extensions.rows()) {
        bytes += e.tally.bytes;
        files += e.tally.files;
    }
    table.setRowCells(
        last, {QString(), QStringLiteral("Totals"), thousands(bytes), thousands(files), QString()});
}

void TfrmStatistics::rgTypesClick() {
    const int view =
        int(std::find(rgTypes.begin(), rgTypes.end(),
                      *std::find_if(rgTypes.begin(), rgTypes.end(),
                                    [](QRadioButton* rb) { return rb->isChecked(); })) -
            rgTypes.begin());
    btSort->setVisible(view == 0);
    views_[kTypes]->setCurrentIndex(view == 0 ? 0 : 1);
    if (view == 0) {
        return;
    }
    // Sort by the pie's column, largest first, and draw the first twelve types; small
    // slices and the types beyond them go into "Other".
    const int item = view + 1;  // "Sort by &Size", "&Number of files", "&Average File Size"
    sortTypes->choose(item);
    const GridTable& table = gridTypes->table();
    const qsizetype entries = std::max<qsizetype>(table.rowCount() - 2, 0);
    // The rows of one type under several extensions (shared libraries as ".1", ".2", ...)
    // make one slice: the pie shows types.
    struct Share {
        QString type;
        double bytes = 0;
        double files = 0;
        double value(int view) const {
            return view == 1 ? bytes : view == 2 ? files : files > 0 ? bytes / files : 0;
        }
    };
    QList<Share> shares;
    QHash<QString, qsizetype> shareOfType;
    for (qsizetype r = 1; r <= entries; ++r) {
        const QString type = table.cell(1, r);
        auto found = shareOfType.constFind(type);
        if (found == shareOfType.constEnd()) {
            found = shareOfType.insert(type, shares.size());
            shares.append({type, 0, 0});
        }
        Share& share = shares[found.value()];
        share.bytes += NumericKey(table.cell(2, r));
        share.files += NumericKey(table.cell(3, r));
    }
    std::stable_sort(shares.begin(), shares.end(), [view](const Share& a, const Share& b) {
        return a.value(view) > b.value(view);
    });
    double whole = 0;
    for (const Share& share : shares) {
        whole += share.value(view);
    }
    QList<statcharts::Slice> slices;
    double other = 0;
    for (qsizetype i = 0; i < shares.size(); ++i) {
        const double value = shares[i].value(view);
        if (i < 12 && value >= 0.05 * whole) {
            slices.append({shares[i].type, value, statcharts::categoryColour(int(i + 1))});
        } else {
            other += value;
        }
    }
    if (other > 0) {
        slices.append({QStringLiteral("Other"), other, QColor(192, 192, 192)});
    }
    static const char* const kTitles[3] = {"File types by size", "File types by number of files",
                                           "File types by average file size"};
    QPieSeries* pie =
        statcharts::setPie(chartTypes->chart(), QLatin1String(kTitles[view - 1]), slices, true);
    connect(pie, &QPieSeries::clicked, this, &TfrmStatistics::pieClick);
    statcharts::turnPie(chartTypes->chart(), ScrollBar2->value());
}

// ---- Sizes ---------------------------------------------------------------------------

QWidget* TfrmStatistics::buildSizesPage() {
    auto* page = new QWidget;
    QHBoxLayout* row = switchRow<3>(
        page, rgSizes, {"Listing", "Chart by Size (in MB)", "Chart by Number of Files"}, 1);
    row->addStretch();
    views_[kSizes] = new QStackedWidget(page);
    gridSizes = makeGrid(views_[kSizes], "gridSizes",
                         {QStringLiteral("File size"), QStringLiteral("Total file size"),
                          QStringLiteral("Number of files")});
    gridSizes->setSelectionMode(QAbstractItemView::NoSelection);
    views_[kSizes]->addWidget(gridSizes);
    chartSizes = statcharts::makeChartView(views_[kSizes], QStringLiteral("chartSizes"));
    views_[kSizes]->addWidget(chartSizes);
    for (QRadioButton* rb : rgSizes) {
        connect(rb, &QRadioButton::toggled, this, [this](bool on) {
            if (on) {
                doFileSizes();
            }
        });
    }
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addWidget(views_[kSizes], 1);
    return page;
}

void TfrmStatistics::fillGridSizes() {
    GridTable& table = gridSizes->table();
    table.beginUpdate();
    table.setRowCount(1);
    for (int k = kSizeBuckets - 1; k >= 0; --k) {
        table.appendRow({QLatin1String(kSizeLabels[k]), thousands(tallies_.sizes[k].bytes),
                         thousands(tallies_.sizes[k].files)});
    }
    table.endUpdate();
    fitColumns(gridSizes);
}

void TfrmStatistics::doFileSizes() {
    const bool listing = rgSizes[0]->isChecked();
    views_[kSizes]->setCurrentIndex(listing ? 0 : 1);
    const bool bySize = rgSizes[1]->isChecked();
    QList<statcharts::Bar> bars;
    for (int k = kSizeBuckets - 1; k >= 0; --k) {
        const FileTally& t = tallies_.sizes[k];
        bars.append({QLatin1String(kSizeLabels[k]),
                     bySize ? double(t.bytes) / kMB : double(t.files),
                     statcharts::categoryColour(k + 1)});
    }
    statcharts::setBars(
        chartSizes->chart(),
        bySize ? QStringLiteral("File Sizes in MB") : QStringLiteral("Number of Files"), bars,
        bySize ? QStringLiteral("MB") : QStringLiteral("Files"), true);
}

// ---- Overhang ------------------------------------------------------------------------

QWidget* TfrmStatistics::buildOverhangPage() {
    auto* page = new QWidget;
    auto* title = new QLabel(QStringLiteral("Cluster overhang for FAT and FAT32 drives"), page);
    QFont f = title->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 3);
    title->setFont(f);

    auto* table = new QGridLayout;
    table->setHorizontalSpacing(14);
    const QStringList heads{QStringLiteral("FAT Partition size"), QStringLiteral("FAT 32 Size"),
                            QStringLiteral("Cluster size"), QStringLiteral("Wasted space"),
                            QString()};
    for (int c = 0; c < heads.size(); ++c) {
        auto* head = new QLabel(heads[c], page);
        QFont hf = head->font();
        hf.setBold(true);
        head->setFont(hf);
        table->addWidget(head, 0, c, c == 3 ? Qt::AlignRight : Qt::AlignLeft);
    }
    const char* fat[5] = {"255 MB", "256 MB - 511 MB", "512 MB - 1023 MB", "1 GB - 2 GB",
                          "2 GB - 4 GB"};
    const char* fat32[5] = {"Less than 8GB", "Less than 16GB", "Less than 32GB", "32GB or more",
                            ""};
    for (int i = 0; i < 5; ++i) {
        table->addWidget(new QLabel(QLatin1String(fat[i]), page), i + 1, 0);
        table->addWidget(new QLabel(QLatin1String(fat32[i]), page), i + 1, 1);
        table->addWidget(new QLabel(QLatin1String(kOverhangLabels[i]), page), i + 1, 2);
        lblOver[i] = new QLabel(page);
        lblOver[i]->setObjectName(QStringLiteral("lblOver%1").arg(i + 1));
        lblOver[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->addWidget(lblOver[i], i + 1, 3);
        imArrow[i] = new QLabel(QStringLiteral("\u25c0 this drive"), page);
        imArrow[i]->setObjectName(QStringLiteral("imArrow%1").arg(i + 1));
        imArrow[i]->setStyleSheet(QStringLiteral("color: %1; font-weight: bold")
                                      .arg(warningTextColor(page->palette()).name()));
        imArrow[i]->hide();
        table->addWidget(imArrow[i], i + 1, 4);
    }
    pnlCluster = new QLabel(
        QStringLiteral("Cluster overhang analysis is not applicable to this drive."), page);
    pnlCluster->setObjectName(QStringLiteral("pnlCluster"));
    pnlCluster->setStyleSheet(
        QStringLiteral("color: %1").arg(warningTextColor(page->palette()).name()));
    pnlCluster->hide();

    pnlOverhang = new QWidget(page);
    pnlOverhang->setObjectName(QStringLiteral("pnlOverhang"));
    lblSize = new QLabel(pnlOverhang);
    lblSize->setObjectName(QStringLiteral("lblSize"));
    lblNumFiles = new QLabel(pnlOverhang);
    lblNumFiles->setObjectName(QStringLiteral("lblNumFiles"));
    lblLbl = new QLabel(pnlOverhang);
    lblLbl->setObjectName(QStringLiteral("lblLbl"));
    lblAllocated = new QLabel(pnlOverhang);
    lblAllocated->setObjectName(QStringLiteral("lblAllocated"));
    lblAllocated->setWordWrap(true);
    auto* figures = new QVBoxLayout(pnlOverhang);
    figures->setContentsMargins(0, 0, 0, 0);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(new QLabel(QStringLiteral("Size of the files:"), pnlOverhang));
    sizeRow->addWidget(lblSize);
    sizeRow->addStretch();
    figures->addLayout(sizeRow);
    figures->addWidget(lblNumFiles);
    figures->addWidget(lblLbl);
    figures->addWidget(lblAllocated);

    auto* explanation = new QLabel(
        QStringLiteral(
            "A file takes whole clusters (blocks) on the disk, so the end of its last cluster "
            "is usually wasted: its cluster overhang. The rows show how much space the files "
            "counted would waste with each cluster size; the arrow marks the cluster size "
            "this drive really uses, the other rows are hypothetical. Small files waste "
            "relatively more, and smaller clusters waste less. File systems that pack file "
            "tails, compress or leave holes in sparse files take a different amount: the "
            "space the files really take on the disk is shown with the figures above."),
        page);
    explanation->setWordWrap(true);

    chartOverhang = statcharts::makeChartView(page, QStringLiteral("chartOverhang"));

    auto* left = new QVBoxLayout;
    left->addWidget(title);
    left->addLayout(table);
    left->addWidget(pnlCluster);
    left->addSpacing(10);
    left->addWidget(pnlOverhang);
    left->addSpacing(10);
    left->addWidget(explanation);
    left->addStretch();
    auto* layout = new QHBoxLayout(page);
    auto* leftBox = new QWidget(page);
    leftBox->setLayout(left);
    leftBox->setMinimumWidth(560);
    layout->addWidget(leftBox, 1);
    layout->addWidget(chartOverhang, 1);
    return page;
}

namespace {

// KB below 1 MiB, else MB, as the page writes sizes.
QString kbOrMb(qint64 bytes, bool inMB) {
    return inMB ? FormatFloatThousands(double(bytes) / kMB) + QStringLiteral(" MB")
                : FormatFloatThousands(double(bytes) / 1024.0) + QStringLiteral(" KB");
}

}  // namespace

void TfrmStatistics::doOverHang() {
    const qint64 total = tallies_.totalBytes();
    if (total == 0) {
        OvcNotebook1->setTabEnabled(kOverhang, false);
        return;
    }
    for (int i = 0; i < kOverhangSizes; ++i) {
        lblOver[i]->setText(FormatFloatThousands(double(tallies_.overhang[i])));
    }
    drawClusterArrow();
    const bool inMB = total >= 1048576;
    lblSize->setText(kbOrMb(total, inMB));
    lblNumFiles->setText(QStringLiteral("Number of files scanned: ") + thousands(tallies_.counted));
    const int row = overhangRowOf(clusterSize_);
    lblLbl->setVisible(row >= 0);
    if (row >= 0) {
        lblLbl->setText(QStringLiteral("Actual space used ") +
                        kbOrMb(total + tallies_.overhang[row], inMB));
    }
    lblAllocated->setText(QStringLiteral("Space the files take on the disk (their allocated "
                                         "blocks): ") +
                          kbOrMb(tallies_.allocated, tallies_.allocated >= 1048576));
    QList<statcharts::Bar> bars;
    for (int i = kOverhangSizes - 1; i >= 0; --i) {
        const double over = double(tallies_.overhang[i]);
        bars.append({QLatin1String(kOverhangLabels[i]),
                     std::round(over * 100.0 / (double(total) + over)), QColor(220, 0, 0)});
    }
    statcharts::setBars(chartOverhang->chart(), QStringLiteral("Percent wasted"), bars,
                        QStringLiteral("%"), false, true, QStringLiteral("@value %"));
    pnlOverhang->show();
}

void TfrmStatistics::drawClusterArrow() {
    const int row = overhangRowOf(clusterSize_);
    for (int i = 0; i < kOverhangSizes; ++i) {
        imArrow[i]->setVisible(i == row);
    }
    pnlCluster->setVisible(row < 0);
}

// ---- Access, Created, Modified, Combined ---------------------------------------------

QWidget* TfrmStatistics::buildDatePage(int which) {
    auto* page = new QWidget;
    const int page_ = kAccess + which;
    QHBoxLayout* row = switchRow<3>(
        page, rgDates[which], {"Listing", "Chart by Size (in MB)", "Chart by Number of Files"}, 1);
    row->addStretch();
    row->addWidget(infoButton(page, QLatin1String(kDateNotes[which])));
    views_[page_] = new QStackedWidget(page);
    gridDates[which] =
        makeGrid(views_[page_],
                 which == 0   ? "gridAccess"
                 : which == 1 ? "gridCreated"
                              : "gridModified",
                 {QLatin1String(kDateTitles[which]), QStringLiteral("Total file size"),
                  QStringLiteral("Number of files")});
    views_[page_]->addWidget(gridDates[which]);
    static const char* const kChartNames[3] = {"chartAccess", "chartCreated", "chartModified"};
    chartDates[which] = statcharts::makeChartView(views_[page_], QLatin1String(kChartNames[which]));
    views_[page_]->addWidget(chartDates[which]);
    for (QRadioButton* rb : rgDates[which]) {
        connect(rb, &QRadioButton::toggled, this, [this, page_](bool on) {
            if (on) {
                rgAccessClick(page_);
            }
        });
    }
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addWidget(views_[page_], 1);
    return page;
}

QWidget* TfrmStatistics::buildCombinedPage() {
    auto* page = new QWidget;
    QHBoxLayout* row = switchRow<3>(
        page, rgDates[3], {"Listing", "Chart by Size (in MB)", "Chart by Number of Files"}, 1);
    row->addStretch();
    row->addWidget(infoButton(page, QLatin1String(kDateNotes[3])));
    views_[kCombined] = new QStackedWidget(page);
    gridCombined = makeGrid(views_[kCombined], "gridCombined",
                            {QStringLiteral("Combined dates"), QStringLiteral("Access Size"),
                             QStringLiteral("Access # files"), QStringLiteral("Create Size"),
                             QStringLiteral("Create # files"), QStringLiteral("Modify Size"),
                             QStringLiteral("Modify # files")});
    views_[kCombined]->addWidget(gridCombined);
    chartCombined = statcharts::makeChartView(views_[kCombined], QStringLiteral("chartCombined"));
    chartCombined->chart()->legend()->show();
    chartCombined->chart()->legend()->setAlignment(Qt::AlignTop);
    views_[kCombined]->addWidget(chartCombined);
    for (QRadioButton* rb : rgDates[3]) {
        connect(rb, &QRadioButton::toggled, this, [this](bool on) {
            if (on) {
                rgAccessClick(kCombined);
            }
        });
    }
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addWidget(views_[kCombined], 1);
    return page;
}

void TfrmStatistics::fillGridDates(int which) {
    GridTable& table = gridDates[which]->table();
    const auto& ages = tallies_.agesOf(kPageDates[which]);
    table.beginUpdate();
    table.setRowCount(1);
    for (int k : kAgeRowsOldestFirst) {
        table.appendRow(
            {QLatin1String(kAgeLabels[k]), thousands(ages[k].bytes), thousands(ages[k].files)});
    }
    table.endUpdate();
    fitColumns(gridDates[which]);
}

void TfrmStatistics::fillCombinedGridDates() {
    GridTable& table = gridCombined->table();
    table.beginUpdate();
    table.setRowCount(1);
    for (int k : kAgeRowsOldestFirst) {
        QStringList cells{QLatin1String(kAgeLabels[k])};
        for (DateKind kind : kPageDates) {
            const FileTally& t = tallies_.agesOf(kind)[k];
            cells << thousands(t.bytes) << thousands(t.files);
        }
        table.appendRow(cells);
    }
    table.endUpdate();
    fitColumns(gridCombined);
}

void TfrmStatistics::doFileAges() {
    for (int which = 0; which < 4; ++which) {
        views_[kAccess + which]->setCurrentIndex(rgDates[which][0]->isChecked() ? 0 : 1);
    }
    for (int which = 0; which < 3; ++which) {
        const bool bySize = !rgDates[which][2]->isChecked();
        const auto& ages = tallies_.agesOf(kPageDates[which]);
        QList<statcharts::Bar> bars;
        for (int k : kAgeRowsOldestFirst) {
            bars.append({QLatin1String(kAgeLabels[k]),
                         bySize ? double(ages[k].bytes) / kMB : double(ages[k].files),
                         statcharts::categoryColour(k + 1)});
        }
        statcharts::setBars(
            chartDates[which]->chart(),
            QLatin1String(kDateChartNames[which]) + (bySize ? QStringLiteral(" (file sizes in MB)")
                                                            : QStringLiteral(" (Number of files)")),
            bars, bySize ? QStringLiteral("MB") : QStringLiteral("Files"), true);
    }

    const bool bySize = !rgDates[3][2]->isChecked();
    QChart* chart = chartCombined->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    chart->setTitle(QStringLiteral("Combination Access/Created/Modified Chart"));
    auto* series = new QHorizontalBarSeries;
    const std::pair<const char*, QColor> sets[3] = {{"Accessed", statcharts::kAccessColour},
                                                    {"Created", statcharts::kCreateColour},
                                                    {"Modified", statcharts::kModifyColour}};
    QStringList categories;
    for (int i = kAgeBuckets - 1; i >= 0; --i) {
        categories << QString::fromLatin1(kAgeLabels[kAgeRowsOldestFirst[i]]).toHtmlEscaped();
    }
    double top = 0;
    for (int which = 0; which < 3; ++which) {
        auto* set = new QBarSet(QLatin1String(sets[which].first));
        set->setColor(sets[which].second);
        set->setBorderColor(sets[which].second);
        const auto& ages = tallies_.agesOf(kPageDates[which]);
        for (int i = kAgeBuckets - 1; i >= 0; --i) {
            const int k = kAgeRowsOldestFirst[i];
            const double v = bySize ? double(ages[k].bytes) / kMB : double(ages[k].files);
            top = std::max(top, v);
            *set << v;
        }
        series->append(set);
    }
    chart->addSeries(series);
    auto* axisY = new QBarCategoryAxis;
    axisY->append(categories);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisY);
    auto* axisX = new QValueAxis;
    axisX->setTitleText(bySize ? QStringLiteral("MB") : QStringLiteral("Files"));
    axisX->setRange(0, top > 0 ? top * 1.08 : 1);
    axisX->applyNiceNumbers();
    axisX->setLabelFormat(statcharts::axisLabelFormat(axisX->max()));
    chart->addAxis(axisX, Qt::AlignBottom);
    series->attachAxis(axisX);
    chart->legend()->show();
}

void TfrmStatistics::rgAccessClick(int page) {
    Q_UNUSED(page);
    doFileAges();
}

// ---- Attribute -----------------------------------------------------------------------

QWidget* TfrmStatistics::buildAttributePage() {
    auto* page = new QWidget;
    gridAttr = makeGrid(
        page, "gridAttr",
        {QStringLiteral("Attribute"), QStringLiteral("# Files"), QStringLiteral("File Sizes")});
    gridAttr->setSelectionMode(QAbstractItemView::NoSelection);
    gridAttr->setMaximumHeight(140);
    chartAttrFiles = statcharts::makeChartView(page, QStringLiteral("chartAttrFiles"));
    chartAttrSize = statcharts::makeChartView(page, QStringLiteral("chartAttrSize"));
    auto* note = new QLabel(
        QStringLiteral("Note it is possible that some files may have more than one attribute "
                       "set.  For example many system files are also hidden."),
        page);
    note->setWordWrap(true);
    auto* meanings = new QLabel(
        QStringLiteral("Read-only: the owner may not write the file.  Hidden: its name begins "
                       "with a dot.  System: a symbolic link, device, FIFO or socket.  Linux "
                       "file systems keep no archive attribute."),
        page);
    meanings->setWordWrap(true);
    auto* charts = new QHBoxLayout;
    charts->addWidget(chartAttrFiles);
    charts->addWidget(chartAttrSize);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(gridAttr);
    layout->addLayout(charts, 1);
    layout->addWidget(note);
    layout->addWidget(meanings);
    return page;
}

void TfrmStatistics::doFileAttrs() {
    // Rows top to bottom: hidden, read-only, system, archive.
    static constexpr int kRows[kAttributeKinds] = {1, 0, 2, 3};
    GridTable& table = gridAttr->table();
    table.beginUpdate();
    table.setRowCount(1);
    qint64 files = 0;
    qint64 bytes = 0;
    for (int a : kRows) {
        const FileTally& t = tallies_.attributes[a];
        table.appendRow(
            {QLatin1String(kAttributeLabels[a]), thousands(t.files), thousands(t.bytes)});
        files += t.files;
        bytes += t.bytes;
    }
    table.endUpdate();
    fitColumns(gridAttr);
    QList<statcharts::Bar> byFiles;
    QList<statcharts::Bar> bySize;
    for (int a : kRows) {
        const FileTally& t = tallies_.attributes[a];
        if (files > 0) {
            byFiles.append({QLatin1String(kAttributeLabels[a]),
                            std::round(double(t.files) * 10000.0 / double(files)) / 100.0,
                            QColor(220, 0, 0)});
        }
        if (bytes > 0) {
            bySize.append({QLatin1String(kAttributeLabels[a]),
                           std::round(double(t.bytes) * 10000.0 / double(bytes)) / 100.0,
                           QColor(0, 0, 255)});
        }
    }
    statcharts::setBars(chartAttrFiles->chart(), QStringLiteral("% of total # files"), byFiles,
                        QStringLiteral("%"), false, true, QStringLiteral("@value %"));
    statcharts::setBars(chartAttrSize->chart(), QStringLiteral("% of total size"), bySize,
                        QStringLiteral("%"), false, true, QStringLiteral("@value %"));
}

// ---- Time ----------------------------------------------------------------------------

QWidget* TfrmStatistics::buildTimePage() {
    auto* page = new QWidget;
    chartTime = statcharts::makeChartView(page, QStringLiteral("chartTime"));
    chartTime->chart()->legend()->show();
    chartTime->chart()->legend()->setAlignment(Qt::AlignTop);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(infoButton(page, QLatin1String(kTimeNote)));
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addWidget(chartTime, 1);
    return page;
}

void TfrmStatistics::doFileTimes() {
    QChart* chart = chartTime->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    chart->setTitle(QStringLiteral("Time of day"));
    const std::tuple<const char*, DateKind, QColor> lines[3] = {
        {"Modified time", DateKind::Modified, statcharts::kModifyColour},
        {"Created time", DateKind::Created, statcharts::kCreateColour},
        {"Access Time", DateKind::Accessed, statcharts::kAccessColour}};
    auto* axisX = new QCategoryAxis;
    axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (int k = 0; k < kHalfHours; k += 4) {
        axisX->append(QLocale().toString(QTime(k / 2, 30 * (k % 2)), QLocale::ShortFormat), k);
    }
    axisX->setRange(0, kHalfHours - 1);
    axisX->setTitleText(QStringLiteral("Time of day file was accessed/modified/created"));
    auto* axisY = new QValueAxis;
    axisY->setTitleText(QStringLiteral("Number of files"));
    axisY->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    qint64 top = 0;
    for (const auto& [name, kind, colour] : lines) {
        const auto& slots_ = tallies_.halfHoursOf(kind);
        qint64 sum = 0;
        for (qint64 n : slots_) {
            sum += n;
            top = std::max(top, n);
        }
        if (kind == DateKind::Accessed && sum == 0) {
            continue;
        }
        auto* series = new QLineSeries;
        series->setName(QLatin1String(name));
        QPen pen(colour);
        pen.setWidth(2);
        series->setPen(pen);
        for (int k = 0; k < kHalfHours; ++k) {
            series->append(k, double(slots_[k]));
        }
        chart->addSeries(series);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
    }
    axisY->setRange(0, top > 0 ? double(top) * 1.1 : 1);
    axisY->applyNiceNumbers();
}

// ---- after a collection --------------------------------------------------------------

void TfrmStatistics::clearVariables() {
    tallies_ = StatTallies();
    gridTypes->table().setRowCount(1);
}

void TfrmStatistics::rebuildPages() {
    if (overhangEnabled_) {
        doOverHang();
    }
    doFileTypes();
    fillGridSizes();
    doFileSizes();
    doFileAttrs();
    for (int which = 0; which < 3; ++which) {
        fillGridDates(which);
    }
    fillCombinedGridDates();
    doFileTimes();
    doFileAges();
    // The view as chosen (a pie sorts the table by its column), then the table sorted
    // by extension.
    rgTypesClick();
    sortTypes->choose(0);
}

}  // namespace dw
