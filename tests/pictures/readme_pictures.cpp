// Pictures of the windows for the README, made offscreen from a small sample tree:
//   cmake --build build --target readme_pictures
//   build/tests/pictures/readme_pictures        (writes docs/screenshots/*.png)
// Not a test: it checks nothing and is not run by ctest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "finders/dup_fixture.h"
#include "finders/ui/browse_window.h"
#include "finders/ui/dir_hog_window.h"
#include "finders/ui/dup_compare_window.h"
#include "finders/ui/dup_window.h"
#include "finders/ui/treemap_view.h"
#include "inspect/ui/details_window.h"
#include "safety/safe_harbor.h"
#include "safety/ui/really_delete.h"
#include "scan/ui/drive_check_list.h"
#include "support/dark_palette.h"
#include "support/deep_chain.h"
#include "support/modal.h"
#include "support/pe_image.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/string_grid.h"

namespace dw {
namespace {

using test::onModal;

QString pictureFolder() {
    const QString folder = QStringLiteral(DISKWELL_SOURCE_DIR "/docs/screenshots");
    QDir().mkpath(folder);
    return folder;
}

void save(QWidget& w, const char* name) {
    QTest::qWait(150);
    w.grab().save(pictureFolder() + QLatin1Char('/') + QLatin1String(name));
}

// Ann's home: photos, reports, music and videos, each in two or three places.
void makeSampleHome(test::TempTree& tree) {
    const struct {
        const char* path;
        qint64 size;
    } files[] = {
        {"Pictures/Holiday 2025/beach.jpg", 2'400'000},
        {"Pictures/Phone backup/DCIM/Camera/beach.jpg", 2'400'000},
        {"Downloads/beach.jpg", 2'400'000},
        {"Documents/Reports/annual report.pdf", 880'000},
        {"Documents/Kept/annual report.pdf", 880'000},
        {"Downloads/annual report.pdf", 880'000},
        {"Music/Albums/Live at the Hall/01 Opening.flac", 31'000'000},
        {"Music/Copy of Albums/Live at the Hall/01 Opening.flac", 31'000'000},
        {"Videos/clip.mp4", 54'000'000},
        {"Downloads/clip.mp4", 54'000'000},
    };
    for (const auto& f : files) {
        tree.fileOfSize(QByteArray("home/ann/") + f.path, f.size);
    }
}

TEST(ReadmePictures, MainWindowDuplicatesAndTheDeletionPanel) {
    test::TempTree tree;
    QTemporaryDir config;
    test::ScopedEnv configDir{"DISKWELL_CONFIG_DIR", config.path().toLocal8Bit()};
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.dir("data-home")};
    test::ScriptedPrompter prompter;
    const QByteArray home = tree.dir("home/ann");
    QFile folders(config.path() + QStringLiteral("/folders.txt"));
    ASSERT_TRUE(folders.open(QIODevice::WriteOnly));
    folders.write(home + "/Documents/Kept/*.*\n");
    folders.close();
    makeSampleHome(tree);

    TfrmMain main;
    main.GetSearchPath();
    main.show();
    save(main, "main-window.png");

    onModal<TfrmDup>([&](TfrmDup& dup) {
        dup.resize(1120, 560);
        dup.setDriveEntries(test::folderEntries({home}));
        dup.findChild<QComboBox*>(QStringLiteral("cbKB1"))->setCurrentIndex(0);
        dup.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(0);
        dup.btScanClick();
        for (int row : {2, 3, 5, 8}) {
            dup.grid()->setCurrentRow(row);
            dup.findChild<QPushButton*>(QStringLiteral("btMark"))->click();
        }
        dup.grid()->setCurrentRow(1);
        save(dup, "duplicates.png");
        onModal<TfrmReallyDelete>([](TfrmReallyDelete& panel) {
            panel.resize(720, 460);
            save(panel, "deletion-panel.png");
            panel.close();
        });
        dup.findChild<QPushButton*>(QStringLiteral("btDelete"))->click();
        dup.close();
    });
    main.findChild<QPushButton*>(QStringLiteral("btDuplicates"))->click();
}

TEST(ReadmePictures, DetailsAndPairComparison) {
    test::TempTree tree;
    test::ScriptedPrompter prompter;
    test::PeVersion v;
    v.strings = {
        {QStringLiteral("CompanyName"), QStringLiteral("Brightwater Systems")},
        {QStringLiteral("FileDescription"), QStringLiteral("Photo album")},
        {QStringLiteral("FileVersion"), QStringLiteral("2.4.0.118")},
        {QStringLiteral("InternalName"), QStringLiteral("album")},
        {QStringLiteral("LegalCopyright"), QStringLiteral("Copyright (C) 2019")},
        {QStringLiteral("OriginalFilename"), QStringLiteral("ALBUM.EXE")},
        {QStringLiteral("ProductName"), QStringLiteral("Album")},
        {QStringLiteral("ProductVersion"), QStringLiteral("2.4")},
    };
    const QByteArray older = tree.file("home/ann/.wine/drive_c/Program Files/Album/album.exe",
                                       test::PeBuilder::image(&v));
    v.strings[2].second = QStringLiteral("2.5.0.7");
    v.strings[7].second = QStringLiteral("2.5");
    tree.file("home/ann/Downloads/album.exe", test::PeBuilder::image(&v));
    tree.setTimes("home/ann/.wine/drive_c/Program Files/Album/album.exe", 1600000000, 1600000000);
    {
        TfrmDetails details(older);
        details.show();
        save(details, "details.png");
    }
    TfrmDupCompare compare(nullptr);
    TfrmDup::Tools tools;
    tools.comparePairs = [&](TfrmDup& source) { compare.showFor(source); };
    tools.view = [](const QByteArray&) {};
    TfrmDup dup(true, nullptr, nullptr, tools);
    dup.setDriveEntries(
        test::folderEntries({tree.path("home/ann/.wine"), tree.path("home/ann/Downloads")}));
    dup.findChild<QComboBox*>(QStringLiteral("cbKB1"))->setCurrentIndex(0);
    dup.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(0);
    dup.show();
    dup.btScanClick();
    dup.grid()->setCurrentRow(1);
    compare.showFor(dup);
    compare.btComputeClick();
    save(compare, "pair-comparison.png");
    compare.release();
}

// The folder hogs with the treemap below the grid, on a home folder of some thousand
// files (sparse, so the tree costs no disk). DW_TREEMAP_FOLDER=/usr scans that folder
// instead and writes the picture to the temporary folder, to look at a real tree.
TEST(ReadmePictures, FolderHogsTreemap) {
    test::TempTree tree;
    QTemporaryDir config;
    test::ScopedEnv configDir{"DISKWELL_CONFIG_DIR", config.path().toLocal8Bit()};
    test::ScriptedPrompter prompter;
    QByteArray start = tree.dir("home/ann");
    const QByteArray look = qgetenv("DW_TREEMAP_FOLDER");
    if (look.isEmpty()) {
        const struct {
            const char* folder;
            const char* ext;
            int count;
            qint64 size;
        } kinds[] = {
            {"Videos/Holiday 2025", ".mp4", 14, 180'000'000},
            {"Videos/Films", ".mkv", 6, 900'000'000},
            {"Music/Albums/Live at the Hall", ".flac", 18, 31'000'000},
            {"Music/Albums/Quiet Hours", ".flac", 12, 28'000'000},
            {"Music/Podcasts", ".mp3", 40, 6'000'000},
            {"Pictures/Phone backup/DCIM/Camera", ".jpg", 260, 3'200'000},
            {"Pictures/Holiday 2025", ".jpg", 120, 4'100'000},
            {"Pictures/Scans", ".png", 60, 2'600'000},
            {"Documents/Reports", ".pdf", 45, 1'900'000},
            {"Documents/Letters", ".odt", 80, 300'000},
            {"Downloads", ".iso", 3, 2'400'000'000},
            {"Downloads/Installers", ".deb", 25, 40'000'000},
            {"Downloads/Archives", ".zip", 16, 120'000'000},
            {"Projects/diskwell/build", ".o", 300, 400'000},
            {"Projects/diskwell/src", ".cpp", 200, 20'000},
            {"Projects/website/images", ".png", 50, 700'000},
            {".cache/thumbnails", ".png", 10, 10'000},
        };
        quint32 seed = 7;
        for (const auto& k : kinds) {
            for (int i = 0; i < k.count; ++i) {
                seed = seed * 1103515245u + 12345u;
                const qint64 size = k.size / 2 + qint64(seed % 1000) * k.size / 1000;
                const QByteArray made = tree.file(QByteArray("home/ann/") + k.folder + "/file " +
                                                  QByteArray::number(i) + k.ext);
                ASSERT_TRUE(QFile(QFile::decodeName(made)).resize(size));  // sparse
            }
        }
    } else {
        start = look;
    }
    SafeHarbor harbor;
    TfrmDirHog w(harbor);
    DriveEntry e;
    e.kind = DriveEntry::Kind::ExtraFolder;
    e.startFolder = start;
    e.text = QFile::decodeName(start);
    e.checked = true;
    w.driveList()->setEntries({e});
    w.resize(960, 820);
    w.show();
    w.btAllClick();
    w.treemap()->finishDrawing();
    const auto model = w.treemap()->tree();
    ASSERT_TRUE(model);
    w.grid()->setCurrentRow(2);
    QTest::qWait(150);
    w.treemap()->finishDrawing();
    const QRect outlined = w.treemap()->tileRect(w.treemap()->outlined());
    QTest::mouseMove(w.treemap()->map(), outlined.isEmpty() ? QPoint(200, 100) : outlined.center());
    if (look.isEmpty()) {
        save(w, "folder-hogs-treemap.png");
    } else {
        QTest::qWait(150);
        w.grab().save(QDir::tempPath() + QStringLiteral("/folder-hogs-look.png"));
    }
}

// Same contents in a dark theme: the shaded bands and the text on them.
TEST(ReadmePictures, DarkTheme) {
    test::TempTree tree;
    QTemporaryDir config;
    test::ScopedEnv configDir{"DISKWELL_CONFIG_DIR", config.path().toLocal8Bit()};
    test::ScriptedPrompter prompter;
    test::ScopedDarkPalette dark;
    makeSampleHome(tree);
    TfrmDup dup(true, nullptr, nullptr, {});
    dup.resize(1120, 560);
    dup.setDriveEntries(test::folderEntries({tree.path("home/ann")}));
    dup.findChild<QComboBox*>(QStringLiteral("cbKB1"))->setCurrentIndex(0);
    dup.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(0);
    dup.show();
    dup.btScanClick();
    for (int row : {2, 5}) {
        dup.grid()->setCurrentRow(row);
        dup.findChild<QPushButton*>(QStringLiteral("btMark"))->click();
    }
    dup.grid()->setCurrentRow(1);
    save(dup, "dark-theme.png");
}

// The browser on a folder of downloads: types from the whole extension, a name too long
// for its column, the folder tree with its siblings and the Options button.
TEST(ReadmePictures, Browse) {
    // The tree lists the siblings of every folder on the way down: at the root, only the
    // system's own folders stand beside the sample's.
    QTemporaryDir config;
    test::ScopedEnv configDir{"DISKWELL_CONFIG_DIR", config.path().toLocal8Bit()};
    test::ScopedEnv tmp{"TMPDIR", "/"};
    test::TempTree tree;
    test::ScriptedPrompter prompter;
    makeSampleHome(tree);
    for (const char* name :
         {"Downloads/setup.exe", "Downloads/notes.txt", "Downloads/photos-2025.tar.gz",
          "Downloads/Minutes of the annual general meeting of the allotment society, "
          "held in the village hall on the first Saturday of March.odt",
          "Downloads/README"}) {
        tree.fileOfSize(QByteArray("home/ann/") + name, 120'000);
    }
    tree.dir("home/ann/Desktop");
    tree.dir("home/ann/Templates");
    SafeHarbor harbor;
    TfrmBrowse w(harbor);
    w.resize(980, 520);
    w.setFolder(tree.path("home/ann/Downloads"));
    w.show();
    w.grid()->setCurrentRow(1);
    save(w, "browse.png");
}

// Folder hogs after a scan of a tree whose deepest folder has a path of 5,000
// characters: the status line shows both ends of it and the window keeps its width.
TEST(ReadmePictures, FolderHogsWithALongPath) {
    test::TempTree tree;
    QTemporaryDir config;
    test::ScopedEnv configDir{"DISKWELL_CONFIG_DIR", config.path().toLocal8Bit()};
    test::ScriptedPrompter prompter;
    makeSampleHome(tree);
    test::DeepChain chain(tree.dir("home/ann/Archive"), 25,
                          "a folder name that goes on and on and on for a very long while "
                          "before it finally comes to an end, as names in old archives "
                          "sometimes do when they were copied from one disk to another "
                          "and back again");
    ASSERT_TRUE(chain.made());
    SafeHarbor harbor;
    TfrmDirHog w(harbor);
    DriveEntry e;
    e.kind = DriveEntry::Kind::ExtraFolder;
    e.startFolder = tree.path("home/ann");
    e.text = QFile::decodeName(e.startFolder);
    e.checked = true;
    w.driveList()->setEntries({e});
    w.resize(960, 700);
    w.show();
    w.btAllClick();
    w.grid()->setCurrentRow(w.rowOf(chain.bottom()));
    save(w, "folder-hogs-long-path.png");
}

}  // namespace
}  // namespace dw
