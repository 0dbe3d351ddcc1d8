#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>

#include "base/sort_grid.h"
#include "widgets/string_grid.h"

namespace dw {
namespace {

QList<GridRow> rows(std::initializer_list<std::pair<const char*, const char*>> cells) {
    QList<GridRow> out;
    int i = 0;
    for (const auto& [name, size] : cells) {
        ++i;
        out.append({{QString::fromUtf8(name), QString::fromUtf8(size)},
                    QByteArray("/d/") + name,
                    0,
                    static_cast<char>(i % 2 ? 'A' : 'B')});
    }
    return out;
}

class StringGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid.table().setColumnCount(2);
        grid.table().setTitles({QStringLiteral("Filename"), QStringLiteral("Size")});
        grid.setColumnAlignment(1, Qt::AlignRight);
        grid.resize(320, 240);
        grid.setColumnWidth(0, 160);
        grid.setColumnWidth(1, 120);
    }

    StringGrid grid;
};

TEST_F(StringGridTest, ModelShowsDataRowsAndTheTitleRowAsHeader) {
    int insertions = 0;
    int layouts = 0;
    StringGridModel* model = grid.gridModel();
    QObject::connect(model, &QAbstractItemModel::rowsInserted, &grid,
                     [&](const QModelIndex&, int first, int last) {
                         ++insertions;
                         EXPECT_EQ(first, 0);
                         EXPECT_EQ(last, 2);
                     });
    QObject::connect(model, &QAbstractItemModel::layoutChanged, &grid, [&] { ++layouts; });
    grid.appendRows(rows({{"b.txt", "2,048"}, {"a.txt", "999"}, {"c.txt", "10"}}));
    EXPECT_EQ(insertions, 1);

    EXPECT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->columnCount(), 2);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Filename"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));
    EXPECT_EQ(model->index(0, 0).data().toString(), QStringLiteral("b.txt"));
    EXPECT_EQ(model->index(2, 1).data().toString(), QStringLiteral("10"));
    EXPECT_EQ(model->index(0, 0).data(StringGridModel::RowDataRole).toByteArray(),
              QByteArray("/d/b.txt"));
    EXPECT_EQ(model->index(1, 0).data(StringGridModel::BandRole).toInt(), int('B'));
    EXPECT_TRUE(model->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignRight);

    // A sort shows the new order; the current row stays at its row number.
    grid.setCurrentRow(2);
    grid.table().setMark(2, 1);
    ASSERT_TRUE(SortGridByNumber(grid.table(), 1, grid.table().rowCount() - 1, false, 1));
    EXPECT_EQ(layouts, 1);
    EXPECT_EQ(model->index(0, 0).data().toString(), QStringLiteral("c.txt"));
    EXPECT_EQ(model->index(1, 0).data().toString(), QStringLiteral("a.txt"));
    EXPECT_EQ(model->index(1, 0).data(StringGridModel::MarkRole).toInt(), 1);
    EXPECT_EQ(model->index(2, 0).data().toString(), QStringLiteral("b.txt"));
    EXPECT_EQ(grid.currentRow(), 2);

    // Title changes reach the header; clearing leaves the title row.
    grid.table().setCell(0, 0, QStringLiteral("Name"));
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    grid.table().clearRows();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(grid.currentRow(), 0);
}

