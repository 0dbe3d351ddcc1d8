#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>

#include "base/utility.h"
#include "inspect/ui/details_window.h"
#include "support/pe_image.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/file_icon.h"

namespace dw {
namespace {

TEST(DetailsWindow, ShowsAFileWithoutVersionAndPrintsIt) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    test::ScriptedPrompter prompter;
    test::TempTree t;
    const QByteArray notes = t.file("notes.txt", QByteArray(1000, 'n'));
    QList<QByteArray> viewed;
    TfrmDetails w(notes, nullptr, [&](const QByteArray& f) { viewed << f; });
    w.show();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("File Details"));
    const QStringList labels = w.labelTexts();
    ASSERT_EQ(labels.size(), 8);
    EXPECT_EQ(labels[0], QFile::decodeName(notes));
    EXPECT_EQ(labels[2], QStringLiteral("1,000 bytes"));
    EXPECT_TRUE(labels[3].endsWith(QStringLiteral("  Clusters used : 1")))
        << labels[3].toStdString();
    EXPECT_EQ(labels[7], QString());
    EXPECT_FALSE(w.versionBoxShown());
    EXPECT_EQ(w.printLines().size(), 12);
    EXPECT_EQ(w.printLines().last(), QStringLiteral(" "));

    w.findChild<QPushButton*>(QStringLiteral("btView"))->click();
    EXPECT_EQ(viewed, QList<QByteArray>{notes});

    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("details.pdf"));
    int asked = 0;
    w.setPrintDialog([&](QPrinter& printer) {
        ++asked;
        EXPECT_EQ(printer.docName(), QStringLiteral("File details of ") + QFile::decodeName(notes));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return asked == 1;
    });
    w.btPrintClick();
    EXPECT_GT(QFileInfo(pdf).size(), 500);
    QFile::remove(pdf);
    w.btPrintClick();  // cancelled
    EXPECT_FALSE(QFileInfo::exists(pdf));

    // No desktop program to open it with: the error box names the file.
    {
        test::ScopedEnv path("PATH", t.dir("empty"));
        w.btLaunchClick();
    }
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_EQ(prompter.boxes()[0].text,
              QStringLiteral("Couldn't open ") + QFile::decodeName(notes));
}

TEST(DetailsWindow, VersionLinesIconsAndAFileThatHasGone) {
    test::TempTree t;
    test::PeVersion v;
    v.strings = {{QStringLiteral("CompanyName"), QStringLiteral("Brightwater")}};
    const QByteArray exe = t.file("tool.exe", test::PeBuilder::image(&v));
    {
        TfrmDetails w(exe);
        w.show();
        EXPECT_TRUE(w.versionBoxShown());
        ASSERT_EQ(w.versionLines().size(), 11);
        EXPECT_EQ(w.versionLines()[0], QStringLiteral("Company: \tBrightwater"));
        EXPECT_EQ(w.printLines().size(), 12 + 11);
        EXPECT_FALSE(w.findChild<QPushButton*>(QStringLiteral("btView"))->isVisibleTo(&w));
    }
    {
        TfrmDetails w(t.path("gone"));
        EXPECT_EQ(w.labelTexts(), QStringList(8, QString()));
        EXPECT_TRUE(w.printLines().isEmpty());
        EXPECT_FALSE(w.versionBoxShown());
    }

    // The program's folder picture; the theme's picture of the type when it has one, the
    // program's blank page when it has none.
    EXPECT_EQ(FileIcon(t.dir("folder")).cacheKey(), DirectoryIcon().cacheKey());
    const QByteArray notes = t.file("notes.txt", "plain words\n");
    const QStringList paths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    QIcon::setThemeSearchPaths({QFile::decodeName(t.dir("icons"))});
    QIcon::setThemeName(QStringLiteral("empty"));
    EXPECT_EQ(FileIcon(notes).cacheKey(), NoIcon().cacheKey());
    t.file("icons/plain/index.theme",
           "[Icon Theme]\nName=plain\nDirectories=32\n\n[32]\nSize=32\nType=Fixed\n");
    t.dir("icons/plain/32");
    QPixmap picture(32, 32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QFile::decodeName(t.path("icons/plain/32/text-plain.png"))));
    QIcon::setThemeName(QStringLiteral("plain"));
    const QIcon themed = FileIcon(notes);
    EXPECT_NE(themed.cacheKey(), NoIcon().cacheKey());
    EXPECT_EQ(themed.pixmap(32, 32).toImage().pixelColor(16, 16), QColor(Qt::red));
    QIcon::setThemeName(theme);
    QIcon::setThemeSearchPaths(paths);
}

}  // namespace
}  // namespace dw
