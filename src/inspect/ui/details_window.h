#pragma once

#include <QByteArray>
#include <QDialog>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPrinter;
class QPushButton;

namespace dw {

// The file details window `frmDetails` ("File Details") for one file: its picture
// (FileIcon), name, type, size in bytes and the clusters it takes, its creation,
// modification and access dates with their ages, its attributes, and the version lines
// of a Windows program or library in a read-only box (hidden, and the window shorter,
// when the file has none). Everything is read once, as the window is made; a file that
// has gone by then leaves every field empty.
//
// "&Open" opens the file with the desktop's application ("Couldn't open " and the path
// in an error box when that fails); "&View" calls `view` with the file (the button is
// hidden without one); "Print" prints the details as a list report titled "File details
// of " and the path; "Close" (Esc) closes the window. Shown modally by its opener.
class TfrmDetails : public QDialog {
    Q_OBJECT
public:
    TfrmDetails(const QByteArray& fileForDetails, QWidget* parent = nullptr,
                std::function<void(const QByteArray& file)> view = {});
    ~TfrmDetails() override;

    // The label texts, for tests and printing: file name, type, size, cluster line,
    // creation, modification and access dates, attributes.
    QStringList labelTexts() const;
    // The version lines shown (empty when the box is hidden).
    QStringList versionLines() const;
    // The lines "Print" sends to the printer (DetailsPrintLines); empty when nothing was
    // found.
    const QStringList& printLines() const { return printLines_; }
    bool versionBoxShown() const;
    // Whether the program's own "no icon" picture stands for the file.
    qint64 iconKey() const { return iconKey_; }

    // For tests: what asks for the printer (default: the print dialog).
    void setPrintDialog(std::function<bool(QPrinter&)> ask) { printDialog_ = std::move(ask); }

    void btLaunchClick();
    void btViewClick();
    void btPrintClick();

private:
    QByteArray file_;
    std::function<void(const QByteArray&)> view_;
    std::function<bool(QPrinter&)> printDialog_;
    QStringList printLines_;
    qint64 iconKey_ = 0;

    QLabel* Image1_ = nullptr;
    QList<QLabel*> labels_;
    QPlainTextEdit* Memo1_ = nullptr;
    QPushButton* btLaunch_ = nullptr;
    QPushButton* btView_ = nullptr;
    QPushButton* btPrint_ = nullptr;
    QPushButton* btClose_ = nullptr;
};

}  // namespace dw
