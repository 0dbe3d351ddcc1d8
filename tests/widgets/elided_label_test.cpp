#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include "widgets/elided_label.h"

namespace dw {
namespace {

// A path of about 5,000 characters: 25 folders of 199 letters, each told apart by its
// first letters so that a shortened text shows which end it kept.
QString longPath() {
    QString path;
    for (int i = 0; i < 25; ++i) {
        path += QStringLiteral("/%1").arg(i, 2, 10, QLatin1Char('0')) + QString(197, u'n');
    }
    return path + QStringLiteral("/last.txt");
}

// A window that holds the label on a line of its own under a row of buttons, as the
// windows lay out their status lines.
struct Window {
    QWidget top;
    ElidedLabel* label = new ElidedLabel(&top);
    Window() {
        auto* layout = new QVBoxLayout(&top);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(new QPushButton(QStringLiteral("&Main folders"), &top));
        buttons->addWidget(new QPushButton(QStringLiteral("Close"), &top));
        layout->addLayout(buttons);
        layout->addWidget(label);
        top.resize(400, 120);
    }
    void settle() {
        top.show();
        QApplication::processEvents();
    }
};

TEST(ElidedLabel, ALongPathKeepsBothEndsAndTheWindowItsWidth) {
    const QString path = longPath();
    ASSERT_GE(path.size(), 5000);
    Window w;
    w.settle();
    const int before = w.top.width();
    w.label->setText(path);
    w.settle();
    w.top.adjustSize();
    QApplication::processEvents();

    EXPECT_LE(w.top.width(), std::max(before, 500));
    EXPECT_LE(w.top.width(), w.top.screen()->availableGeometry().width());
    EXPECT_EQ(w.label->text(), path);
    EXPECT_EQ(w.label->toolTip(), path);
    const QString shown = w.label->shownText();
    EXPECT_TRUE(w.label->isShortened());
    EXPECT_TRUE(shown.contains(u'\u2026')) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/00nn"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("nn/last.txt"))) << shown.toStdString();
    EXPECT_LE(w.label->fontMetrics().horizontalAdvance(shown), w.label->contentsRect().width());
}

TEST(ElidedLabel, TheShortenedTextFollowsTheWidthAndTheToolTipFollowsTheText) {
    Window w;
    w.label->setText(QStringLiteral("/home/user/Documents/report.odt"));
    w.settle();
    const int room = w.label->fontMetrics().horizontalAdvance(w.label->text());

    // Wide enough: the whole text, no tool tip; narrower: shortened, the whole in the tip.
    w.top.resize(room * 3, w.top.height());
    QApplication::processEvents();
    EXPECT_EQ(w.label->shownText(), w.label->text());
    EXPECT_TRUE(w.label->toolTip().isEmpty());
    w.top.resize(room / 2, w.top.height());
    QApplication::processEvents();
    ASSERT_LT(w.label->contentsRect().width(), room);
    EXPECT_NE(w.label->shownText(), w.label->text());
    EXPECT_EQ(w.label->toolTip(), w.label->text());

    // The note stays under the text, alone once the text is gone.
    w.label->setNote(QStringLiteral("Folder is ON the Non-Deletion List"));
    EXPECT_EQ(w.label->toolTip(), QStringLiteral("/home/user/Documents/report.odt\n"
                                                 "Folder is ON the Non-Deletion List"));
    w.label->clear();
    EXPECT_EQ(w.label->toolTip(), QStringLiteral("Folder is ON the Non-Deletion List"));
    EXPECT_TRUE(w.label->shownText().isEmpty());
}

}  // namespace
}  // namespace dw
