#include "stats/ui/statistics_window.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QPainter>
#include <QPieSeries>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedBarSeries>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>

#include "base/utility.h"
#include "platform/event_pump.h"
#include "platform/prompter.h"
#include "platform/volumes.h"
#include "safety/clean_totals.h"
#include "scan/drive_list.h"
#include "scan/ui/drive_check_list.h"
#include "stats/ui/statistics_charts.h"
#include "stats/ui/which_drive_dialog.h"
#include "widgets/elided_label.h"
#include "widgets/message_boxes.h"
#include "widgets/string_grid.h"
#include "widgets/theme_colors.h"
#include "widgets/wait_cursor.h"
#include "widgets/window_walk_hooks.h"

namespace dw {

namespace {

const char* const kTabTitles[TfrmStatistics::kPageCount] = {
    "Space",   "Deleted",  "Types",    "Sizes",     "Overhang", "Access",
    "Created", "Modified", "Combined", "Attribute", "Time"};

constexpr char kNotCollectedText[] = "Statistics haven't been collected yet!";
constexpr char kCollectingText[] =
    "Collecting statistics ... standby.  Press Esc or click Abort to stop.";

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// A mount point or folder as the charts label it.
QString driveLabel(const DriveEntry& e) {
    return QFile::decodeName(e.startFolder);
}

}  // namespace

// The window's side of the walk: each file into the tallies, the folder as progress
// every third file (shown when events run), and the window's events on the walk's clock.
class TfrmStatistics::CollectHooks final : public WindowWalkHooks<WalkHooks> {
public:
    CollectHooks(TfrmStatistics& window, StatCollector& collector, int intervalMs)
        : WindowWalkHooks(intervalMs, [this] { pump(); }), window_(window), collector_(collector) {}

    void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
        if (collector_.tallies().processed % 3 == 0) {
            progress_ = folder.text;
        }
        collector_.addFile(entry);
    }
    void onUnopened(const DriveEntry&, const QString& message) override {
        ShowBox(platform::MessageKind::Error, message);
    }
    void onFolderEntered(const WalkFolder& folder) override {
        if (folder.depth == 0) {
            // Progress names the chosen entry whose walk this is.
            for (const DriveEntry& entry : window_.drives_) {
                if (StartFolderPath(entry.startFolder) == folder.path) {
                    window_.currentDrive_ = entry.text;
                    break;
                }
            }
        }
    }

private:
    void pump() {
        if (!progress_.isEmpty()) {
            window_.setStatus(QStringLiteral("Processing drive ") + window_.currentDrive_ +
                              QStringLiteral(" ... standby : ") + progress_);
            progress_.clear();
        }
        platform::pumpEvents();
    }

    TfrmStatistics& window_;
    StatCollector& collector_;
    QString progress_;
};

TfrmStatistics::TfrmStatistics(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowFlag(Qt::WindowMinMaxButtonsHint);
    setModal(false);
    buildWindow();
    // FormCreate: the Space page, nothing collected, the drives of this machine.
    setWindowTitle(QStringLiteral("File Statistics Not Yet Collected"));
    FillDriveCheckList(*pckStatDrive, kStatisticsDriveKinds, false);
    OvcNotebook1->setCurrentIndex(kSpace);
    resize(980, 700);
}

TfrmStatistics::~TfrmStatistics() = default;

