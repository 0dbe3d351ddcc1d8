#include "finders/ui/dup_compare_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "base/file_dates.h"
#include "base/utility.h"
#include "finders/dup_pairs.h"
#include "finders/dup_search.h"
#include "finders/file_crc.h"
#include "finders/ui/dup_window.h"
#include "inspect/file_details.h"
#include "inspect/file_version.h"
#include "inspect/report_lines.h"
#include "inspect/ui/report_printer.h"
#include "platform/dir_reader.h"
#include "platform/shell.h"
#include "safety/safe_harbor.h"
#include "widgets/elided_label.h"
#include "widgets/file_icon.h"
#include "widgets/message_boxes.h"
#include "widgets/string_grid.h"
#include "widgets/theme_colors.h"
#include "widgets/wait_cursor.h"

namespace dw {

namespace {

constexpr int kFieldCount = 8;
constexpr int kCrcField = 7;
// Pixels of the folder field's text.
constexpr int kFolderWidth = 300;
const char* const kCaptions[kFieldCount] = {
    "Folder:",      "Size:",        "Type:",       "Creation date:",
    "Modify date:", "Access date:", "Attributes:", "CRC Value:"};

QPixmap arrowPicture(char shape) {
    QPixmap pixmap(13, 13);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 128));
    if (shape == '=') {
        p.drawRect(QRectF(2, 3.5, 9, 2));
        p.drawRect(QRectF(2, 7.5, 9, 2));
    } else {
        QPainterPath path;
        const bool left = shape == '<';
        path.moveTo(left ? 1.5 : 11.5, 6.5);
        path.lineTo(left ? 11.5 : 1.5, 1.5);
        path.lineTo(left ? 11.5 : 1.5, 11.5);
        path.closeSubpath();
        p.drawPath(path);
    }
    return pixmap;
}

char arrowBetween(quint32 left, quint32 right) {
    if (left == 0 || right == 0) {
        return ' ';
    }
    return left > right ? '<' : left < right ? '>' : '=';
}

}  // namespace

TfrmDupCompare::TfrmDupCompare(const SafeHarbor* harbor, QWidget* parent, Tools tools)
    : QDialog(parent), harbor_(harbor), tools_(std::move(tools)), home_(parent) {
    setObjectName(QStringLiteral("frmDupCompare"));
    setWindowTitle(QStringLiteral("Compare file pairs"));
    setModal(false);

    auto* panesRow = new QHBoxLayout;
    for (int side = 0; side < 2; ++side) {
        buildPane(side);
        panesRow->addWidget(panes_[side].box, 1);
    }

    auto* sbL1 = new QPushButton(QStringLiteral("&Prev pair"), this);
    sbL1->setObjectName(QStringLiteral("sbL1"));
    sbL1->setToolTip(QStringLiteral("Display previous match (PgUp)"));
    auto* sbR1 = new QPushButton(QStringLiteral("&Next pair"), this);
    sbR1->setObjectName(QStringLiteral("sbR1"));
    sbR1->setToolTip(QStringLiteral("Display next match (PgDn)"));
    btCompute_ = new QPushButton(QStringLiteral("&CRC"), this);
    btCompute_->setObjectName(QStringLiteral("btCompute"));
    btCompute_->setToolTip(
        QStringLiteral("If CRC values are different the the contents of each file is different"));
    cbCRC_ = new QCheckBox(QStringLiteral("Auto compare CRC vals (size must be the same)"), this);
    cbCRC_->setObjectName(QStringLiteral("cbCRC"));
    cbCRC_->setToolTip(QStringLiteral("If checked and file sizes are equal, will check CRC value"));
    auto* btPrint = new QPushButton(QStringLiteral("Prin&t"), this);
    btPrint->setObjectName(QStringLiteral("btPrint"));
    btPrint->setToolTip(QStringLiteral("Print file details"));
    auto* btClose = new QPushButton(QStringLiteral("Close"), this);
    btClose->setObjectName(QStringLiteral("btClose"));

    auto* bar = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{sbL1, sbR1, btCompute_, cbCRC_}) {
        bar->addWidget(w);
    }
    bar->addStretch(1);
    bar->addWidget(btPrint);
    bar->addWidget(btClose);
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(panesRow, 1);
    layout->addLayout(bar);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(sbL1, &QPushButton::clicked, this, &TfrmDupCompare::sbL1Click);
    connect(sbR1, &QPushButton::clicked, this, &TfrmDupCompare::sbR1Click);
    connect(btCompute_, &QPushButton::clicked, this, &TfrmDupCompare::btComputeClick);
    connect(btPrint, &QPushButton::clicked, this, &TfrmDupCompare::btPrintClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::hide);
}