TEST_F(StringGridTest, PaintsBandsSelectionAndTheMarkGlyph) {
    grid.setBandColor('A', QColor(223, 223, 223));
    grid.setMarkColumn(0);
    grid.appendRows(rows({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}));
    grid.table().setMark(3, 1);
    grid.setCurrentRow(4);
    grid.show();
    EXPECT_EQ(grid.rowHeight(), qRound(18.0 * grid.logicalDpiY() / 96.0));

    const QImage image = grid.viewport()->grab().toImage();
    auto pixel = [&](qsizetype row, int column, int dx, int dy) {
        const QRect r = grid.visualRect(grid.gridModel()->indexForCell(column, row));
        return image.pixelColor(r.left() + dx, r.top() + dy);
    };
    const QPalette& pal = grid.palette();
    // Row 1 carries band A, row 2 band B (no colour): the grid's base.
    EXPECT_EQ(pixel(1, 0, 150, 9), QColor(223, 223, 223));
    const QColor base = pixel(2, 0, 150, 9);
    EXPECT_TRUE(base == pal.color(QPalette::Active, QPalette::Base) ||
                base == pal.color(QPalette::Inactive, QPalette::Base))
        << base.name().toStdString();
    // The selected row takes the selection colour even with a band.
    const QColor selected = pixel(4, 0, 150, 9);
    EXPECT_TRUE(selected == pal.color(QPalette::Active, QPalette::Highlight) ||
                selected == pal.color(QPalette::Inactive, QPalette::Highlight))
        << selected.name().toStdString();
    // Row 3 is marked: the glyph's red cross sits at its middle, 2 pixels in.
    const QColor glyph = pixel(3, 0, 2 + 8, 2 + 8);
    EXPECT_GT(glyph.red(), 150);
    EXPECT_LT(glyph.green(), 90);
    // Row 1 is not marked: nothing red there.
    EXPECT_LT(pixel(1, 0, 2 + 8, 2 + 8).red() - pixel(1, 0, 2 + 8, 2 + 8).green(), 40);
}

TEST_F(StringGridTest, StylerDecidesEachCell) {
    grid.appendRows(rows({{"a", "1"}, {"b", "2"}}));
    grid.setCellStyler([](qsizetype row, int column, CellStyle& style) {
        if (row == 2 && column == 1) {
            style.background = QColor(10, 20, 30);
            style.bold = true;
        }
    });
    EXPECT_TRUE(grid.cellStyle(2, 1).bold);
    EXPECT_EQ(grid.cellStyle(2, 1).alignment, Qt::AlignRight);
    EXPECT_FALSE(grid.cellStyle(1, 1).bold);
    grid.show();
    const QImage image = grid.viewport()->grab().toImage();
    const QRect r = grid.visualRect(grid.gridModel()->indexForCell(1, 2));
    EXPECT_EQ(image.pixelColor(r.left() + 4, r.top() + 9), QColor(10, 20, 30));
}

TEST_F(StringGridTest, TitleClickOnlyWithoutDrag) {
    grid.appendRows(rows({{"a", "1"}}));
    grid.show();
    QList<int> clicked;
    QObject::connect(&grid, &StringGrid::titleClicked, &grid, [&](int c) { clicked.append(c); });
    QWidget* titles = grid.horizontalHeader()->viewport();
    const int y = grid.horizontalHeader()->height() / 2;
    auto mouse = [&](QEvent::Type type, int x) {
        QMouseEvent event(type, QPointF(x, y), titles->mapToGlobal(QPointF(x, y)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(titles, &event);
    };
    const int inSize = grid.horizontalHeader()->sectionViewportPosition(1) + 30;
    mouse(QEvent::MouseButtonPress, inSize);
    mouse(QEvent::MouseButtonRelease, inSize);
    mouse(QEvent::MouseButtonPress, 20);
    mouse(QEvent::MouseButtonRelease, 25);  // a drag: no click
    mouse(QEvent::MouseButtonPress, 20);
    mouse(QEvent::MouseButtonRelease, 20);
    EXPECT_EQ(clicked, (QList<int>{1, 0}));
}

TEST_F(StringGridTest, KeyboardMovesTheRowAndReportsReleasedKeys) {
    grid.appendRows(rows({{"a", "1"}, {"b", "2"}, {"c", "3"}}));
    grid.show();
    grid.setCurrentRow(1);
    QList<int> released;
    QObject::connect(&grid, &StringGrid::keyReleased, &grid,
                     [&](int key, Qt::KeyboardModifiers) { released.append(key); });
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(&grid, &down);
    EXPECT_EQ(grid.currentRow(), 2);
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(&grid, &end);
    EXPECT_EQ(grid.currentRow(), 3);
    QKeyEvent del(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(&grid, &del);
    EXPECT_EQ(released, QList<int>{Qt::Key_Delete});
    // Only whole rows are selected.
    EXPECT_EQ(grid.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(grid.selectionModel()->selectedIndexes().size(), 2);
}

}  // namespace
}  // namespace dw