void TfrmStatistics::buildWindow() {
    OvcNotebook1 = new QTabWidget(this);
    OvcNotebook1->setObjectName(QStringLiteral("OvcNotebook1"));
    QWidget* pages[kPageCount] = {buildSpacePage(),     buildDeletedPage(),  buildTypesPage(),
                                  buildSizesPage(),     buildOverhangPage(), buildDatePage(0),
                                  buildDatePage(1),     buildDatePage(2),    buildCombinedPage(),
                                  buildAttributePage(), buildTimePage()};
    for (int i = 0; i < kPageCount; ++i) {
        OvcNotebook1->addTab(pages[i], QLatin1String(kTabTitles[i]));
    }
    connect(OvcNotebook1, &QTabWidget::currentChanged, this,
            &TfrmStatistics::OvcNotebook1PageChanged);

    pnlNotCollected_ = new QFrame(OvcNotebook1);
    pnlNotCollected_->setObjectName(QStringLiteral("pnlNotCollected"));
    pnlNotCollected_->setAutoFillBackground(true);
    pnlNotCollected_->setFrameShape(QFrame::StyledPanel);
    lblNotCollected_ = new QLabel(QLatin1String(kNotCollectedText), pnlNotCollected_);
    lblNotCollected_->setAlignment(Qt::AlignCenter);
    lblNotCollected_->setWordWrap(true);
    QFont big = lblNotCollected_->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    lblNotCollected_->setFont(big);
    btAbort_ = makeButton(pnlNotCollected_, "btAbort", QStringLiteral("Abort"));
    btAbort_->hide();
    connect(btAbort_, &QPushButton::clicked, this, &TfrmStatistics::btAbortClick);
    auto* panelLayout = new QVBoxLayout(pnlNotCollected_);
    panelLayout->addStretch();
    panelLayout->addWidget(lblNotCollected_);
    panelLayout->addWidget(btAbort_, 0, Qt::AlignHCenter);
    panelLayout->addStretch();

    btOK = makeButton(this, "btOK", QStringLiteral("&Collect statistics"));
    btOK->setDefault(true);
    btPrint = makeButton(this, "btPrint", QStringLiteral("&Print page"));
    btCancel = makeButton(this, "btCancel", QStringLiteral("Close"));
    connect(btOK, &QPushButton::clicked, this, &TfrmStatistics::btOKClick);
    connect(btPrint, &QPushButton::clicked, this, [this] { btPrintClick(); });
    connect(btCancel, &QPushButton::clicked, this, &TfrmStatistics::btCancelClick);
    pnlStatus = new ElidedLabel(this);
    pnlStatus->setObjectName(QStringLiteral("pnlStatus"));
    pnlStatus->setMinimumWidth(100);
    pnlStatus->setFrameShape(QFrame::StyledPanel);
    pnlStatus->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btOK);
    buttons->addWidget(btPrint);
    buttons->addStretch();
    buttons->addWidget(btCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 4);
    layout->addWidget(OvcNotebook1, 1);
    layout->addLayout(buttons);
    layout->addWidget(pnlStatus);

    Timer1 = new QTimer(this);
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, &TfrmStatistics::Timer1Timer);
    Timer2 = new QTimer(this);
    Timer2->setInterval(50);
    connect(Timer2, &QTimer::timeout, this, &TfrmStatistics::Timer2Timer);
}

// ---- Space ---------------------------------------------------------------------------

QWidget* TfrmStatistics::buildSpacePage() {
    auto* page = new QWidget;
    pckStatDrive = new DriveCheckList(page);
    pckStatDrive->setObjectName(QStringLiteral("pckStatDrive"));
    connect(pckStatDrive, &DriveCheckList::checksChanged, this, &TfrmStatistics::doDiskSize);
    cbTotal = new QCheckBox(QStringLiteral("Show Cumulative Total"), page);
    cbTotal->setObjectName(QStringLiteral("cbTotal"));
    cbTotal->setChecked(true);
    connect(cbTotal, &QCheckBox::toggled, this, &TfrmStatistics::doDiskSize);
    rbSpaceBar = new QRadioButton(QStringLiteral("Bar - totals"), page);
    rbSpaceBar->setObjectName(QStringLiteral("rbSpaceBar"));
    rbSpacePie = new QRadioButton(QStringLiteral("Pie - percent"), page);
    rbSpacePie->setObjectName(QStringLiteral("rbSpacePie"));
    rbSpaceBar->setChecked(true);
    auto* group = new QButtonGroup(page);
    group->addButton(rbSpaceBar);
    group->addButton(rbSpacePie);
    connect(rbSpacePie, &QRadioButton::toggled, this, &TfrmStatistics::rgSpaceClick);

    auto* figures = new QGridLayout;
    spaceFigures_ = new QWidget(page);
    figures->setContentsMargins(0, 0, 0, 0);
    spaceFigures_->setLayout(figures);
    lblCapacity = new QLabel(page);
    lblFree = new QLabel(page);
    lblUsed = new QLabel(page);
    lblUnit = new QLabel(page);
    for (QLabel* l : {lblCapacity, lblFree, lblUsed}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    lblCapacity->setObjectName(QStringLiteral("lblCapacity"));
    lblFree->setObjectName(QStringLiteral("lblFree"));
    lblUsed->setObjectName(QStringLiteral("lblUsed"));
    figures->addWidget(new QLabel(QStringLiteral("Total Capacity:"), page), 0, 0);
    figures->addWidget(lblCapacity, 0, 1);
    figures->addWidget(lblUnit, 0, 2);
    figures->addWidget(new QLabel(QStringLiteral("Free Space:"), page), 1, 0);
    figures->addWidget(lblFree, 1, 1, 1, 2);
    figures->addWidget(new QLabel(QStringLiteral("Used Space:"), page), 2, 0);
    figures->addWidget(lblUsed, 2, 1, 1, 2);

    auto* left = new QVBoxLayout;
    auto* drivesLabel = new QLabel(QStringLiteral("Drives:"), page);
    connect(rbSpacePie, &QRadioButton::toggled, drivesLabel, &QWidget::setHidden);
    left->addWidget(drivesLabel);
    left->addWidget(pckStatDrive, 1);
    left->addWidget(cbTotal);
    left->addSpacing(8);
    left->addWidget(rbSpaceBar);
    left->addWidget(rbSpacePie);
    left->addSpacing(8);
    left->addWidget(spaceFigures_);
    left->addStretch();

    views_[kSpace] = new QStackedWidget(page);
    chartSpace = statcharts::makeChartView(views_[kSpace], QStringLiteral("chartSpace"));
    chartSpace->chart()->legend()->setAlignment(Qt::AlignBottom);
    views_[kSpace]->addWidget(chartSpace);

    pnlPies = new QWidget(views_[kSpace]);
    pnlPies->setObjectName(QStringLiteral("pnlPies"));
    auto* pieGrid = new QGridLayout;
    pieGrid->setSpacing(2);
    for (int i = 0; i < 12; ++i) {
        QChartView* pie = statcharts::makeChartView(pnlPies, QStringLiteral("pie%1").arg(i + 1));
        pie->setMinimumSize(150, 130);
        QFont f = pie->chart()->titleFont();
        f.setPointSize(qMax(7, f.pointSize() - 3));
        pie->chart()->setTitleFont(f);
        pies.append(pie);
        pieGrid->addWidget(pie, i / 4, i % 4);
    }
    ScrollBar1 = new QScrollBar(Qt::Horizontal, pnlPies);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setRange(0, 360);
    ScrollBar1->setToolTip(QStringLiteral("Turns the pies; click a pie to start or stop them"));
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TfrmStatistics::ScrollBar1Change);
    auto* pieLayout = new QVBoxLayout(pnlPies);
    pieLayout->setContentsMargins(0, 0, 0, 0);
    pieLayout->addLayout(pieGrid, 1);
    pieLayout->addWidget(ScrollBar1);
    views_[kSpace]->addWidget(pnlPies);

    auto* layout = new QHBoxLayout(page);
    auto* leftBox = new QWidget(page);
    leftBox->setLayout(left);
    leftBox->setFixedWidth(250);
    layout->addWidget(leftBox);
    layout->addWidget(views_[kSpace], 1);
    return page;
}

