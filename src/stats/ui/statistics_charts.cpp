#include "stats/ui/statistics_charts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHorizontalStackedBarSeries>
#include <QLegend>
#include <QLocale>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QValueAxis>

#include <algorithm>

namespace dw::statcharts {

QColor categoryColour(int index) {
    static const QColor kTable[12] = {{255, 0, 0}, {128, 0, 0},   {0, 0, 255},     {255, 255, 0},
                                      {0, 128, 0}, {0, 255, 0},   {255, 0, 255},   {0, 128, 128},
                                      {0, 0, 128}, {0, 255, 255}, {255, 255, 255}, {128, 128, 128}};
    const int i = ((index - 1) % 12 + 12) % 12;
    return kTable[i];
}

QChartView* makeChartView(QWidget* parent, const QString& objectName) {
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundBrush(Qt::white);
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    QFont title = chart->titleFont();
    title.setBold(true);
    title.setPointSize(title.pointSize() + 1);
    chart->setTitleFont(title);
    auto* view = new QChartView(chart, parent);
    view->setObjectName(objectName);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(320, 220);
    return view;
}

QString percentText(double part, double whole) {
    if (whole <= 0) {
        return QString();
    }
    return QLocale().toString(part * 100.0 / whole, 'f', 1) + QStringLiteral(" %");
}

namespace {

void emptyChart(QChart* chart) {
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

}  // namespace

QString axisLabelFormat(double top) {
    if (top < 1) {
        return QStringLiteral("%.2f");
    }
    if (top < 10) {
        return QStringLiteral("%.1f");
    }
    return QStringLiteral("%.0f");
}

namespace {

bool isLight(const QColor& c) {
    return c.lightness() > 180;
}

}  // namespace

void setBars(QChart* chart, const QString& title, const QList<Bar>& bars, const QString& valueTitle,
             bool percentLabels, bool valueLabels, const QString& valueFormat) {
    emptyChart(chart);
    chart->setTitle(title);
    double sum = 0;
    for (const Bar& b : bars) {
        sum += b.value;
    }
    // One set per bar, with its value only at its own category, so each bar has its own
    // colour; the horizontal chart draws its first category at the bottom, so they go in
    // reversed.
    auto* series = new QHorizontalStackedBarSeries;
    QStringList categories;
    const qsizetype n = bars.size();
    for (qsizetype i = n - 1; i >= 0; --i) {
        const Bar& b = bars[i];
        // Axis labels are rich text: "<= 7 days" must not read as a tag.
        QString label = b.label.toHtmlEscaped();
        if (percentLabels && sum > 0) {
            label += QStringLiteral("   ") + percentText(b.value, sum);
        }
        categories << label;
    }
    for (qsizetype i = n - 1; i >= 0; --i) {
        auto* set = new QBarSet(bars[i].label);
        set->setColor(bars[i].colour);
        set->setBorderColor(isLight(bars[i].colour) ? QColor(96, 96, 96) : bars[i].colour);
        for (qsizetype k = n - 1; k >= 0; --k) {
            *set << (k == i ? bars[i].value : 0.0);
        }
        series->append(set);
    }
    series->setBarWidth(0.7);
    if (valueLabels) {
        series->setLabelsVisible(true);
        series->setLabelsFormat(valueFormat);
        series->setLabelsPosition(QAbstractBarSeries::LabelsInsideBase);
    }
    chart->addSeries(series);
    auto* categoryAxis = new QBarCategoryAxis;
    categoryAxis->append(categories);
    chart->addAxis(categoryAxis, Qt::AlignLeft);
    series->attachAxis(categoryAxis);
    auto* valueAxis = new QValueAxis;
    valueAxis->setTitleText(valueTitle);
    double top = 0;
    for (const Bar& b : bars) {
        top = std::max(top, b.value);
    }
    if (valueTitle == QLatin1String("%")) {
        valueAxis->setRange(0, 100);
    } else {
        valueAxis->setRange(0, top > 0 ? top * 1.08 : 1);
        valueAxis->applyNiceNumbers();
    }
    valueAxis->setLabelFormat(axisLabelFormat(valueAxis->max()));
    chart->addAxis(valueAxis, Qt::AlignBottom);
    series->attachAxis(valueAxis);
}

QPieSeries* setPie(QChart* chart, const QString& title, const QList<Slice>& slices,
                   bool explodeLargest, bool labels) {
    emptyChart(chart);
    chart->setTitle(title);
    auto* pie = new QPieSeries;
    double sum = 0;
    for (const Slice& s : slices) {
        sum += std::max(0.0, s.value);
    }
    QPieSlice* largest = nullptr;
    for (const Slice& s : slices) {
        if (s.value <= 0) {
            continue;
        }
        auto* slice =
            new QPieSlice(s.label + QLatin1Char(' ') + percentText(s.value, sum), s.value);
        slice->setColor(s.colour);
        slice->setBorderColor(isLight(s.colour) ? QColor(96, 96, 96) : Qt::white);
        slice->setLabelVisible(labels);
        pie->append(slice);
        if (!largest || s.value > largest->value()) {
            largest = slice;
        }
    }
    if (explodeLargest && largest) {
        largest->setExploded(true);
    }
    pie->setPieSize(labels ? 0.6 : 0.85);
    chart->addSeries(pie);
    return pie;
}

void turnPie(QChart* chart, double angle) {
    for (QAbstractSeries* s : chart->series()) {
        if (auto* pie = qobject_cast<QPieSeries*>(s)) {
            pie->setPieStartAngle(angle);
            pie->setPieEndAngle(angle + 360);
        }
    }
}

}  // namespace dw::statcharts
