#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QPushButton;

namespace dw {

// The program's help viewer: a window that shows the user guide compiled into the
// program (HTML pages under qrc:/help/), with Contents, Back and Forward.
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

    // The page on show.
    QUrl currentPage() const;
    // The title of the page on show (its <title>).
    QString currentTitle() const;

private:
    QTextBrowser* browser_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
};

}  // namespace dw