void TfrmStatistics::setSpaceDrives(const QList<DriveEntry>& entries) {
    pckStatDrive->setEntries(entries);
    doDiskSize();
}

void TfrmStatistics::doDiskSize() {
    if (drawingSpace_) {
        return;
    }
    drawingSpace_ = true;
    struct Drive {
        QString label;
        qint64 total;
        qint64 free;
        qint64 reserved;
    };
    QList<Drive> drives;
    qint64 sumTotal = 0;
    qint64 sumFree = 0;
    qint64 sumReserved = 0;
    for (const DriveEntry& e : pckStatDrive->checkedEntries()) {
        if (!PathDriveReady(e)) {
            continue;
        }
        const auto space = platform::driveSpace(e.startFolder);
        if (!space) {
            continue;
        }
        drives.append({driveLabel(e), space->total, space->free, space->reserved});
        sumTotal += space->total;
        sumFree += space->free;
        sumReserved += space->reserved;
    }
    spaceDrivesShown_ = int(drives.size());
    // All bars in the unit of the sums, so they share the axis they are read on.
    const bool inMB = sumTotal / 1024 >= 10000;
    const double unit = inMB ? 1048576.0 : 1024.0;
    const QString unitText = inMB ? QStringLiteral("MB") : QStringLiteral("KB");

    QChart* chart = chartSpace->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    auto* used = new QBarSet(QStringLiteral("Used"));
    used->setColor(statcharts::kUsedColour);
    auto* free = new QBarSet(QStringLiteral("Free"));
    free->setColor(statcharts::kFreeColour);
    // The blocks kept for root are neither the user's free space nor in use: a part of
    // their own, shown only where a volume keeps some.
    auto* reserved = new QBarSet(QStringLiteral("Reserved for root"));
    reserved->setColor(statcharts::kReservedColour);
    QStringList categories;
    for (const Drive& d : drives) {
        *used << double(d.total - d.free - d.reserved) / unit;
        *free << double(d.free) / unit;
        *reserved << double(d.reserved) / unit;
        categories << d.label;
    }
    if (cbTotal->isChecked() && drives.size() > 1 &&
        std::llround(double(sumFree) / unit) != std::llround(double(drives.last().free) / unit)) {
        *used << double(sumTotal - sumFree - sumReserved) / unit;
        *free << double(sumFree) / unit;
        *reserved << double(sumReserved) / unit;
        categories << QStringLiteral("Total");
    }
    auto* series = new QStackedBarSeries;
    series->append(used);
    series->append(free);
    if (sumReserved > 0) {
        series->append(reserved);
    } else {
        delete reserved;
    }
    chart->addSeries(series);
    auto* axisX = new QBarCategoryAxis;
    axisX->append(categories);
    chart->addAxis(axisX, Qt::AlignBottom);
    series->attachAxis(axisX);
    auto* axisY = new QValueAxis;
    // Grouped as every other figure of the program ("237,171 MB"): the format itself
    // cannot group, the chart's locale can.
    chart->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    chart->setLocalizeNumbers(true);
    axisY->setLabelFormat(QStringLiteral("%.0f ") + unitText);
    axisY->setTitleText(unitText);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisY);
    chart->setTitle(QStringLiteral("Capacity and free space"));
    chart->legend()->show();

    const bool any = sumTotal > 0;
    views_[kSpace]->setVisible(any);
    spaceFigures_->setVisible(any);
    if (any) {
        const qint64 freeUnits = std::llround(double(sumFree) / unit);
        const qint64 usedUnits = std::llround(double(sumTotal - sumFree - sumReserved) / unit);
        lblUnit->setText(unitText);
        lblCapacity->setText(FormatThousands(qint64(double(sumTotal) / unit)));
        lblFree->setText(FormatThousands(freeUnits) + QLatin1Char(' ') + unitText);
        lblUsed->setText(FormatThousands(usedUnits) + QLatin1Char(' ') + unitText);
        // Red marks a drive that is nearly full: under a tenth of it free.
        const bool low = sumFree * 10 < sumTotal;
        lblFree->setStyleSheet(low ? QStringLiteral("color: %1; font-weight: bold")
                                         .arg(warningTextColor(palette()).name())
                                   : QString());
    }
    drawingSpace_ = false;
    rgSpaceClick();
}