TfrmDupCompare::~TfrmDupCompare() = default;

void TfrmDupCompare::keyReleaseEvent(QKeyEvent* event) {
    // The buttons and the check box pass these keys on, so they act anywhere in the window.
    if (event->key() == Qt::Key_PageDown) {
        sbR1Click();
    } else if (event->key() == Qt::Key_PageUp) {
        sbL1Click();
    } else {
        QDialog::keyReleaseEvent(event);
    }
}

void TfrmDupCompare::buildPane(int side) {
    Pane& pane = panes_[side];
    const bool left = side == 0;
    pane.box = new QGroupBox(this);
    pane.box->setObjectName(left ? QStringLiteral("GroupBox1") : QStringLiteral("GroupBox2"));
    auto* grid = new QGridLayout(pane.box);
    grid->setVerticalSpacing(3);

    pane.icon = new QLabel(pane.box);
    pane.icon->setFixedSize(36, 36);
    pane.protection = new QLabel(pane.box);
    pane.protection->setObjectName(left ? QStringLiteral("lblNoDel1")
                                        : QStringLiteral("lblNoDel2"));
    pane.protection->setAutoFillBackground(true);
    pane.protection->setPalette(QApplication::palette());
    QPalette marked = pane.protection->palette();
    marked.setColor(QPalette::Window, marked.color(QPalette::Highlight));
    marked.setColor(QPalette::WindowText, marked.color(QPalette::HighlightedText));
    pane.protection->setPalette(marked);
    grid->addWidget(pane.icon, 0, 0);
    grid->addWidget(pane.protection, 0, 1, 1, 2, Qt::AlignRight | Qt::AlignTop);

    for (int k = 0; k < kFieldCount; ++k) {
        auto* caption = new QLabel(QString::fromLatin1(kCaptions[k]), pane.box);
        // The folder shows both its ends however long it is; the other fields are short.
        QLabel* field = k == 0 ? new ElidedLabel(pane.box) : new QLabel(pane.box);
        field->setAutoFillBackground(true);
        if (k != 0) {
            field->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
        field->setMinimumWidth(kFolderWidth);
        if (k == kCrcField) {
            // The check values line up digit under digit.
            field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        }
        grid->addWidget(caption, k + 1, 0);
        grid->addWidget(field, k + 1, 1);
        pane.fields[k] = field;
    }
    grid->setColumnStretch(1, 1);
    // The arrows sit between the panes, at the right edge of the left one.
    if (left) {
        for (int a = 0; a < 3; ++a) {
            arrows_[a] = new QLabel(pane.box);
            arrows_[a]->setFixedSize(13, 13);
            arrows_[a]->setToolTip(QStringLiteral("Arrow points to most recent entry"));
            arrows_[a]->hide();
            grid->addWidget(arrows_[a], 4 + a, 2);
        }
    }

    pane.versions = new QListWidget(pane.box);
    pane.versions->setObjectName(left ? QStringLiteral("lbVer1") : QStringLiteral("lbVer2"));
    pane.versions->setFocusPolicy(Qt::NoFocus);
    QPalette face = pane.versions->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    pane.versions->setPalette(face);
    pane.versions->setMinimumHeight(pane.versions->fontMetrics().lineSpacing() * 11 + 8);
    grid->addWidget(pane.versions, kFieldCount + 1, 0, 1, 3);

    struct ButtonText {
        const char* name;
        const char* caption[2];
        const char* tip;
    };
    static const ButtonText kButtons[] = {
        {"btMark", {"&Mark", "M&ark"}, "Mark file for deletion (double click on grid also works)"},
        {"btLaunch", {"&Open", "Ope&n"}, "Run/launch associated application"},
        {"btView", {"&View", "Vi&ew"}, "View file"},
        {"btBrowse", {"&Browse", "Bro&wse"}, "Browse this file and folder"},
    };
    auto* buttons = new QHBoxLayout;
    for (int b = 0; b < 4; ++b) {
        auto* button = new QPushButton(QString::fromLatin1(kButtons[b].caption[side]), pane.box);
        button->setObjectName(QString::fromLatin1(kButtons[b].name) + QString::number(side + 1));
        button->setToolTip(QString::fromLatin1(kButtons[b].tip));
        buttons->addWidget(button);
        switch (b) {
            case 0:
                connect(button, &QPushButton::clicked, this, [this, side] { btMarkClick(side); });
                break;
            case 1:
                connect(button, &QPushButton::clicked, this, [this, side] { btLaunchClick(side); });
                break;
            case 2:
                button->setVisible(bool(tools_.view));
                connect(button, &QPushButton::clicked, this, [this, side] { btViewClick(side); });
                break;
            default:
                button->setVisible(bool(tools_.browse));
                connect(button, &QPushButton::clicked, this, [this, side] { btBrowseClick(side); });
                break;
        }
    }
    buttons->addStretch(1);
    grid->addLayout(buttons, kFieldCount + 2, 0, 1, 3);
}

void TfrmDupCompare::showFor(TfrmDup& source) {
    // A child of the duplicates window, so that window's modality leaves it usable.
    if (parentWidget() != &source) {
        const Qt::WindowFlags flags = windowFlags();
        setParent(&source, flags | Qt::Window);
    }
    source_ = &source;
    criterion_ = source.criterion();
    const GridTable& table = source.grid()->table();
    rows_.clear();
    paths_.clear();
    bands_.clear();
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        rows_.append(table.rowCells(row).mid(0, kDupColumnCount));
        paths_.append(table.rowData(row));
        bands_.append(table.band(row));
    }
    r_ = std::clamp<qsizetype>(source.grid()->currentRow(), 1,
                               std::max<qsizetype>(1, rows_.size() - 2));
    showPair(r_);
    show();
    raise();
    activateWindow();
    btCompute_->setFocus();
}

