#pragma once

#include <QByteArray>
#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace dw {

class FileTextView;

// The file viewer `frmView` ("View file", then "View File : " and the file's path): one
// file as text or hexadecimal bytes, with search (F3 repeats it), go to line (F4), copy,
// printing of all lines or the selection, tab expansion and tab size, a fixed-pitch font
// of the user's choice, and "Pee&k at strings", which shows the readable strings of the
// file in a second viewer (its temporary file is removed when that viewer closes).
// File > Open and a file dropped on the window show another file in it.
//
// Below the view, four status sections: "line:column" (1-based, padded to 8 characters),
// "Total: " and the line count ("?" until it is counted), "Top: " and the first visible
// line (padded to 5), "Bytes: " and the size. While the lines are counted, a bar beside
// them shows how far the count has got, and "Stop" ends the count (the total stays "?";
// printing and go to line count the rest when they need it). Find, Find next and the
// strings run on worker threads the same way: the bar shows how far they have got, and
// "Stop" (or Esc) ends the search, leaving the selection as it was, or the strings,
// showing no strings window. Menu items that need a line are disabled for an empty file;
// "Find &next" also needs a search text.
//
// Every message goes through the prompter; the input boxes (tab size, go to line) and
// the find dialog are modal dialogs of their own. The placement is kept under "frmView".
class TfrmView : public QDialog {
    Q_OBJECT
public:
    // `stringsView`: the window shows the readable strings of another file, so it has no
    // "Pee&k at strings", "&ASCII", "&Hex" nor "&Hex Mode".
    explicit TfrmView(QWidget* parent = nullptr, bool stringsView = false);
    ~TfrmView() override;

    // The file to show when the window is first shown (native bytes).
    void setFileToView(const QByteArray& path) { fileToView_ = path; }
    const QByteArray& fileToView() const { return fileToView_; }
    // Shows `path` now and names it in the caption; an error box when it cannot be
    // opened (the view is then empty). Returns whether it opened. The file to view of a
    // strings view is named by the file its strings come from (setStringsOf) instead.
    bool openFile(const QByteArray& path);
    // The file whose strings the file to view holds, for the caption of a strings view;
    // a file opened later (menu or drop) is named by its own path.
    void setStringsOf(const QByteArray& source) { stringsOf_ = source; }

    // What asks for the printer: given the printer and whether a selection may be
    // printed, returns true to print (with the printer's range chosen). Unset: the print
    // dialog.
    void setPrintDialog(std::function<bool(QPrinter&, bool selectionOffered)> ask) {
        printDialog_ = std::move(ask);
    }
    // What runs the nested strings window (after the strings are written, before the
    // temporary file is removed). Unset: shows it modally.
    void setStringsWindow(std::function<void(TfrmView&)> run) { stringsWindow_ = std::move(run); }

    FileTextView* viewer() const { return Viewer1_; }
    // The four status sections as shown.
    QStringList statusSections() const;
    // The lines the printout holds: every line (the count finished first) or the
    // selection, the first line's characters before the selection blanked and the last
    // cut at its end; each at most 1024 characters.
    QStringList printedLines(bool selectionOnly) const;

    // The menu items and buttons, as they run.
    void Open1Click();
    void Print1Click();
    void PrintSetup1Click();
    void Copy1Click();
    void SelectAll1Click();
    void Find1Click();
    void FindNext1Click();
    void GotoLine1Click();
    void HexMode1Click();
    void TabExpansion1Click();
    void TabSize1Click();
    void Font1Click();
    void btStringsClick();
    // Refresh the menu states from the view.
    void File1Click();
    void Search1Click();
    void Clipboard1Click();

    // Whether a search or the strings run on a worker now.
    bool isBusy() const;
    // Closing the window stops a search or the strings that run.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Viewer1ShowStatus();
    void setHex(bool hex);
    QPrinter& printer();
    void updateProgress();
    void stopWork();
    void stopStrings();
    void stringsDone();

    bool stringsView_;
    bool shown_ = false;
    QByteArray fileToView_;
    QByteArray stringsOf_;
    std::unique_ptr<QPrinter> printer_;
    std::function<bool(QPrinter&, bool)> printDialog_;
    std::function<void(TfrmView&)> stringsWindow_;

    FileTextView* Viewer1_ = nullptr;
    QLabel* sections_[4] = {};
    QProgressBar* counting_ = nullptr;
    QToolButton* stopCount_ = nullptr;
    struct Strings;
    std::unique_ptr<Strings> strings_;
    quint64 stringsId_ = 0;
    QAction* Print1_ = nullptr;
    QAction* Find1_ = nullptr;
    QAction* FindNext1_ = nullptr;
    QAction* GotoLine1_ = nullptr;
    QAction* Copy1_ = nullptr;
    QAction* SelectAll1_ = nullptr;
    QAction* HexMode1_ = nullptr;
    QAction* TabExpansion1_ = nullptr;
    QRadioButton* rbAscii_ = nullptr;
    QRadioButton* rbHex_ = nullptr;
    QPushButton* btFont_ = nullptr;
    QPushButton* btPrint_ = nullptr;
    QPushButton* BitBtn1_ = nullptr;
    QPushButton* btStrings_ = nullptr;
    QPushButton* btClose_ = nullptr;
};

}  // namespace dw