void TfrmStatistics::rgSpaceClick() {
    const bool pie = rbSpacePie->isChecked();
    pckStatDrive->setVisible(!pie);
    cbTotal->setVisible(!pie);
    views_[kSpace]->setCurrentIndex(pie ? 1 : 0);
    if (pie) {
        doPieCharts();
        Timer1->stop();
        if (!collecting_) {
            Timer2->start();
        }
    } else {
        Timer2->stop();
        barDepth_ = 1;
        if (spaceDrivesShown_ > 0 && OvcNotebook1->currentIndex() == kSpace) {
            Timer1->start();
        }
        Timer1Timer();
    }
}

void TfrmStatistics::Timer1Timer() {
    int step = 2;
    int limit = 10;
    if (spaceDrivesShown_ <= 2) {
        step = 6;
        limit = 60;
    } else if (spaceDrivesShown_ <= 4) {
        step = 3;
        limit = 30;
    } else if (spaceDrivesShown_ <= 6) {
        limit = 20;
    }
    // Qt Charts draws flat bars: the growth is in their width, from thin to full.
    for (QAbstractSeries* s : chartSpace->chart()->series()) {
        if (auto* bars = qobject_cast<QAbstractBarSeries*>(s)) {
            bars->setBarWidth(0.15 + 0.6 * qMin(barDepth_, limit) / double(limit));
        }
    }
    if (barDepth_ >= limit || OvcNotebook1->currentIndex() != kSpace) {
        Timer1->stop();
        return;
    }
    barDepth_ += step;
}

namespace {

QString freeText(qint64 free, qint64 total) {
    const double percent = total > 0 ? double(free) * 100.0 / double(total) : 0.0;
    return QLocale().toString(percent, 'f', 2).chopped(1) + QStringLiteral("% free");
}

}  // namespace