void TfrmDupCompare::release() {
    hide();
    source_ = nullptr;
    if (parentWidget() != home_.data()) {
        setParent(home_.data(), windowFlags() | Qt::Window);
    }
}

QByteArray TfrmDupCompare::paneFile(int side) const {
    return paths_.value(r_ + side);
}

void TfrmDupCompare::fillPane(int side, qsizetype row) {
    Pane& pane = panes_[side];
    pane.fields[kCrcField]->clear();
    pane.crc.reset();
    const QByteArray file = paths_.value(row);
    const auto entry = file.isEmpty() ? std::nullopt : platform::statPath(file);
    if (!entry) {
        return;
    }
    const QStringList& cells = rows_[row];
    const QDateTime now = QDateTime::currentDateTime();
    pane.file = file;
    pane.box->setTitle(cells.value(kDupNameColumn));
    const QIcon icon = FileIcon(file);
    iconKeys_[side] = icon.cacheKey();
    pane.icon->setPixmap(icon.pixmap(32, 32));
    pane.created = CreatedFileDate(*entry);
    pane.modified = ModifiedFileDate(*entry);
    const quint32 accessed = AccessedFileDate(*entry);
    pane.accessDay = accessed >> 16;
    const QString texts[kFieldCount - 1] = {
        cells.value(kDupFolderColumn),
        FormatThousands(entry->size) + QStringLiteral(" bytes"),
        FileTypeOfPath(file),
        DateAgeText(pane.created, now, true),
        DateAgeText(pane.modified, now, true),
        DateAgeText(accessed, now, false),
        AttributesText(entry->attributes),
    };
    // The folder's field is the elided label, whose own setText keeps its tool tip.
    static_cast<ElidedLabel*>(pane.fields[0])->setText(texts[0]);
    for (int k = 1; k < kFieldCount - 1; ++k) {
        pane.fields[k]->setText(texts[k]);
    }
    QStringList lines = FileVersionLines(file, false);
    if (lines.isEmpty()) {
        lines = {QStringLiteral("Extended profile absent")};
    }
    pane.versions->clear();
    pane.versions->addItems(lines);
}

