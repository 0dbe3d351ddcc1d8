#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "safety/safe_harbor.h"
#include "safety/ui/safe_harbor_styler.h"
#include "widgets/string_grid.h"

namespace dw {
namespace {

// A lookup protecting /nx-h6/docs/ (its own files) and *.sys.
struct Harbor {
    QTemporaryDir dir;
    SafeHarbor harbor;
    Harbor() {
        const QString file = dir.path() + QStringLiteral("/folders.txt");
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("/nx-h6/docs/\n/nx-h6/keep/*.*\n");
        f.close();
        SafeHarbor::Sources s;
        s.foldersFile = file;
        harbor.GetSearchPath(s);
        harbor.setExtensions({QStringLiteral("*.sys")});
    }
};

TEST(SafeHarborBoldStyler, ProtectedRowsAreBoldAndOtherStylesStay) {
    Harbor h;
    StringGrid grid;
    grid.table().setColumnCount(2);
    grid.setBandColor('A', Qt::lightGray);
    grid.appendRows({
        {{QStringLiteral("a.txt"), QStringLiteral("/nx-h6/docs")}, "/nx-h6/docs/a.txt", 0, 'A'},
        {{QStringLiteral("b.txt"), QStringLiteral("/nx-h6/docs/sub")},
         "/nx-h6/docs/sub/b.txt",
         0,
         'A'},
        {{QStringLiteral("c.txt"), QStringLiteral("/nx-h6/keep/x/y")},
         "/nx-h6/keep/x/y/c.txt",
         0,
         0},
        {{QStringLiteral("d.sys"), QStringLiteral("/nx-h6/other")}, "/nx-h6/other/d.sys", 0, 0},
        {{QStringLiteral("e.txt"), QStringLiteral("/nx-h6/other")}, "/nx-h6/other/e.txt", 0, 0},
        {{QStringLiteral("(no path)"), QString()}, QByteArray(), 0, 0},
    });
    grid.setCellStyler(SafeHarborBoldStyler(
        grid, h.harbor, true,
        [](qsizetype, int, CellStyle& style) { style.foreground = Qt::blue; }));
    const bool expected[] = {true, false, true, true, false, false};
    for (int i = 0; i < 6; ++i) {
        for (int column = 0; column < 2; ++column) {
            const CellStyle style = grid.cellStyle(i + 1, column);
            EXPECT_EQ(style.bold, expected[i]) << "row " << i + 1;
            EXPECT_EQ(style.foreground, QColor(Qt::blue));
        }
    }
    EXPECT_EQ(grid.cellStyle(1, 0).background, QColor(Qt::lightGray));

    // Folder rows, with their paths kept elsewhere.
    const QList<QByteArray> folders{"/nx-h6/docs", "/nx-h6/docs/sub", "/nx-h6/keep/x"};
    StringGrid folderGrid;
    folderGrid.table().setColumnCount(1);
    folderGrid.appendRows({{{QStringLiteral("1")}, {}, 0, 0},
                           {{QStringLiteral("2")}, {}, 0, 0},
                           {{QStringLiteral("3")}, {}, 0, 0}});
    folderGrid.setCellStyler(SafeHarborBoldStyler(
        [&folders](qsizetype row) { return folders.value(row - 1); }, h.harbor, false));
    EXPECT_TRUE(folderGrid.cellStyle(1, 0).bold);
    EXPECT_FALSE(folderGrid.cellStyle(2, 0).bold);
    EXPECT_TRUE(folderGrid.cellStyle(3, 0).bold);

    // One column only: the other cells of a protected row keep their type.
    grid.setCellStyler(SafeHarborBoldStyler(grid, h.harbor, true, {}, 1));
    for (int i = 0; i < 6; ++i) {
        EXPECT_FALSE(grid.cellStyle(i + 1, 0).bold) << "row " << i + 1;
        EXPECT_EQ(grid.cellStyle(i + 1, 1).bold, expected[i]) << "row " << i + 1;
    }
}

}  // namespace
}  // namespace dw