void TfrmStatistics::doPieCharts() {
    qint64 sumTotal = 0;
    qint64 sumFree = 0;
    qint64 sumReserved = 0;
    int shown = 0;
    for (const DriveEntry& e : pckStatDrive->entries()) {
        if (shown == 11) {
            break;
        }
        if (!PathDriveReady(e)) {
            continue;
        }
        const auto space = platform::driveSpace(e.startFolder);
        if (!space) {
            continue;
        }
        sumTotal += space->total;
        sumFree += space->free;
        sumReserved += space->reserved;
        QPieSeries* pie = statcharts::setPie(
            pies[shown]->chart(),
            driveLabel(e) + QStringLiteral("  ") + freeText(space->free, space->total),
            {{QStringLiteral("Used"), double(space->total - space->free - space->reserved),
              statcharts::kUsedColour},
             {QStringLiteral("Free"), double(space->free), statcharts::kFreeColour},
             {QStringLiteral("Reserved for root"), double(space->reserved),
              statcharts::kReservedColour}},
            false, false);
        connect(pie, &QPieSeries::clicked, this, &TfrmStatistics::pieClick);
        pies[shown]->show();
        ++shown;
    }
    for (int i = shown; i < 11; ++i) {
        pies[i]->hide();
    }
    // The total follows the drives' pies, four to a row.
    if (auto* grid = pnlPies->findChild<QGridLayout*>()) {
        for (QChartView* pie : pies) {
            grid->removeWidget(pie);
        }
        for (int i = 0; i < shown; ++i) {
            grid->addWidget(pies[i], i / 4, i % 4);
        }
        grid->addWidget(pies[11], shown / 4, shown % 4);
    }
    QPieSeries* total = statcharts::setPie(
        pies[11]->chart(), QStringLiteral("TOTAL  ") + freeText(sumFree, sumTotal),
        {{QStringLiteral("Used"), double(sumTotal - sumFree - sumReserved),
          statcharts::kUsedColour},
         {QStringLiteral("Free"), double(sumFree), statcharts::kFreeColour},
         {QStringLiteral("Reserved for root"), double(sumReserved), statcharts::kReservedColour}},
        false, false);
    connect(total, &QPieSeries::clicked, this, &TfrmStatistics::pieClick);
    pies[11]->chart()->legend()->show();
    pies[11]->chart()->legend()->setAlignment(Qt::AlignBottom);
}

void TfrmStatistics::Timer2Timer() {
    if (OvcNotebook1->currentIndex() == kSpace && rbSpacePie->isChecked()) {
        totalAngle_ = std::fmod(totalAngle_ + 2, 360);
        if (pckStatDrive->count() < 6) {
            driveAngle_ = std::fmod(driveAngle_ + 4, 360);
        }
        for (int i = 0; i < 11; ++i) {
            statcharts::turnPie(pies[i]->chart(), driveAngle_);
        }
        statcharts::turnPie(pies[11]->chart(), totalAngle_);
        ScrollBar1->hide();
        const QSignalBlocker block(ScrollBar1);
        ScrollBar1->setValue(int(driveAngle_));
    } else {
        ScrollBar1->show();
    }
}

void TfrmStatistics::pieClick() {
    if (Timer2->isActive()) {
        Timer2->stop();
        ScrollBar1->show();
    } else {
        Timer2->start();
    }
}

void TfrmStatistics::ScrollBar1Change(int angle) {
    driveAngle_ = angle;
    totalAngle_ = angle;
    for (QChartView* pie : pies) {
        statcharts::turnPie(pie->chart(), angle);
    }
}

// ---- Deleted -------------------------------------------------------------------------

QWidget* TfrmStatistics::buildDeletedPage() {
    auto* page = new QWidget;
    auto* heading = new QLabel(QStringLiteral("Files processed by Diskwell 99"), page);
    QFont f = heading->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 3);
    heading->setFont(f);
    const char* titles[3] = {"Deleted files", "Zipped files", "Files sent to the recycle bin"};
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(heading);
    for (int g = 0; g < 3; ++g) {
        auto* box = new QGroupBox(QLatin1String(titles[g]), page);
        auto* row = new QHBoxLayout(box);
        for (int k = 0; k < 2; ++k) {
            auto* edit = new QLineEdit(box);
            edit->setReadOnly(true);
            edit->setAlignment(Qt::AlignRight);
            edit->setObjectName(QStringLiteral("edTotal%1").arg(2 * g + k + 1));
            edit->setMinimumWidth(220);
            edTotals[2 * g + k] = edit;
            row->addWidget(edit);
        }
        if (g < 2) {
            QLabel* since = new QLabel(box);
            since->setObjectName(g == 0 ? QStringLiteral("lblDelSince")
                                        : QStringLiteral("lblZipSince"));
            since->setMinimumWidth(160);
            (g == 0 ? lblDelSince : lblZipSince) = since;
            row->addWidget(since);
        }
        row->addStretch();
        layout->addWidget(box);
    }
    Button1 = makeButton(page, "Button1", QStringLiteral("Reset these numbers"));
    connect(Button1, &QPushButton::clicked, this, &TfrmStatistics::Button1Click);
    layout->addWidget(Button1, 0, Qt::AlignLeft);
    layout->addStretch();
    return page;
}

namespace {

QString sinceText(qint64 day) {
    if (day < 0) {
        return QString();
    }
    return QStringLiteral("Since ") + DateToTextSafe(QDate(1899, 12, 30).addDays(day));
}

}  // namespace

