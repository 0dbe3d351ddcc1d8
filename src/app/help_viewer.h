#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>

class QTextBrowser;
class QPushButton;

namespace dw {

// The program's help viewer: a window that shows the user guide compiled into the
// program (HTML pages under qrc:/help/), with Contents, Back and Forward. Esc closes it.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // The context number the main window asks for: the guide's contents.
    static constexpr int kContentsTopic = 1000;

    // The page of a context number; unknown numbers give the contents page, so a
    // request for a topic the guide lacks still lands somewhere useful.
    static QUrl topicUrl(int contextNumber);

    // Shows the page of `contextNumber`, and the window in front.
    void showTopic(int contextNumber);

    // The guide's page for a window: the topic of the nearest window, from `w` up
    // through its parents, that has a page of its own (the main window, the finders,
    // the deletion panel, the archive windows, the Safe Harbor windows); the contents
    // for none.
    static int topicOf(const QWidget* w);

    // The page on show.
    QUrl currentPage() const;
    // The title of the page on show (its <title>).
    QString currentTitle() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextBrowser* browser_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
};

// F1 anywhere in the program: the guide opens at the page of the window that has the
// focus (HelpViewer::topicOf). Over the main window (or no window of the program) the
// main window's viewer `mainViewer` is used; over another window, which may be modal
// and would block a window of the main one, a viewer of that window's own, closed and
// deleted with it. Installed on the application by the main window, for its lifetime.
class HelpKey : public QObject {
    Q_OBJECT
public:
    // `mainViewer` gives (making it when needed) the main window's viewer.
    HelpKey(QWidget* mainWindow, std::function<HelpViewer*()> mainViewer);
    ~HelpKey() override;

    // Opens the guide for the window `focus` belongs to; returns the viewer shown.
    HelpViewer* showHelpFor(QWidget* focus);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* mainWindow_;
    std::function<HelpViewer*()> mainViewer_;
};

}  // namespace dw
