#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QTimer>
#include <QToolTip>

#include <cmath>
#include <functional>
#include <memory>

#include "app/about_box.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "finders/ui/browse_window.h"
#include "finders/ui/dir_hog_window.h"
#include "platform/environment.h"
#include "safety/ui/keep_files_dialog.h"
#include "safety/ui/no_delete_window.h"
#include "scan/ui/add_new_folder_dialog.h"
#include "stats/ui/statistics_window.h"
#include "stats/ui/which_drive_dialog.h"
#include "support/dark_palette.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/backdrop.h"

namespace dw {
namespace {

using platform::MessageKind;
using platform::Sound;
using Tool = TfrmMain::Tool;

const QString kGateMessage = QStringLiteral(
    "The Safe Harbor list of folders/files not to delete has not been created yet.  "
    "Click on the Build Safe Harbor button to initialize.");

// Each test gets a settings folder of its own, with or without a Safe Harbor list.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(config_.isValid()); }

    void writeSafeHarborList() {
        QFile f(config_.path() + QStringLiteral("/folders.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("/opt/app/*.*\n");
    }

    QPushButton* button(TfrmMain& w, const char* name) {
        auto* b = w.findChild<QPushButton*>(QLatin1String(name));
        EXPECT_NE(b, nullptr) << name;
        return b;
    }

    QTemporaryDir config_;
    test::ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_.path().toLocal8Bit()};
};

struct ButtonCase {
    const char* name;
    const char* caption;
    const char* tip;
    Tool tool;
    bool gated;
};

const ButtonCase kToolButtons[] = {
    {"btDuplicates", "&Duplicate files", "Locate duplicate files", Tool::Duplicates, true},
    {"btFileHogs", "&File hogs", "Locate large files", Tool::FileHogs, true},
    {"btFilesAccessed", "Files &accessed", "Locate old and recent files", Tool::FilesAccessed,
     true},
    {"btFolderHogs", "Folder &hogs", "Locate folders taking the most space", Tool::FolderHogs,
     true},
    {"btQuickClean", "&Quick clean", "Quickly clean up temporary files", Tool::QuickClean, true},
    {"btStatistics", "&Statistics", "Compute disk statistics", Tool::Statistics, false},
    {"btBrowse", "&Browse", "Browse through disks/folders", Tool::Browse, true},
    {"btClearInternet", "&Clear internet files", "Clean up web browser cache folders",
     Tool::ClearInternetFiles, true},
    {"btUnzip", "&Unzip archive files",
     "Unzip files that have been zipped up by Diskwell (compressed)", Tool::UnzipArchives, false},
};

TEST_F(MainWindowTest, WindowAndButtonsCarryTheirCaptionsAndTips) {
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Diskwell 99 Version 3.0 from Brightwater Systems"));
    EXPECT_EQ(w.size(), QSize(557, 428));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
              QStringLiteral("Diskwell 99"));
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("lblMaker"))->text(),
              QStringLiteral("Brightwater Systems"));

    for (const ButtonCase& c : kToolButtons) {
        QPushButton* b = button(w, c.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text(), QLatin1String(c.caption)) << c.name;
        EXPECT_EQ(b->toolTip(), QLatin1String(c.tip)) << c.name;
    }
    const ButtonCase others[] = {
        {"btBuild", "Bui&ld safe harbor",
         "Build list of folders that will not be deleted in Diskwell without warning",
         Tool::BuildSafeHarbor, false},
        {"btAbout", "Ab&out", "", Tool::Statistics, false},
        {"btHelp", "H&elp", "", Tool::Statistics, false},
        {"btExit", "E&xit", "Quit and close ", Tool::Statistics, false},
    };
    for (const ButtonCase& c : others) {
        QPushButton* b = button(w, c.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text(), QLatin1String(c.caption)) << c.name;
        EXPECT_EQ(b->toolTip(), QLatin1String(c.tip)) << c.name;
    }
    EXPECT_EQ(w.findChildren<QPushButton*>().size(), 13);

    // Every button has an accelerator of its own: a key two buttons share only moves
    // the focus between them.
    QSet<QKeySequence> keys;
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        const QKeySequence key = QKeySequence::mnemonic(b->text());
        EXPECT_FALSE(key.isEmpty()) << b->text().toStdString();
        EXPECT_FALSE(keys.contains(key)) << b->text().toStdString();
        keys.insert(key);
    }
}

// Enter and Return press the focused button, as Space does.
TEST_F(MainWindowTest, EnterPressesTheFocusedButton) {
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    w.show();
    QSignalSpy opened(&w, &TfrmMain::toolOpened);
    QPushButton* build = button(w, "btBuild");
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        build->setFocus();
        QTest::keyClick(build, key);
    }
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.value(0).value(0).value<TfrmMain::Tool>(), TfrmMain::Tool::BuildSafeHarbor);
}

TEST_F(MainWindowTest, GateRefusesEveryGatedToolWhileTheListIsMissing) {
    test::ScriptedPrompter prompter;
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    w.show();
    ASSERT_TRUE(w.safeHarborMissing());
    QSignalSpy opened(&w, &TfrmMain::toolOpened);

    for (const ButtonCase& c : kToolButtons) {
        prompter.clear();
        opened.clear();
        // The mode must not move when the gate refuses.
        w.DuplicateMode = (c.tool == Tool::FileHogs);
        const bool modeBefore = w.DuplicateMode;
        button(w, c.name)->click();
        EXPECT_EQ(w.DuplicateMode, modeBefore) << c.name;
        if (c.gated) {
            ASSERT_EQ(prompter.boxes().size(), 1) << c.name;
            EXPECT_EQ(prompter.boxes()[0].text, kGateMessage);
            EXPECT_EQ(prompter.boxes()[0].kind, MessageKind::Error);
            EXPECT_EQ(prompter.sounds(), QList<Sound>{Sound::Exclamation});
            EXPECT_TRUE(opened.isEmpty()) << c.name;
        } else {
            EXPECT_TRUE(prompter.boxes().isEmpty()) << c.name;
            ASSERT_EQ(opened.size(), 1) << c.name;
            EXPECT_EQ(opened[0][0].value<Tool>(), c.tool);
        }
    }
}

TEST_F(MainWindowTest, GateOpensToolsOnceTheListExistsWithoutRestarting) {
    test::ScriptedPrompter prompter;
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    w.show();
    ASSERT_TRUE(w.safeHarborMissing());

    // What the Safe Harbor window does after a build: save the list, reload.
    writeSafeHarborList();
    w.GetSearchPath();
    EXPECT_FALSE(w.safeHarborMissing());

    QSignalSpy opened(&w, &TfrmMain::toolOpened);
    for (const ButtonCase& c : kToolButtons) {
        opened.clear();
        button(w, c.name)->click();
        ASSERT_EQ(opened.size(), 1) << c.name;
        EXPECT_EQ(opened[0][0].value<Tool>(), c.tool);
    }
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

// Runs `step` on the Safe Harbor window once it is up, then closes it with "Close".
void onSafeHarborWindow(std::function<void(TfrmNoDelete&)> step) {
    test::onModal<TfrmNoDelete>([step](TfrmNoDelete& window) {
        step(window);
        window.btClose->click();
    });
}

// The first run: the gate refuses, "Build &safe harbor" builds a list from the
// configuration trees, and the tools open at once, with the folders found protected.
TEST_F(MainWindowTest, BuildOpensTheGateWithoutRestarting) {
    test::TempTree t;
    const QByteArray r = platform::shortPath(t.root());
    t.dir("app/data");
    t.file("etc/app.conf", "DataDir=" + r + "/app/data/\n");
    test::ScopedEnv machine("DISKWELL_HARBOR_MACHINE_ROOTS", r + "/etc");
    test::ScopedEnv user("DISKWELL_HARBOR_USER_ROOTS", QByteArray());

    test::ScriptedPrompter prompter;
    TfrmMain w;
    w.show();
    w.setToolWindowsEnabled(false);
    button(w, "btDuplicates")->click();
    EXPECT_EQ(prompter.texts(), QStringList{kGateMessage});

    w.setToolWindowsEnabled(true);
    prompter.clear();
    prompter.script({platform::Answer::Yes});
    bool built = false;
    onSafeHarborWindow([&built](TfrmNoDelete& window) {
        window.btBuildClick();
        built = !window.entries().isEmpty();
    });
    button(w, "btBuild")->click();
    EXPECT_TRUE(built);
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_TRUE(prompter.boxes()[0].text.startsWith(
        QStringLiteral("Diskwell will now scan the registry for references to folders.")));

    EXPECT_FALSE(w.safeHarborMissing());
    EXPECT_TRUE(QFile::exists(config_.path() + QStringLiteral("/folders.txt")));
    int reason = 0;
    EXPECT_TRUE(w.safeHarbor().isInSafeHarbor(r + "/app/data/file.dat", true, reason));
    EXPECT_EQ(reason, SafeHarbor::kReasonFolderList);

    w.setToolWindowsEnabled(false);
    prompter.clear();
    QSignalSpy opened(&w, &TfrmMain::toolOpened);
    button(w, "btDuplicates")->click();
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

// The extensions count for the lookup once their editor has been closed, and the window
// then asks the main window to reload; a build that finds nothing keeps the gate shut.
TEST_F(MainWindowTest, ExtensionEditorAndAnEmptyBuildReloadTheLookup) {
    test::TempTree t;
    test::ScopedEnv machine("DISKWELL_HARBOR_MACHINE_ROOTS", t.root() + "/none");
    test::ScopedEnv user("DISKWELL_HARBOR_USER_ROOTS", QByteArray());
    test::ScriptedPrompter prompter;
    TfrmMain w;
    w.show();
    EXPECT_TRUE(w.safeHarbor().lbExt().isEmpty());

    onSafeHarborWindow([](TfrmNoDelete& window) {
        test::onModal<TfrmKeepFiles>([](TfrmKeepFiles& editor) { editor.btClose->click(); });
        window.BitBtn1->click();
    });
    button(w, "btBuild")->click();
    EXPECT_EQ(w.safeHarbor().lbExt(), (QList<QByteArray>{"*.drv", "*.sys"}));
    EXPECT_TRUE(w.safeHarbor().isInSafeHarbor("/srv/x/driver.sys", true));

    prompter.script({platform::Answer::Yes});
    onSafeHarborWindow([](TfrmNoDelete& window) { window.btBuildClick(); });
    button(w, "btBuild")->click();
    EXPECT_TRUE(w.safeHarborMissing());
    EXPECT_FALSE(QFile::exists(config_.path() + QStringLiteral("/folders.txt")));
    EXPECT_EQ(
        SettingsStore().readString(QStringLiteral("Folders"), QStringLiteral("When"), QString()),
        QStringLiteral("Not recorded"));
    w.setToolWindowsEnabled(false);
    prompter.clear();
    button(w, "btFolderHogs")->click();
    EXPECT_EQ(prompter.texts(), QStringList{kGateMessage});
}

TEST_F(MainWindowTest, FolderHogsOpensTheFolderHogsWindow) {
    writeSafeHarborList();
    TfrmMain w;
    w.show();
    QString caption;
    test::onModal<TfrmDirHog>([&caption](TfrmDirHog& window) {
        caption = window.windowTitle();
        window.reject();
    });
    button(w, "btFolderHogs")->click();
    EXPECT_EQ(caption, QStringLiteral("Folder Hogs"));
}

TEST_F(MainWindowTest, BrowseOpensTheBrowserOnTheCurrentFolder) {
    writeSafeHarborList();
    TfrmMain w;
    w.show();
    QByteArray folder;
    test::onModal<TfrmBrowse>([&folder](TfrmBrowse& window) {
        folder = window.folder();
        window.reject();
    });
    button(w, "btBrowse")->click();
    EXPECT_EQ(folder, platform::currentFolder());
}

TEST_F(MainWindowTest, DuplicateModeIsSetAnewBeforeEveryOpening) {
    writeSafeHarborList();
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    w.show();
    button(w, "btDuplicates")->click();
    EXPECT_TRUE(w.DuplicateMode);
    button(w, "btFileHogs")->click();
    EXPECT_FALSE(w.DuplicateMode);
    button(w, "btDuplicates")->click();
    EXPECT_TRUE(w.DuplicateMode);
}

TEST_F(MainWindowTest, FirstShowReadsTheArchiveFolderAndTurnsOnTips) {
    {
        TfrmMain w;
        w.setToolWindowsEnabled(false);
        w.show();
        EXPECT_EQ(w.DefaultZipPath, defaultZipFolder());
    }
    ASSERT_TRUE(SettingsStore().writeString(QStringLiteral("ZipFile"), QStringLiteral("Path"),
                                            QStringLiteral("/srv/archives")));
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    w.show();
    EXPECT_EQ(w.DefaultZipPath, QStringLiteral("/srv/archives"));
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), QColor(245, 249, 136));
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 1000);
}

TEST_F(MainWindowTest, ColourDepthChoosesTheBackground) {
    const struct {
        int depth;
        Backdrop::Mode mode;
    } cases[] = {
        {1, Backdrop::Mode::Gradient},      {8, Backdrop::Mode::Gradient},
        {14, Backdrop::Mode::Gradient},     {15, Backdrop::Mode::TiledPicture},
        {16, Backdrop::Mode::TiledPicture}, {32, Backdrop::Mode::TiledPicture},
    };
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    for (const auto& c : cases) {
        w.FormShow(c.depth);
        EXPECT_EQ(w.backdrop()->mode(), c.mode) << c.depth;
    }
}

// WCAG contrast ratio of two colours (1 to 21).
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(MainWindowTest, TitleAndBottomLabelsAreReadableOnBothBackgrounds) {
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    for (int depth : {8, 32}) {
        SCOPED_TRACE(depth);
        w.FormShow(depth);
        const QColor text = w.labelColour();
        for (const char* name : {"lblTitle", "lblMaker", "lblWeb"}) {
            EXPECT_TRUE(
                w.findChild<QLabel*>(QLatin1String(name))->styleSheet().contains(text.name()))
                << name;
        }
        // Against every colour of the background behind them: the gradient runs from
        // blue to black, the picture's tile is light grey-blue.
        EXPECT_GE(contrast(text, depth == 8 ? QColor(Qt::blue) : QColor(222, 231, 240)), 4.5);
        if (depth == 8) {
            EXPECT_GE(contrast(text, QColor(Qt::black)), 4.5);
        }
    }
}

TEST_F(MainWindowTest, TheProgramStartsInTheUsersHomeFolder) {
    test::TempTree home;
    test::ScopedEnv homeVar("HOME", home.root());
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QStringLiteral("/")));
    EXPECT_TRUE(enterHomeFolder());
    EXPECT_EQ(QDir::currentPath(), QFile::decodeName(home.root()));
    QDir::setCurrent(before);
}

// Every page of the guide reaches only what the program carries: each link to another
// page and each picture is among its resources.
TEST(GuidePages, LinksAndPicturesAreAllThere) {
    const QRegularExpression ref(QStringLiteral("(?:href|src)=\"([^\"#:]+)[\"#]"));
    const QStringList pages = QDir(QStringLiteral(":/help")).entryList({QStringLiteral("*.html")});
    ASSERT_FALSE(pages.isEmpty());
    int pictures = 0;
    for (const QString& page : pages) {
        QFile f(QStringLiteral(":/help/") + page);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << page.toStdString();
        const QString text = QString::fromUtf8(f.readAll());
        for (auto it = ref.globalMatch(text); it.hasNext();) {
            const QString target = it.next().captured(1);
            EXPECT_TRUE(QFile::exists(QStringLiteral(":/help/") + target))
                << page.toStdString() << " refers to " << target.toStdString();
            pictures += target.endsWith(QStringLiteral(".png")) ? 1 : 0;
        }
    }
    EXPECT_GT(pictures, 0);  // the folder hogs' treemap at least
}

TEST_F(MainWindowTest, F1OpensTheGuideAtThePageOfTheWindowInUseAndEscClosesIt) {
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QWidget* focus = button(w, "btDuplicates");
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_F1);
    ASSERT_NE(w.helpViewer(), nullptr);
    EXPECT_TRUE(w.helpViewer()->isVisible());
    EXPECT_EQ(w.helpViewer()->currentPage(), QUrl(QStringLiteral("qrc:/help/main-window.html")));
    QTest::keyClick(w.helpViewer(), Qt::Key_Escape);
    EXPECT_FALSE(w.helpViewer()->isVisible());

    // Over a modal window: a viewer of its own (a modal window blocks the main one's),
    // at that window's page.
    QDialog panel(&w);
    panel.setObjectName(QStringLiteral("frmReallyDelete"));
    auto* inside = new QPushButton(QStringLiteral("x"), &panel);
    HelpViewer* shown = nullptr;
    QTimer::singleShot(0, &panel, [&] {
        inside->setFocus();
        QTest::keyClick(inside, Qt::Key_F1);
        shown = panel.findChild<HelpViewer*>();
        if (shown) {
            EXPECT_TRUE(shown->isVisible());
            EXPECT_EQ(shown->currentPage(), QUrl(QStringLiteral("qrc:/help/deletion.html")));
            QTest::keyClick(shown, Qt::Key_Escape);
            EXPECT_FALSE(shown->isVisible());
        }
        panel.reject();
    });
    panel.exec();
    EXPECT_NE(shown, nullptr);
    EXPECT_FALSE(w.helpViewer()->isVisible());
}

TEST_F(MainWindowTest, EnterPressesTheFocusedButtonNotTheDefaultOneInEveryDialog) {
    test::ScriptedPrompter prompter;
    const struct {
        const char* window;
        std::function<QDialog*()> make;
        const char* focused;
        const char* byDefault;
    } cases[] = {
        {"frmAddNewFolder", [] { return new TfrmAddNewFolder; }, "btDel", "Button1"},
        {"frmNoDelete", [] { return new TfrmNoDelete; }, "btDel", "btBuild"},
        {"frmWhichDrive", [] { return new TfrmWhichDrive; }, "btCancel", "btNext1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window);
        std::unique_ptr<QDialog> d(c.make());
        d->show();
        d->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
        auto* focused = d->findChild<QPushButton*>(QLatin1String(c.focused));
        auto* byDefault = d->findChild<QPushButton*>(QLatin1String(c.byDefault));
        ASSERT_NE(focused, nullptr);
        ASSERT_NE(byDefault, nullptr);
        QSignalSpy pressed(focused, &QPushButton::clicked);
        QSignalSpy defaultPressed(byDefault, &QPushButton::clicked);
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key_Return);
        EXPECT_EQ(pressed.count(), 1);
        EXPECT_EQ(defaultPressed.count(), 0);
    }
}

TEST(HelpTopics, AWindowsPageIsThatOfItsNearestWindowWithAPage) {
    QWidget main;
    main.setObjectName(QStringLiteral("frmMain"));
    QWidget finder(&main);
    finder.setObjectName(QStringLiteral("frmDup"));
    QWidget chooser(&finder);
    chooser.setObjectName(QStringLiteral("frmSelectExtension"));
    QWidget field(&chooser);
    QWidget options(&finder);
    options.setObjectName(QStringLiteral("frmZipOptions"));
    QWidget viewer(&finder);
    viewer.setObjectName(QStringLiteral("frmView"));
    QWidget alone;
    const struct {
        const QWidget* w;
        const char* page;
    } cases[] = {
        {&main, "main-window.html"}, {&finder, "duplicates.html"}, {&field, "duplicates.html"},
        {&options, "archives.html"}, {&alone, "index.html"},       {nullptr, "index.html"},
        {&viewer, "viewer.html"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HelpViewer::topicUrl(HelpViewer::topicOf(c.w)).fileName(), QLatin1String(c.page))
            << c.page;
    }
}

TEST_F(MainWindowTest, HelpOpensTheGuideAtItsContents) {
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    w.show();
    button(w, "btHelp")->click();
    ASSERT_NE(w.helpViewer(), nullptr);
    EXPECT_TRUE(w.helpViewer()->isVisible());
    EXPECT_EQ(w.helpViewer()->currentPage(), QUrl(QStringLiteral("qrc:/help/index.html")));
    EXPECT_EQ(w.helpViewer()->currentTitle(), QStringLiteral("Diskwell 99 Help: Contents"));
    // Every page the guide links to exists.
    for (int topic : {1000, 1010, 1020, 1030}) {
        const QUrl url = HelpViewer::topicUrl(topic);
        EXPECT_TRUE(QFile::exists(QLatin1Char(':') + url.path())) << topic;
    }
    EXPECT_EQ(HelpViewer::topicUrl(424242), HelpViewer::topicUrl(HelpViewer::kContentsTopic));
}

TEST_F(MainWindowTest, TheGuidesTableHeadingsStayReadableInADarkTheme) {
    test::ScopedDarkPalette dark;
    HelpViewer help;
    help.showTopic(1050);
    auto* browser = help.findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    const QColor text = browser->palette().color(QPalette::Text);
    QTextTable* table = nullptr;
    for (QTextBlock b = browser->document()->begin(); b.isValid() && !table; b = b.next()) {
        table = QTextCursor(b).currentTable();
    }
    ASSERT_NE(table, nullptr);
    const QTextTableCell heading = table->cellAt(0, 0);
    const QColor band = heading.format().background().color();
    QColor ink = heading.firstCursorPosition().charFormat().foreground().color();
    if (!heading.firstCursorPosition().charFormat().hasProperty(QTextFormat::ForegroundBrush)) {
        ink = text;
    }
    EXPECT_TRUE(heading.format().hasProperty(QTextFormat::BackgroundBrush));
    EXPECT_GE(test::contrastRatio(band, ink), 4.5)
        << band.name().toStdString() << " " << ink.name().toStdString();
}

TEST_F(MainWindowTest, MakerLabelsAndAboutButtonOpenTheAboutBox) {
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    w.show();
    QString seen;
    for (const char* target : {"lblMaker", "lblWeb"}) {
        seen.clear();
        test::onModal<TfrmAbout>([&seen](TfrmAbout& about) {
            seen = about.windowTitle();
            about.close();
        });
        QTest::mouseClick(w.findChild<QLabel*>(QLatin1String(target)), Qt::LeftButton);
        EXPECT_EQ(seen, QStringLiteral("How to contact us")) << target;
    }
    seen.clear();
    test::onModal<TfrmAbout>([&seen](TfrmAbout& about) {
        seen = about.windowTitle();
        about.close();
    });
    button(w, "btAbout")->click();
    EXPECT_EQ(seen, QStringLiteral("How to contact us"));
}

TEST_F(MainWindowTest, ExitClosesTheWindow) {
    TfrmMain w;
    w.setToolWindowsEnabled(false);
    w.show();
    ASSERT_TRUE(w.isVisible());
    button(w, "btExit")->click();
    EXPECT_FALSE(w.isVisible());
}

TEST(AboutBox, ShowsTheProgramAndReportsABrowserThatCannotStart) {
    TfrmAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("How to contact us"));
    QStringList texts;
    for (QLabel* l : about.findChildren<QLabel*>())
        texts << l->text();
    for (const char* expected : {"Diskwell 99", "Version 3.0", "Brightwater Systems"}) {
        EXPECT_TRUE(texts.contains(QLatin1String(expected))) << expected;
    }

    // With no desktop opener on the search path the browser cannot start.
    test::ScriptedPrompter prompter;
    {
        test::ScopedEnv noOpener("PATH", QByteArray("/nonexistent"));
        EXPECT_FALSE(about.openHomePage());
    }
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_EQ(prompter.boxes()[0].text,
              QStringLiteral("Unable to start web browser. Make sure you have it properly "
                             "set-up on your system."));
    EXPECT_EQ(prompter.boxes()[0].kind, MessageKind::Error);
}

// "&Statistics" needs no Safe Harbor list and shows one window, not modal, that closing
// only hides: pressed again, the same window comes back with what it showed.
TEST_F(MainWindowTest, StatisticsIsOneWindowThatClosingHides) {
    test::ScriptedPrompter prompter;
    TfrmMain w;
    w.show();
    ASSERT_TRUE(w.safeHarborMissing());
    EXPECT_EQ(w.statisticsWindow(), nullptr);
    button(w, "btStatistics")->click();
    TfrmStatistics* stats = w.statisticsWindow();
    ASSERT_NE(stats, nullptr);
    EXPECT_TRUE(stats->isVisible());
    EXPECT_FALSE(stats->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    stats->showPage(TfrmStatistics::kDeleted);
    stats->btCancel->click();
    EXPECT_FALSE(stats->isVisible());
    button(w, "btStatistics")->click();
    EXPECT_EQ(w.statisticsWindow(), stats);
    EXPECT_TRUE(stats->isVisible());
    EXPECT_EQ(stats->currentPage(), TfrmStatistics::kDeleted);
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

}  // namespace
}  // namespace dw
