#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <QUrl>

#include "base/utility.h"
#include "inspect/ui/find_dialog.h"
#include "inspect/ui/view_window.h"
#include "platform/environment.h"
#include "support/modal.h"
#include "support/scoped_env.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/clipboard.h"
#include "widgets/file_text_view.h"

namespace dw {
namespace {

using test::onModal;

class ViewWindow : public ::testing::Test {
protected:
    test::TempTree tree_;
    test::ScopedEnv config_{"DISKWELL_CONFIG_DIR", tree_.dir("config")};
    test::ScopedEnv tmp_{"TMPDIR", tree_.dir("tmp")};
    test::ScriptedPrompter prompter_;

    void SetUp() override { lastFindSettings() = {}; }

    // A viewer on `content`, shown, with its lines counted.
    std::unique_ptr<TfrmView> open(const QByteArray& content, const QByteArray& name = "f.txt") {
        auto w = std::make_unique<TfrmView>();
        w->setFileToView(tree_.file(name, content));
        w->show();
        w->viewer()->readToEnd();
        QApplication::processEvents();
        return w;
    }
    // Lets the search or the strings running on their worker come to their end.
    static void finish(TfrmView& w) {
        const QDeadlineTimer deadline(60000);
        while (w.isBusy() && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(1);
        }
        EXPECT_FALSE(w.isBusy()) << "the work on the worker did not end";
        QApplication::processEvents();
    }
    static void find(TfrmView& w) {
        w.Find1Click();
        finish(w);
    }
    static void findNext(TfrmView& w) {
        w.FindNext1Click();
        finish(w);
    }
    static void strings(TfrmView& w) {
        w.btStringsClick();
        finish(w);
    }
    static QAction* action(TfrmView& w, const QString& text) {
        for (QAction* menu : w.findChild<QMenuBar*>()->actions()) {
            for (QAction* a : menu->menu()->actions()) {
                if (a->text() == text) {
                    return a;
                }
            }
        }
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    }
    static void answerInput(const QString& text, QString* label = nullptr, QString* title = nullptr,
                            QString* prefilled = nullptr) {
        onModal<QInputDialog>([=](QInputDialog& box) {
            if (label) {
                *label = box.labelText();
            }
            if (title) {
                *title = box.windowTitle();
            }
            if (prefilled) {
                *prefilled = box.textValue();
            }
            box.setTextValue(text);
            box.accept();
        });
    }
    static void answerFind(const QString& text, bool backward, bool matchCase, bool global) {
        onModal<TFindDlg>([=](TFindDlg& d) {
            d.Edit1()->setText(text);
            (backward ? d.RadioButton2() : d.RadioButton1())->setChecked(true);
            d.CheckBox1()->setChecked(matchCase);
            d.CheckBox2()->setChecked(global);
            d.accept();
        });
    }
};

TEST_F(ViewWindow, StatusAndMenuStatesFollowTheFile) {
    const struct {
        const char* what;
        QByteArray content;
        QStringList sections;
        bool hasLines;
    } cases[] = {
        {"empty file", "", {"1:1     ", "Total: 0", "Top: 1    ", "Bytes: 0"}, false},
        {"three lines",
         "one\ntwo\nthree\n",
         {"1:1     ", "Total: 3", "Top: 1    ", "Bytes: 14"},
         true},
        {"no line end", "x", {"1:1     ", "Total: 1", "Top: 1    ", "Bytes: 1"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto w = open(c.content);
        EXPECT_EQ(w->windowTitle(),
                  QStringLiteral("View File : ") + QFile::decodeName(tree_.path("f.txt")));
        EXPECT_EQ(w->statusSections(), c.sections);
        for (const char* item : {"&Find...", "&Go to line...", "&Select all", "&Print..."}) {
            EXPECT_EQ(action(*w, QLatin1String(item))->isEnabled(), c.hasLines) << item;
        }
        EXPECT_EQ(w->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->isEnabled(), c.hasLines);
        // Find next also needs a search text, and there has been none.
        EXPECT_FALSE(action(*w, QStringLiteral("Find &next"))->isEnabled());
        EXPECT_FALSE(action(*w, QStringLiteral("&Copy"))->isEnabled());
    }
    EXPECT_TRUE(prompter_.boxes().isEmpty());
}

TEST_F(ViewWindow, GoToLineMovesTheCaretOrIgnoresWhatIsNoNumber) {
    auto w = open("one\ntwo\nthree\n");
    const struct {
        QString typed;
        QString section0;
    } cases[] = {
        {"2", "2:1     "},  {" 3 ", "3:1     "},
        {"x2", "3:1     "},  // ignored: the caret stays
        {"", "3:1     "},   {"1", "1:1     "},
        {"99", "3:1     "},  // beyond the last line: the last line
    };
    for (const auto& c : cases) {
        QString label;
        QString title;
        answerInput(c.typed, &label, &title);
        w->GotoLine1Click();
        EXPECT_EQ(title, QStringLiteral("Go to line number"));
        EXPECT_EQ(label, QStringLiteral("Enter line number (1 to 3)"));
        EXPECT_EQ(w->statusSections().at(0), c.section0) << c.typed.toStdString();
    }
    EXPECT_TRUE(prompter_.boxes().isEmpty());
}

TEST_F(ViewWindow, FindAndFindNextWalkTheMatches) {
    auto w = open("alpha beta\nBeta gamma beta\nnothing\nend beta\n");
    FileTextView* v = w->viewer();
    const auto caret = [&] {
        return QString::number(v->caret().line) + QLatin1Char(':') +
               QString::number(v->caret().column);
    };
    // Find from the caret, then Find next repeats it with the same direction and case.
    answerFind(QStringLiteral("beta"), false, true, false);
    find(*w);
    EXPECT_EQ(caret(), QStringLiteral("0:10"));
    EXPECT_EQ(v->selectedText(), QStringLiteral("beta"));
    EXPECT_TRUE(action(*w, QStringLiteral("Find &next"))->isEnabled());
    EXPECT_TRUE(action(*w, QStringLiteral("&Copy"))->isEnabled());
    const QStringList forward = {"1:15", "3:8"};
    for (const QString& expected : forward) {
        findNext(*w);
        EXPECT_EQ(caret(), expected);
    }
    findNext(*w);
    EXPECT_EQ(caret(), QStringLiteral("3:8"));  // not found: the caret stays
    ASSERT_EQ(prompter_.texts(), QStringList{QStringLiteral("Search string 'beta' not found")});
    EXPECT_EQ(prompter_.boxes().last().kind, platform::MessageKind::Info);
    EXPECT_TRUE(prompter_.sounds().isEmpty());

    // Without match case, backward from the caret: the capital one is found too.
    answerFind(QStringLiteral("BETA"), true, false, false);
    find(*w);
    EXPECT_EQ(caret(), QStringLiteral("1:11"));
    findNext(*w);
    EXPECT_EQ(caret(), QStringLiteral("1:0"));
    findNext(*w);
    EXPECT_EQ(caret(), QStringLiteral("0:6"));

    // Global: from the end backward, from the start forward, wherever the caret is.
    answerFind(QStringLiteral("beta"), true, true, true);
    find(*w);
    EXPECT_EQ(caret(), QStringLiteral("3:4"));
    answerFind(QStringLiteral("beta"), false, true, true);
    find(*w);
    EXPECT_EQ(caret(), QStringLiteral("0:10"));
    EXPECT_EQ(w->statusSections().at(0), QStringLiteral("1:11    "));

    // The next viewer's find dialog opens with the last search.
    auto other = open("x\n", "g.txt");
    QString shown;
    bool global = false;
    onModal<TFindDlg>([&](TFindDlg& d) {
        shown = d.Edit1()->text();
        global = d.CheckBox2()->isChecked();
        d.reject();
    });
    find(*other);
    EXPECT_EQ(shown, QStringLiteral("beta"));
    EXPECT_TRUE(global);
    EXPECT_TRUE(action(*other, QStringLiteral("Find &next"))->isEnabled());
}

// The search matches the text as shown: expanded tabs, stand-ins for control bytes;
// without match case only the ASCII letters fold.
TEST_F(ViewWindow, FindMatchesTheShownText) {
    auto w = open(
        "x\tyz\nCAF\xc3\x89 caf\xc3\xa9 Caf\nab\x01"
        "cd\n");
    FileTextView* v = w->viewer();
    const struct {
        QString text;
        bool matchCase;
        bool found;
        qint64 line;
        qint64 column;  // of the match's end
    } cases[] = {
        {"x  ", true, true, 0, 3},
        {"  YZ", false, true, 0, 10},
        {QString::fromUtf8("b\xc2\xb7"
                           "c"),
         true, true, 2, 4},
        {QString::fromUtf8("caf\xc3\xa9"), false, true, 1, 9},
        {QString::fromUtf8("CAF\xc3\xa9"), false, true, 1, 9},
        {QString::fromUtf8("caf\xc3\x89"), false, true, 1, 4},
        {"cafe", false, false, 0, 0},
        {" Caf", true, true, 1, 13},
        {" caf", true, true, 1, 8},
        {"abcd", false, false, 0, 0},
    };
    for (const auto& c : cases) {
        v->goToLine(0);
        EXPECT_EQ(v->find(c.text, {false, c.matchCase, true}), c.found) << c.text.toStdString();
        if (c.found) {
            EXPECT_EQ(v->caret(), (TextPosition{c.line, c.column})) << c.text.toStdString();
            EXPECT_EQ(v->selectedText().size(), c.text.size());
        } else {
            EXPECT_EQ(v->caret(), (TextPosition{0, 0}));
        }
    }
}

TEST_F(ViewWindow, PrintsAllLinesOrTheSelectionWithItsStartBlanked) {
    const QByteArray long2000(2000, 'w');
    auto w = open("hello world\nabcdef\n" + long2000 + "\n");
    FileTextView* v = w->viewer();
    const struct {
        const char* what;
        TextPosition anchor;
        TextPosition caret;
        QStringList lines;
    } cases[] = {
        {"from column 4 to column 3 of the next line", {0, 4}, {1, 3}, {"    o world", "abc"}},
        {"chosen from the end backward", {1, 3}, {0, 4}, {"    o world", "abc"}},
        {"within one line", {1, 2}, {1, 5}, {"  cde"}},
        {"the long line is cut at 1024", {1, 6}, {2, 2000}, {"      ", QString(1024, 'w')}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        v->setCaret(c.anchor);
        v->setCaret(c.caret, true);
        EXPECT_EQ(w->printedLines(true), c.lines);
    }
    EXPECT_EQ(w->printedLines(false), (QStringList{"hello world", "abcdef", QString(1024, 'w')}));

    // Through the print dialog: a selection is offered only when there is one, and the
    // chosen range prints.
    QTemporaryDir dir;
    QList<bool> offered;
    w->setPrintDialog([&](QPrinter& printer, bool selection) {
        offered.append(selection);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("out%1.pdf").arg(offered.size())));
        printer.setPrintRange(selection ? QPrinter::Selection : QPrinter::AllPages);
        return true;
    });
    w->Print1Click();
    v->goToLine(0);
    w->Print1Click();
    w->setPrintDialog([&](QPrinter&, bool selection) {
        offered.append(selection);
        return false;  // cancelled: nothing printed
    });
    w->Print1Click();
    EXPECT_EQ(offered, (QList<bool>{true, false, false}));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("out1.pdf"))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("out2.pdf"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out3.pdf"))));
    EXPECT_TRUE(prompter_.boxes().isEmpty());
}

TEST_F(ViewWindow, ShowsTextTabsHexAndBytesThatAreNoUtf8) {
    auto w =
        open(QByteArray("a\tb\tc\n\xff\x01z\xc3\xa9\xe2\x82\n\x00"
                        "end",
                        18));
    FileTextView* v = w->viewer();
    EXPECT_EQ(v->lineText(0), QStringLiteral("a       b       c"));
    EXPECT_EQ(v->lineText(1),
              QString::fromUtf8("\xef\xbf\xbd\xc2\xb7z\xc3\xa9\xef\xbf\xbd\xef\xbf\xbd"));
    EXPECT_EQ(v->lineText(2), QString::fromUtf8("\xc2\xb7"
                                                "end"));

    QString title;
    QString label;
    QString prefilled;
    answerInput(QStringLiteral("3"), &label, &title, &prefilled);
    w->TabSize1Click();
    EXPECT_EQ(title, QStringLiteral("Tab Size"));
    EXPECT_EQ(label, QStringLiteral("Enter tab size"));
    EXPECT_EQ(prefilled, QStringLiteral("8"));
    EXPECT_EQ(v->lineText(0), QStringLiteral("a  b  c"));
    for (const char* ignored : {"256", "-1", "four"}) {
        answerInput(QLatin1String(ignored));
        w->TabSize1Click();
        EXPECT_EQ(v->tabSize(), 3) << ignored;
    }
    w->TabExpansion1Click();
    EXPECT_EQ(v->lineText(0), QString::fromUtf8("a\xe2\x86\x92"
                                                "b\xe2\x86\x92"
                                                "c"));

    w->HexMode1Click();
    EXPECT_TRUE(v->hexMode());
    EXPECT_TRUE(w->findChild<QRadioButton*>(QStringLiteral("rbHex"))->isChecked());
    EXPECT_EQ(v->lineText(0),
              QStringLiteral("00000000  61 09 62 09 63 0A FF 01  7A C3 A9 E2 82 0A 00 65  "
                             "a.b.c...z......e"));
    EXPECT_EQ(v->lineText(1), QStringLiteral("00000010  6E 64 ") + QString(44, QLatin1Char(' ')) +
                                  QStringLiteral("nd"));
    EXPECT_EQ(w->statusSections().at(1), QStringLiteral("Total: 2"));
    w->findChild<QRadioButton*>(QStringLiteral("rbAscii"))->click();
    EXPECT_FALSE(v->hexMode());
    EXPECT_FALSE(action(*w, QStringLiteral("&Hex Mode"))->isChecked());
    EXPECT_EQ(w->statusSections().at(1), QStringLiteral("Total: 3"));

    // Select all and copy puts the shown text on the clipboard.
    w->SelectAll1Click();
    w->Copy1Click();
    EXPECT_TRUE(clipboardText().startsWith(QString::fromUtf8("a\xe2\x86\x92")));
    EXPECT_TRUE(clipboardText().endsWith(QStringLiteral("end")));
}

TEST_F(ViewWindow, PeekAtStringsShowsTheRunsInASecondViewerAndRemovesItsFile) {
    const QByteArray nul(1, '\0');
    auto w =
        open("abc" + nul + "hello world" + nul + QByteArray(2024, '\x01') + "across blocks" + nul,
             "bin.dat");
    QStringList lines;
    QByteArray shownFile;
    bool peekShown = true;
    bool hexShown = true;
    QString caption;
    w->setStringsWindow([&](TfrmView& strings) {
        strings.show();
        caption = strings.windowTitle();
        strings.viewer()->readToEnd();
        shownFile = strings.fileToView();
        for (qint64 l = 0; l < strings.viewer()->lineCount(); ++l) {
            lines.append(strings.viewer()->lineText(l));
        }
        peekShown = strings.findChild<QPushButton*>(QStringLiteral("btStrings"))->isVisible();
        hexShown = strings.findChild<QRadioButton*>(QStringLiteral("rbHex"))->isVisible();
        EXPECT_TRUE(test::present(shownFile));
    });
    strings(*w);
    EXPECT_EQ(lines, (QStringList{"hello world", "across blocks"}));
    // Named by the file the strings come from, not by the temporary file that holds them.
    EXPECT_EQ(caption, QStringLiteral("View File : ") + QFile::decodeName(w->fileToView()));
    EXPECT_FALSE(peekShown);
    EXPECT_FALSE(hexShown);
    EXPECT_TRUE(shownFile.startsWith(platform::tempFolder() + "/str"));
    EXPECT_FALSE(test::present(shownFile));
    EXPECT_TRUE(w->findChild<QPushButton*>(QStringLiteral("btStrings"))->isVisible());
    EXPECT_TRUE(prompter_.boxes().isEmpty());

    // A file gone since it was opened: the error, then the strings window, empty.
    ASSERT_TRUE(QFile::remove(QFile::decodeName(w->fileToView())));
    lines.clear();
    strings(*w);
    EXPECT_EQ(prompter_.texts(), QStringList{QStringLiteral("Could not open file ") +
                                             QFile::decodeName(w->fileToView())});
    EXPECT_EQ(prompter_.sounds(), QList<platform::Sound>{platform::Sound::Exclamation});
    EXPECT_EQ(lines, QStringList());
    EXPECT_FALSE(test::present(shownFile));
}

TEST_F(ViewWindow, ADroppedFileOrAMissingOneReplacesTheShownFile) {
    auto w = open("first\n");
    const QByteArray second = tree_.file("second.txt", "second file\n");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QFile::decodeName(second))});
    // As a drag does it: the window takes the drag as it enters, then the drop.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(w->viewer()->path(), second);
    EXPECT_EQ(w->viewer()->lineText(0), QStringLiteral("second file"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("View File : ") + QFile::decodeName(second));

    const QByteArray missing = tree_.path("gone.txt");
    EXPECT_FALSE(w->openFile(missing));
    EXPECT_EQ(prompter_.texts(),
              QStringList{QStringLiteral("Could not open file ") + QFile::decodeName(missing)});
    EXPECT_EQ(w->statusSections().at(3), QStringLiteral("Bytes: 0"));
    EXPECT_FALSE(action(*w, QStringLiteral("&Find..."))->isEnabled());

    // Something that is no stored file is named with its reason.
    const QByteArray link = tree_.symlink("to-pipe", tree_.fifo("pipe"));
    EXPECT_FALSE(w->openFile(link));
    EXPECT_EQ(prompter_.texts().last(), QStringLiteral("Could not open file ") +
                                            QFile::decodeName(link) +
                                            QStringLiteral(": it is not a regular file"));
}

// A 10 GB file of holes opens with its first screen; the total is unknown until the
// count is done and the window closes while it runs.
TEST_F(ViewWindow, OpensATenGigabyteSparseFile) {
    const QByteArray path = tree_.file("huge.bin", "head line\n");
    {
        QFile f(QFile::decodeName(path));
        ASSERT_TRUE(f.resize(10LL * 1000 * 1000 * 1000));
    }
    {
        TfrmView w;
        w.setFileToView(path);
        w.show();
        EXPECT_EQ(w.viewer()->lineText(0), QStringLiteral("head line"));
        EXPECT_EQ(w.viewer()->lineText(1).size(), FilePager::kMaxLineBytes);
        const QStringList sections = w.statusSections();
        EXPECT_EQ(sections.at(3),
                  QStringLiteral("Bytes: ") + FormatThousands(10LL * 1000 * 1000 * 1000));
        if (!w.viewer()->lineCountKnown()) {
            EXPECT_EQ(sections.at(1), QStringLiteral("Total: ?"));
        }
        w.viewer()->goToLine(100);
        EXPECT_EQ(w.statusSections().at(0), QStringLiteral("101:1   "));
        w.HexMode1Click();
        EXPECT_EQ(w.viewer()->lineCount(), 625000000);
        w.viewer()->goToLine(w.viewer()->lineCount() - 1);
        EXPECT_EQ(w.viewer()->lineText(w.viewer()->caret().line).left(9),
                  QStringLiteral("2540BE3F0"));
    }
    EXPECT_TRUE(prompter_.boxes().isEmpty());
}

// Stopped by Esc or by Stop, a search leaves the selection as it was and says nothing,
// and the strings show no window and leave no file; the window stays open.
TEST_F(ViewWindow, StoppingASearchOrTheStringsLeavesAllAsItWas) {
    auto w = open("alpha beta\nbeta\n");
    FileTextView* v = w->viewer();
    auto* stop = w->findChild<QToolButton*>(QStringLiteral("stopCount"));
    v->setCaret({0, 2});
    v->setCaret({0, 4}, true);
    answerFind(QStringLiteral("beta"), false, true, true);
    w->Find1Click();
    // Whatever the worker has found by now is not applied before the window hears of it.
    ASSERT_TRUE(w->isBusy());
    EXPECT_TRUE(stop->isVisible());
    EXPECT_EQ(stop->toolTip(), QStringLiteral("Stop searching"));
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &esc);
    EXPECT_FALSE(w->isBusy());
    finish(*w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(v->selectionStart(), (TextPosition{0, 2}));
    EXPECT_EQ(v->selectionEnd(), (TextPosition{0, 4}));
    EXPECT_FALSE(stop->isVisible());
    // Find next goes on from the untouched caret.
    findNext(*w);
    EXPECT_EQ(v->caret(), (TextPosition{0, 10}));

    bool stringsShown = false;
    w->setStringsWindow([&](TfrmView&) { stringsShown = true; });
    w->btStringsClick();
    ASSERT_TRUE(w->isBusy());
    EXPECT_EQ(stop->toolTip(), QStringLiteral("Stop reading the strings"));
    stop->click();
    EXPECT_FALSE(w->isBusy());
    finish(*w);
    EXPECT_FALSE(stringsShown);
    EXPECT_EQ(QDir(QFile::decodeName(platform::tempFolder())).entryList(QDir::Files),
              QStringList());
    EXPECT_TRUE(w->isVisible());

    // Closed while both run: neither shows anything afterwards.
    findNext(*w);
    const TextPosition caret = v->caret();
    w->btStringsClick();
    w->FindNext1Click();
    w->findChild<QPushButton*>(QStringLiteral("btClose"))->click();
    EXPECT_FALSE(w->isBusy());
    finish(*w);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(stringsShown);
    EXPECT_EQ(v->caret(), caret);
    EXPECT_EQ(QDir(QFile::decodeName(platform::tempFolder())).entryList(QDir::Files),
              QStringList());
    EXPECT_TRUE(prompter_.boxes().isEmpty());
}

// A sparse file searched and read for strings on the worker: matches beyond and before a
// hole of a gigabyte are found on the right line or row, and the strings on both sides.
TEST_F(ViewWindow, FindsAndReadsStringsAcrossTheHolesOfASparseFile) {
    const qint64 size = 1000LL * 1000 * 1000;
    const QByteArray path = tree_.file("holes.bin", "head line\n");
    {
        QFile f(QFile::decodeName(path));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize(size));
        ASSERT_TRUE(f.seek(size));
        f.write("\nneedle here\n");
    }
    TfrmView w;
    w.setFileToView(path);
    w.show();
    FileTextView* v = w.viewer();
    v->readToEnd();
    const qint64 needleLine = v->pager().lineAtOffset(size + 1);
    ASSERT_GT(needleLine, 1);
    const QString dots(3, QChar(0x00B7));
    const struct {
        const char* what;
        bool hex;
        QString text;
        FileTextView::FindOptions options;
        qint64 line;  // -1: not found
    } cases[] = {
        {"forward beyond the hole", false, "needle", {false, true, true}, needleLine},
        {"backward before the hole", false, "HEAD", {true, false, true}, 0},
        {"nowhere", false, "absent", {false, false, true}, -1},
        {"zeros can show the dots: the hole's first line", false, dots, {false, true, true}, 1},
        {"hex forward beyond the hole", true, "needle", {false, true, true}, size / 16},
        {"hex backward before the hole", true, "HEAD", {true, false, true}, 0},
        {"hex nowhere", true, "absent", {true, true, true}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        v->setHexMode(c.hex);
        v->goToLine(2);
        EXPECT_EQ(v->find(c.text, c.options), c.line >= 0);
        if (c.line >= 0) {
            EXPECT_EQ(v->caret().line, c.line);
            EXPECT_EQ(v->selectedText().toLower(), c.text.toLower());
        } else {
            EXPECT_EQ(v->caret(), (TextPosition{2, 0}));
        }
    }

    QStringList lines;
    w.setStringsWindow([&](TfrmView& shown) {
        shown.show();
        shown.viewer()->readToEnd();
        for (qint64 l = 0; l < shown.viewer()->lineCount(); ++l) {
            lines.append(shown.viewer()->lineText(l));
        }
    });
    strings(w);
    EXPECT_EQ(lines, (QStringList{"head line", "needle here"}));
    EXPECT_TRUE(prompter_.boxes().isEmpty());
}

}  // namespace
}  // namespace dw