void TfrmStatistics::showFilesDeleted() {
    const CleanTotals t = readCleanTotals();
    const qint64 pairs[3][2] = {
        {t.Ndelete, t.SizeDelete}, {t.NZip, t.SizeZip}, {t.NWaste, t.SizeWaste}};
    for (int g = 0; g < 3; ++g) {
        const bool counted = pairs[g][0] > 0;
        edTotals[2 * g]->setText(counted ? FormatThousands(pairs[g][0]) + QStringLiteral(" files")
                                         : QStringLiteral("n/a"));
        edTotals[2 * g + 1]->setText(counted ? FormatThousands(qMax<qint64>(pairs[g][1], 0)) +
                                                   QStringLiteral(" bytes")
                                             : QStringLiteral("n/a"));
    }
    lblDelSince->setText(sinceText(t.DelDate));
    lblZipSince->setText(sinceText(t.ZipDate));
}

void TfrmStatistics::Button1Click() {
    const platform::Answer answer = platform::prompter().ask(
        platform::MessageKind::Question, QCoreApplication::applicationName(),
        QStringLiteral("Reset cumulative totals?"), platform::Buttons::YesNo);
    if (answer != platform::Answer::Yes) {
        return;
    }
    if (!resetCleanTotals()) {
        ShowError(
            QStringLiteral("The totals could not be reset: the settings file could not "
                           "be written."));
    }
    showFilesDeleted();
}

// ---- the frame -----------------------------------------------------------------------

void TfrmStatistics::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The Space and Deleted pages are recomputed whenever the window is shown.
    FormShow();
}

void TfrmStatistics::FormShow() {
    doDiskSize();
    OvcNotebook1PageChanged(OvcNotebook1->currentIndex());
}

void TfrmStatistics::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    placeNotCollectedPanel();
}

void TfrmStatistics::placeNotCollectedPanel() {
    QWidget* page = OvcNotebook1->currentWidget();
    if (!page) {
        return;
    }
    pnlNotCollected_->setGeometry(QRect(page->mapTo(OvcNotebook1, QPoint(0, 0)), page->size()));
    const int index = OvcNotebook1->currentIndex();
    const bool cover = index >= kTypes && (!collected_ || collecting_);
    pnlNotCollected_->setVisible(cover);
    if (cover) {
        pnlNotCollected_->raise();
    }
}

bool TfrmStatistics::notCollectedPanelShown() const {
    return pnlNotCollected_->isVisibleTo(OvcNotebook1);
}

void TfrmStatistics::OvcNotebook1PageChanged(int page) {
    if (page == kDeleted) {
        showFilesDeleted();
    } else if (page == kSpace) {
        barDepth_ = 1;
        doDiskSize();
    }
    // The page's layout has settled once the event loop runs; place the panel now and
    // again then.
    placeNotCollectedPanel();
    QTimer::singleShot(0, this, &TfrmStatistics::placeNotCollectedPanel);
}

void TfrmStatistics::showPage(int page) {
    OvcNotebook1->setCurrentIndex(page);
}

int TfrmStatistics::currentPage() const {
    return OvcNotebook1->currentIndex();
}

QString TfrmStatistics::statusText() const {
    return pnlStatus->text();
}

void TfrmStatistics::setStatus(const QString& text) {
    pnlStatus->setText(text);
}

void TfrmStatistics::reject() {
    btCancelClick();
}

void TfrmStatistics::btCancelClick() {
    if (collecting_) {
        btAbortClick();
        return;
    }
    Timer1->stop();
    Timer2->stop();
    hide();
}

void TfrmStatistics::btAbortClick() {
    abortRequested_ = true;
    if (hooks_) {
        hooks_->requestAbort();
    }
}

void TfrmStatistics::disenable(bool enabled) {
    btPrint->setEnabled(enabled);
    btOK->setEnabled(enabled);
    pckStatDrive->setEnabled(enabled);
    Button1->setEnabled(enabled);
    for (QRadioButton* rb : {rbSpaceBar, rbSpacePie}) {
        rb->setEnabled(enabled);
    }
    for (QRadioButton* rb : rgTypes) {
        rb->setEnabled(enabled);
    }
    for (QRadioButton* rb : rgSizes) {
        rb->setEnabled(enabled);
    }
    for (const auto& group : rgDates) {
        for (QRadioButton* rb : group) {
            rb->setEnabled(enabled);
        }
    }
}

// ---- collection ----------------------------------------------------------------------

void TfrmStatistics::btOKClick() {
    if (collecting_) {
        return;
    }
    QList<DriveEntry> entries;
    TypeFilter filter;
    {
        TfrmWhichDrive dialog(this);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        entries = dialog.checkedEntries();
        switch (dialog.typeChoice()) {
            case TfrmWhichDrive::TypeChoice::AllFiles:
                break;
            case TfrmWhichDrive::TypeChoice::Include:
                filter = TypeFilter(TypeFilter::Mode::Include, dialog.selectedTypeLines());
                break;
            case TfrmWhichDrive::TypeChoice::Exclude:
                filter = TypeFilter(TypeFilter::Mode::Exclude, dialog.selectedTypeLines());
                break;
        }
    }
    collect(entries, filter);
}

