#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPrinter;
class QPushButton;

namespace dw {

class SafeHarbor;
class TfrmDup;

// The pair comparison `frmDupCompare` ("Compare file pairs"): two files of a duplicates
// list side by side, the left one of row r, the right one of row r + 1, each with its
// picture, folder, size, type, three dates with their ages, attributes, CRC value, the
// Safe Harbor's "** In Non-Delete List **" and its version lines ("Extended profile
// absent" when it has none; both lists are shown only when one has more than a line).
// Every field whose texts differ between the panes is highlighted in the selection
// colours, as are the version lines that differ; three arrows point to the more recent
// creation, modification and access date (an equals sign when they are the same).
//
// "&CRC" computes both files' check values (FileCrc); with "Auto compare CRC vals (size
// must be the same)" ticked they are computed whenever the sizes agree. A file that
// cannot be read shows "unreadable", and two unreadable files are never called
// identical. "&Prev pair" and "&Next pair" (PgUp, PgDn) move to the neighbouring pairs
// that match under the list's criterion (NextPairRow, PrevPairRow) and select the row in
// the duplicates window (under "Same contents" the neighbouring pairs of one group).
// Each pane marks its file there, opens it with the desktop's application, views it, or
// opens the browser on it (its folder, the file selected). "Prin&t" prints the window's
// picture.
//
// Not modal: shown over the duplicates window that asks for it (showFor), whose grid it
// copies each time it is shown; the copy does not follow a new scan until it is shown
// again. "Close" and Esc only hide it; release() hides it and hands it back to `parent`
// before its source goes. A file that has gone leaves its pane as it was (its CRC field
// emptied). The automatic check and the arrows' last values stay while the window lives.
class TfrmDupCompare : public QDialog {
    Q_OBJECT
public:
    struct Tools {
        std::function<void(const QByteArray& file)> view;
        std::function<void(const QByteArray& file, const QString& mask)> browse;
    };

    // `harbor` (may be null: nothing is called protected) must outlive the window.
    TfrmDupCompare(const SafeHarbor* harbor, QWidget* parent = nullptr, Tools tools = {});
    ~TfrmDupCompare() override;

    // Shows the window over `source`, on the pair at the source's selected row.
    void showFor(TfrmDup& source);
    // Hides the window and makes it a child of its first parent again.
    void release();

    // The current row r (the left pane's).
    qsizetype currentRow() const { return r_; }
    // A pane's texts (0 left, 1 right): its caption, folder, size, type, creation,
    // modification and access dates, attributes, CRC value and protection label.
    QStringList paneTexts(int pane) const;
    QStringList versionLines(int pane) const;
    bool versionListsShown() const;
    // Whether a pane's field (1 folder ... 8 CRC, as in paneTexts) is highlighted.
    bool highlighted(int pane, int field) const;
    // The arrows: 0 creation, 1 modification, 2 access: '<' (the left file is more
    // recent), '>', '=' or ' ' (hidden).
    char arrow(int which) const;
    qint64 iconKey(int pane) const { return iconKeys_[pane]; }
    QCheckBox* autoCrc() const { return cbCRC_; }

    // For tests: what asks for the printer (default: the print dialog).
    void setPrintDialog(std::function<bool(QPrinter&)> ask) { printDialog_ = std::move(ask); }

    void sbL1Click();
    void sbR1Click();
    void btComputeClick();
    void btPrintClick();
    void btMarkClick(int pane);
    void btLaunchClick(int pane);
    void btViewClick(int pane);
    void btBrowseClick(int pane);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    struct Pane {
        QGroupBox* box = nullptr;
        QLabel* icon = nullptr;
        QLabel* protection = nullptr;
        std::array<QLabel*, 8> fields{};  // folder, size, type, three dates, attributes, CRC
        QListWidget* versions = nullptr;
        QByteArray file;
        // The values the arrows compare: packed creation and modification date-times,
        // and the access day.
        quint32 created = 0;
        quint32 modified = 0;
        quint32 accessDay = 0;
        std::optional<quint32> crc;
    };

    void buildPane(int side);
    void fillPane(int side, qsizetype row);
    void showPair(qsizetype row);
    void HighlightDifferences();
    void computeCRCValues();
    void setHighlight(QWidget* w, bool on);
    QByteArray paneFile(int side) const;

    const SafeHarbor* harbor_;
    Tools tools_;
    QPointer<QWidget> home_;
    QPointer<TfrmDup> source_;
    int criterion_ = 0;
    QList<QStringList> rows_;
    QByteArray bands_;  // by row: the grid's band tags
    QList<QByteArray> paths_;
    qsizetype r_ = 1;
    std::array<Pane, 2> panes_;
    std::array<qint64, 2> iconKeys_{};
    std::array<QLabel*, 3> arrows_{};
    std::array<char, 3> arrowShapes_{' ', ' ', ' '};
    bool listsShown_ = true;
    QCheckBox* cbCRC_ = nullptr;
    QPushButton* btCompute_ = nullptr;
    std::function<bool(QPrinter&)> printDialog_;
};

}  // namespace dw
