#pragma once

#include <QColor>
#include <QList>
#include <QString>

class QChart;
class QChartView;
class QPieSeries;
class QWidget;

// The charts of the statistics window, drawn with Qt Charts: the colour table its
// categories share, and builders that empty a chart and fill it anew.
namespace dw::statcharts {

// The colours of categories 1 to 12: red, maroon, blue, yellow, green, lime, fuchsia,
// teal, navy, aqua, white, gray. Other indexes wrap round.
QColor categoryColour(int index);

// Colours with a meaning.
inline const QColor kUsedColour{0, 0, 255};
inline const QColor kFreeColour{255, 0, 255};
inline const QColor kReservedColour{128, 128, 128};
inline const QColor kAccessColour{0, 0, 255};
inline const QColor kCreateColour{0, 160, 0};
inline const QColor kModifyColour{255, 0, 0};

// A chart view with antialiasing, a white chart, no animation, its legend hidden.
QChartView* makeChartView(QWidget* parent, const QString& objectName);

struct Bar {
    QString label;
    double value = 0;
    QColor colour;
};

// Empties `chart` and draws `bars` as horizontal bars, the first at the top, each in its
// own colour (light colours get a dark outline, so a white bar shows), with `title` and
// the value axis titled `valueTitle`. With `percentLabels` every category label carries
// the bar's share of the sum of all values ("0 - 16K   12.5 %"; no share when the sum is
// 0). With `valueLabels` the values are written beside the bars in `valueFormat` (a Qt
// Charts label format such as "@value %").
void setBars(QChart* chart, const QString& title, const QList<Bar>& bars, const QString& valueTitle,
             bool percentLabels, bool valueLabels = false,
             const QString& valueFormat = QStringLiteral("@value"));

// The label format of a value axis that runs up to `top`: two decimals below 1, one
// below 10, none from 10 on, so small values do not all read "0".
QString axisLabelFormat(double top);

// A share of a whole in the form the charts write it: one decimal, "12.5 %".
QString percentText(double part, double whole);

struct Slice {
    QString label;
    double value = 0;
    QColor colour;
};

// Empties `chart` and draws a pie of `slices` (those above 0), each labelled with its
// label and its share ("Text file 12.3 %"), titled `title`. With `explodeLargest` the
// largest slice is pulled out. Returns the pie (owned by the chart).
QPieSeries* setPie(QChart* chart, const QString& title, const QList<Slice>& slices,
                   bool explodeLargest, bool labels = true);

// Turns every pie of `chart` so that it starts at `angle` degrees.
void turnPie(QChart* chart, double angle);

}  // namespace dw::statcharts