void TfrmStatistics::collect(const QList<DriveEntry>& chosen, const TypeFilter& filter) {
    if (chosen.isEmpty() || collecting_) {
        return;
    }
    // A folder that is not there is said by name, as the walk would, rather than taken
    // for a drive of no size.
    QList<DriveEntry> entries;
    for (const DriveEntry& entry : chosen) {
        if (entry.kind == DriveEntry::Kind::ExtraFolder && !EnterStartFolder(entry)) {
            ShowError(QStringLiteral("Can't open drive ") + entry.text);
        } else {
            entries.append(entry);
        }
    }
    if (entries.isEmpty()) {
        return;
    }
    if (pickListTotal(entries) <= 0) {
        ShowError(
            QStringLiteral("Could not compute the total size of the disk drives selected.  "
                           "Cannot proceed with statistics."));
        return;
    }
    if (entries.size() == 1) {
        ShowInfo(QStringLiteral("Disk Drive ") + entries.front().text +
                 QStringLiteral(" will be scanned.  The analysis ") +
                 QStringLiteral("may take some time.  You may quit at any time by clicking Abort "
                                "or pressing ESC."));
    } else {
        ShowInfo(QStringLiteral(
            "Since you selected more than one drive to analyze, the Cluster Overhang tab will "
            "be disabled.  You may quit the analysis at any time by clicking Abort or by "
            "pressing ESC."));
    }
    filter_ = filter;
    drives_ = entries;
    clearVariables();
    overhangEnabled_ = entries.size() == 1;
    OvcNotebook1->setTabEnabled(kOverhang, overhangEnabled_);
    abortRequested_ = false;

    drivesDone_.clear();
    QStringList titles;
    for (const DriveEntry& entry : entries) {
        drivesDone_ += entry.text + QLatin1Char(' ');
        // A drive is named by its volume, a folder by itself.
        titles << (entry.kind == DriveEntry::Kind::ExtraFolder ? entry.text : DriveWord(entry));
    }
    currentDrive_ = entries.front().text;
    currentDriveKey_ = titles.join(QStringLiteral(", "));
    clusterSize_ = clusterSizeOf(entries.front());

    collecting_ = true;
    lblNotCollected_->setText(QLatin1String(kCollectingText));
    btAbort_->show();
    placeNotCollectedPanel();
    const bool pieTurning = Timer2->isActive();
    Timer2->stop();

    StatCollector collector(filter_);
    hooks_ = std::make_unique<CollectHooks>(*this, collector, pumpIntervalMs_);
    {
        setStatus(QString());
        disenable(false);
        WaitCursor wait;
        hooks_->startWalk();
        if (abortRequested_) {
            hooks_->requestAbort();
        }
        // One walk over every entry: a folder inside another chosen one, and a file with
        // a name in each, are counted once.
        FolderWalk walk(statisticsWalkOptions(), *hooks_);
        walk.walkEntries(entries);
        tallies_ = collector.tallies();
        tallies_.addFilterTypes(filter_);
        rebuildPages();
        QString status = QStringLiteral("Finished - ") + FormatThousands(tallies_.processed) +
                         QStringLiteral(" files processed");
        if (tallies_.counted != tallies_.processed) {
            status += QLatin1Char(' ') + FormatThousands(tallies_.counted) +
                      QStringLiteral(" files found");
        }
        if (tallies_.hardLinked > 0) {
            status += QStringLiteral(" (") + FormatThousands(tallies_.hardLinked) +
                      QStringLiteral(" files with several names, each counted once)");
        }
        if (abortRequested_) {
            status += QStringLiteral(" INCOMPLETE ... ABORTED");
        }
        setStatus(status);
        disenable(true);
    }
    hooks_.reset();

    if (pieTurning) {
        Timer2->start();
    }
    collected_ = true;
    collecting_ = false;
    btAbort_->hide();
    lblNotCollected_->setText(QLatin1String(kNotCollectedText));
    setWindowTitle(abortRequested_
                       ? QStringLiteral("Statistics for drive(s) incomplete ... aborted.")
                       : QStringLiteral("Stats done for ") + drivesDone_);
    placeNotCollectedPanel();
    emit collectionFinished();
}

// ---- printing ------------------------------------------------------------------------