void TfrmDupCompare::showPair(qsizetype row) {
    r_ = row;
    fillPane(0, row);
    fillPane(1, row + 1);
    HighlightDifferences();
}

void TfrmDupCompare::setHighlight(QWidget* w, bool on) {
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Window, on ? p.color(QPalette::Highlight) : p.color(QPalette::Button));
    p.setColor(QPalette::WindowText,
               on ? p.color(QPalette::HighlightedText) : p.color(QPalette::WindowText));
    w->setPalette(p);
    w->setProperty("highlighted", on);
}

void TfrmDupCompare::HighlightDifferences() {
    // Both version lists show when either holds more than its one line.
    const bool lists = panes_[0].versions->count() > 1 || panes_[1].versions->count() > 1;
    for (Pane& pane : panes_) {
        pane.versions->setVisible(lists);
    }
    for (Pane& pane : panes_) {
        const bool isProtected =
            harbor_ && !pane.file.isEmpty() && harbor_->isInSafeHarbor(pane.file, true);
        pane.protection->setText(isProtected ? QStringLiteral("** In Non-Delete List **")
                                             : QString());
        pane.protection->setVisible(isProtected);
    }
    if (cbCRC_->isChecked() && panes_[0].fields[kCrcField]->text().isEmpty() &&
        panes_[0].fields[1]->text() == panes_[1].fields[1]->text()) {
        computeCRCValues();
    }
    for (int k = 1; k < kFieldCount; ++k) {
        const bool differ = panes_[0].fields[k]->text() != panes_[1].fields[k]->text();
        setHighlight(panes_[0].fields[k], differ);
        setHighlight(panes_[1].fields[k], differ);
    }
    setHighlight(panes_[0].fields[0], false);
    setHighlight(panes_[1].fields[0], false);

    arrowShapes_ = {arrowBetween(panes_[0].created, panes_[1].created),
                    arrowBetween(panes_[0].modified, panes_[1].modified),
                    arrowBetween(panes_[0].accessDay, panes_[1].accessDay)};
    for (int a = 0; a < 3; ++a) {
        arrows_[a]->setVisible(arrowShapes_[a] != ' ');
        if (arrowShapes_[a] != ' ') {
            arrows_[a]->setPixmap(arrowPicture(arrowShapes_[a]));
        }
    }

    const bool compareLines = panes_[0].versions->count() >= 2 && panes_[1].versions->count() >= 2;
    for (int side = 0; side < 2; ++side) {
        QListWidget* mine = panes_[side].versions;
        QListWidget* other = panes_[1 - side].versions;
        for (int k = 0; k < mine->count(); ++k) {
            const bool differs = compareLines && (k >= other->count() ||
                                                  mine->item(k)->text() != other->item(k)->text());
            mine->item(k)->setBackground(differs ? QColor(0, 255, 255)
                                                 : QApplication::palette().color(QPalette::Button));
            mine->item(k)->setForeground(
                differs ? QColor(Qt::black) : QApplication::palette().color(QPalette::ButtonText));
        }
    }
    // The window grows or shrinks with the lists, and otherwise keeps the size it was given.
    if (lists != listsShown_) {
        listsShown_ = lists;
        adjustSize();
    }
}