QChartView* TfrmStatistics::shownChart() const {
    const int page = OvcNotebook1->currentIndex();
    switch (page) {
        case kTypes:
            return views_[page]->currentIndex() == 1 ? chartTypes : nullptr;
        case kSizes:
        case kAccess:
        case kCreated:
        case kModified:
        case kCombined:
            return views_[page]->currentIndex() == 1
                       ? qobject_cast<QChartView*>(views_[page]->currentWidget())
                       : nullptr;
        case kTime:
            return chartTime;
        default:
            return nullptr;
    }
}

bool TfrmStatistics::btPrintClick() {
    const int page = OvcNotebook1->currentIndex();
    if (page >= kTypes && !collected_) {
        return false;
    }
    QPrinter printer(QPrinter::HighResolution);
    QChartView* chart = shownChart();
    if (chart) {
        if (printDialog_) {
            return printDialog_(printer) && printChart(printer, chart);
        }
        QPrintPreviewDialog preview(&printer, this);
        bool printed = false;
        connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                [&](QPrinter* p) { printed = printChart(*p, chart); });
        preview.exec();
        return printed;
    }
    if (printDialog_) {
        if (!printDialog_(printer)) {
            return false;
        }
    } else {
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
    }
    if (page == kTypes) {
        return printTypeTable(printer);
    }
    return printWindowImage(printer);
}

bool TfrmStatistics::printChart(QPrinter& printer, QChartView* view) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const QRect area = painter.viewport();
    QSize size = view->size();
    size.scale(area.size(), Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::Antialiasing);
    view->render(&painter, QRectF(QPointF(0, 0), size), view->rect());
    return painter.end();
}

bool TfrmStatistics::printTypeTable(QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const GridTable& table = gridTypes->table();
    QFont font(QStringLiteral("DejaVu Sans"), 9);
    painter.setFont(font);
    const QRect area = painter.viewport();
    const QFontMetrics fm(font, &printer);
    const int line = fm.height() * 5 / 4;
    const QString title = typeTableTitle();
    const QDateTime now = QDateTime::currentDateTime();
    // Column edges in parts of the width: extension, type, then three numbers.
    const double edges[6] = {0, 0.12, 0.5, 0.68, 0.82, 1.0};
    int pageNumber = 1;
    qsizetype row = 0;
    while (row < table.rowCount()) {
        painter.drawText(area.left(), area.top() + fm.ascent(), DateToTextSafe(now.date()));
        const QString time = now.time().toString(LongTimeFormat());
        painter.drawText(area.right() - fm.horizontalAdvance(time), area.top() + fm.ascent(), time);
        painter.drawText(QRect(area.left(), area.top() + line, area.width(), line),
                         Qt::AlignHCenter, title);
        int y = area.top() + 3 * line;
        const int bottom = area.bottom() - 2 * line;
        while (row < table.rowCount() && y + line <= bottom) {
            for (int c = 0; c < 5; ++c) {
                const int x0 = area.left() + int(edges[c] * area.width());
                const int x1 =
                    area.left() + int(edges[c + 1] * area.width()) - fm.averageCharWidth();
                const Qt::Alignment align = c >= 2 ? Qt::AlignRight : Qt::AlignLeft;
                painter.drawText(QRect(x0, y, x1 - x0, line), align | Qt::AlignVCenter,
                                 fm.elidedText(table.cell(c, row), Qt::ElideRight, x1 - x0));
            }
            y += line;
            ++row;
        }
        painter.drawText(area.left(), area.bottom() - fm.descent(),
                         QStringLiteral("Page ") + QString::number(pageNumber));
        if (row < table.rowCount()) {
            printer.newPage();
            ++pageNumber;
        }
    }
    return painter.end();
}

QString TfrmStatistics::typeTableTitle() const {
    return QStringLiteral("File types for drive ") + currentDriveKey_;
}

void TfrmStatistics::changeBackgroundColor(bool white) {
    for (QWidget* w : {static_cast<QWidget*>(this), OvcNotebook1->currentWidget(),
                       static_cast<QWidget*>(pckStatDrive)}) {
        QPalette p = w->palette();
        if (white) {
            p = paperPalette(p);
        } else {
            p = QPalette();
        }
        w->setPalette(p);
        w->setAutoFillBackground(white);
    }
}

bool TfrmStatistics::printWindowImage(QPrinter& printer) {
    changeBackgroundColor(true);
    QPainter painter;
    bool ok = painter.begin(&printer);
    if (ok) {
        const QRect area = painter.viewport();
        QSize size = this->size();
        size.scale(area.size(), Qt::KeepAspectRatio);
        const double scale = double(size.width()) / double(width());
        painter.scale(scale, scale);
        render(&painter);
        ok = painter.end();
    }
    changeBackgroundColor(false);
    return ok;
}

}  // namespace dw