void TfrmDupCompare::computeCRCValues() {
    WaitCursor wait;
    for (int side = 0; side < 2; ++side) {
        panes_[side].crc = FileCrc(paneFile(side));
    }
    for (int side = 0; side < 2; ++side) {
        panes_[side].fields[kCrcField]->setText(
            CrcFieldText(panes_[side].crc, panes_[1 - side].crc));
    }
}

void TfrmDupCompare::btComputeClick() {
    computeCRCValues();
    HighlightDifferences();
}

void TfrmDupCompare::sbR1Click() {
    const qsizetype next = NextPairRow(rows_, criterion_, r_, bands_);
    if (next == r_) {
        return;
    }
    showPair(next);
    if (source_) {
        source_->grid()->setCurrentRow(next);
    }
}

void TfrmDupCompare::sbL1Click() {
    const qsizetype previous = PrevPairRow(rows_, criterion_, r_, bands_);
    if (previous == r_) {
        return;
    }
    showPair(previous);
    if (source_) {
        source_->grid()->setCurrentRow(previous);
    }
}

void TfrmDupCompare::btMarkClick(int pane) {
    if (source_) {
        source_->MarkThisFile(r_ + pane);
    }
}

void TfrmDupCompare::btLaunchClick(int pane) {
    const QByteArray file = paneFile(pane);
    if (!file.isEmpty() && !platform::openWithDesktop(file)) {
        ShowError(QStringLiteral("Couldn't open ") + QFile::decodeName(file));
    }
}

void TfrmDupCompare::btViewClick(int pane) {
    const QByteArray file = paneFile(pane);
    if (!file.isEmpty() && tools_.view) {
        tools_.view(file);
    }
}

void TfrmDupCompare::btBrowseClick(int pane) {
    const QByteArray file = paneFile(pane);
    if (!file.isEmpty() && tools_.browse) {
        tools_.browse(file, QStringLiteral("*.*"));
    }
}

void TfrmDupCompare::btPrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    const bool confirmed = ConfirmPrint(printer, this, printDialog_);
    if (!confirmed) {
        return;
    }
    // The window's picture on white, as it shows the pair.
    const QPalette normal = palette();
    setPalette(paperPalette(normal));
    for (Pane& pane : panes_) {
        for (QLabel* field : pane.fields) {
            if (!field->property("highlighted").toBool()) {
                field->setPalette(paperPalette(field->palette()));
            }
        }
    }
    const QPixmap picture = grab();
    setPalette(normal);
    HighlightDifferences();

    QPainter painter;
    if (!painter.begin(&printer)) {
        ShowBox(platform::MessageKind::Error, QString::fromLatin1(kPrintErrorText));
        return;
    }
    const QRect page = painter.viewport();
    const QSize size = picture.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawPixmap(QRect(page.topLeft(), size), picture);
    painter.end();
}

QStringList TfrmDupCompare::paneTexts(int pane) const {
    const Pane& p = panes_[pane];
    QStringList texts{p.box->title(), p.fields[0]->text()};
    for (int k = 1; k < kFieldCount; ++k) {
        texts.append(p.fields[k]->text());
    }
    texts.append(p.protection->text());
    return texts;
}

QStringList TfrmDupCompare::versionLines(int pane) const {
    QStringList lines;
    for (int k = 0; k < panes_[pane].versions->count(); ++k) {
        lines.append(panes_[pane].versions->item(k)->text());
    }
    return lines;
}

bool TfrmDupCompare::versionListsShown() const {
    return !panes_[0].versions->isHidden();
}

bool TfrmDupCompare::highlighted(int pane, int field) const {
    if (field < 1 || field > kFieldCount) {
        return false;
    }
    return panes_[pane].fields[field - 1]->property("highlighted").toBool();
}

char TfrmDupCompare::arrow(int which) const {
    return which >= 0 && which < 3 ? arrowShapes_[which] : ' ';
}

}  // namespace dw
