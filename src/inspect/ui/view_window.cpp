#include "inspect/ui/view_window.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "base/settings_sections.h"
#include "base/utility.h"
#include "inspect/ui/find_dialog.h"
#include "inspect/ui/report_printer.h"
#include "platform/environment.h"
#include "widgets/file_text_view.h"
#include "widgets/message_boxes.h"
#include "widgets/wait_cursor.h"
#include "widgets/window_placement.h"

namespace dw {

namespace {

constexpr qsizetype kPrintedLineChars = 1024;

}  // namespace

TfrmView::TfrmView(QWidget* parent, bool stringsView) : QDialog(parent), stringsView_(stringsView) {
    setObjectName(QStringLiteral("frmView"));
    setWindowTitle(QStringLiteral("View file"));
    setAcceptDrops(true);
    resize(760, 540);

    auto* layout = new QVBoxLayout(this);
    auto* menuBar = new QMenuBar(this);
    layout->setMenuBar(menuBar);

    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    connect(file->addAction(QStringLiteral("&Open...")), &QAction::triggered, this,
            &TfrmView::Open1Click);
    Print1_ = file->addAction(QStringLiteral("&Print..."));
    connect(Print1_, &QAction::triggered, this, &TfrmView::Print1Click);
    connect(file->addAction(QStringLiteral("P&rint setup...")), &QAction::triggered, this,
            &TfrmView::PrintSetup1Click);
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("E&xit"));
    exit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(exit, &QAction::triggered, this, &TfrmView::reject);
    connect(file, &QMenu::aboutToShow, this, &TfrmView::File1Click);

    QMenu* search = menuBar->addMenu(QStringLiteral("&Search"));
    Find1_ = search->addAction(QStringLiteral("&Find..."));
    connect(Find1_, &QAction::triggered, this, &TfrmView::Find1Click);
    FindNext1_ = search->addAction(QStringLiteral("Find &next"));
    FindNext1_->setShortcut(QKeySequence(Qt::Key_F3));
    connect(FindNext1_, &QAction::triggered, this, &TfrmView::FindNext1Click);
    GotoLine1_ = search->addAction(QStringLiteral("&Go to line..."));
    GotoLine1_->setShortcut(QKeySequence(Qt::Key_F4));
    connect(GotoLine1_, &QAction::triggered, this, &TfrmView::GotoLine1Click);
    connect(search, &QMenu::aboutToShow, this, &TfrmView::Search1Click);

    QMenu* clipboard = menuBar->addMenu(QStringLiteral("&Clipboard"));
    Copy1_ = clipboard->addAction(QStringLiteral("&Copy"));
    Copy1_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    connect(Copy1_, &QAction::triggered, this, &TfrmView::Copy1Click);
    SelectAll1_ = clipboard->addAction(QStringLiteral("&Select all"));
    connect(SelectAll1_, &QAction::triggered, this, &TfrmView::SelectAll1Click);
    connect(clipboard, &QMenu::aboutToShow, this, &TfrmView::Clipboard1Click);

    QMenu* options = menuBar->addMenu(QStringLiteral("&Options"));
    HexMode1_ = options->addAction(QStringLiteral("&Hex Mode"));
    HexMode1_->setCheckable(true);
    HexMode1_->setShortcut(QKeySequence(Qt::Key_F8));
    // The checked state follows the click here, so the handler reads it and does not
    // toggle it a second time.
    connect(HexMode1_, &QAction::triggered, this, [this] { setHex(HexMode1_->isChecked()); });
    TabExpansion1_ = options->addAction(QStringLiteral("&Tab expansion"));
    TabExpansion1_->setCheckable(true);
    TabExpansion1_->setChecked(true);
    connect(TabExpansion1_, &QAction::triggered, this,
            [this] { Viewer1_->setTabExpansion(TabExpansion1_->isChecked()); });
    connect(options->addAction(QStringLiteral("Tab si&ze...")), &QAction::triggered, this,
            &TfrmView::TabSize1Click);
    connect(options->addAction(QStringLiteral("&Font...")), &QAction::triggered, this,
            &TfrmView::Font1Click);

    Viewer1_ = new FileTextView(this);
    Viewer1_->setObjectName(QStringLiteral("Viewer1"));
    Viewer1_->setTabExpansion(TabExpansion1_->isChecked());
    layout->addWidget(Viewer1_, 1);

    auto* status = new QHBoxLayout;
    status->setSpacing(2);
    const int stretch[4] = {1, 2, 1, 2};
    for (int i = 0; i < 4; ++i) {
        sections_[i] = new QLabel(this);
        sections_[i]->setObjectName(QStringLiteral("section%1").arg(i));
        sections_[i]->setFrameShape(QFrame::Panel);
        sections_[i]->setFrameShadow(QFrame::Sunken);
        sections_[i]->setTextFormat(Qt::PlainText);
        status->addWidget(sections_[i], stretch[i]);
    }
    counting_ = new QProgressBar(this);
    counting_->setObjectName(QStringLiteral("counting"));
    counting_->setRange(0, 1000);
    counting_->setMaximumWidth(140);
    counting_->setTextVisible(false);
    counting_->setToolTip(QStringLiteral("Counting the lines"));
    counting_->hide();
    status->addWidget(counting_);
    stopCount_ = new QToolButton(this);
    stopCount_->setObjectName(QStringLiteral("stopCount"));
    stopCount_->setText(QStringLiteral("Stop"));
    stopCount_->setToolTip(QStringLiteral("Stop counting the lines"));
    stopCount_->setAutoRaise(true);
    stopCount_->hide();
    status->addWidget(stopCount_);
    connect(stopCount_, &QToolButton::clicked, this, &TfrmView::stopWork);
    layout->addLayout(status);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(5);
    rbAscii_ = new QRadioButton(QStringLiteral("&ASCII"), this);
    rbAscii_->setObjectName(QStringLiteral("rbAscii"));
    rbAscii_->setChecked(true);
    rbHex_ = new QRadioButton(QStringLiteral("&Hex"), this);
    rbHex_->setObjectName(QStringLiteral("rbHex"));
    connect(rbAscii_, &QRadioButton::clicked, this, [this] { setHex(false); });
    connect(rbHex_, &QRadioButton::clicked, this, [this] { setHex(true); });
    buttons->addWidget(rbAscii_);
    buttons->addWidget(rbHex_);
    buttons->addStretch(1);
    btFont_ = new QPushButton(QStringLiteral("Fo&nt"), this);
    btFont_->setObjectName(QStringLiteral("btFont"));
    btPrint_ = new QPushButton(QStringLiteral("P&rint setup"), this);
    btPrint_->setObjectName(QStringLiteral("btPrint"));
    BitBtn1_ = new QPushButton(QStringLiteral("&Print"), this);
    BitBtn1_->setObjectName(QStringLiteral("BitBtn1"));
    btStrings_ = new QPushButton(QStringLiteral("Pee&k at strings"), this);
    btStrings_->setObjectName(QStringLiteral("btStrings"));
    btClose_ = new QPushButton(QStringLiteral("Close"), this);
    btClose_->setObjectName(QStringLiteral("btClose"));
    for (QPushButton* b : {btFont_, btPrint_, BitBtn1_, btStrings_, btClose_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(btFont_, &QPushButton::clicked, this, &TfrmView::Font1Click);
    connect(btPrint_, &QPushButton::clicked, this, &TfrmView::PrintSetup1Click);
    connect(BitBtn1_, &QPushButton::clicked, this, &TfrmView::Print1Click);
    connect(btStrings_, &QPushButton::clicked, this, &TfrmView::btStringsClick);
    connect(btClose_, &QPushButton::clicked, this, &TfrmView::reject);

    if (stringsView_) {
        for (QWidget* w : std::initializer_list<QWidget*>{btStrings_, rbAscii_, rbHex_}) {
            w->hide();
        }
        HexMode1_->setVisible(false);
        HexMode1_->setEnabled(false);
    }

    connect(Viewer1_, &FileTextView::statusChanged, this, &TfrmView::Viewer1ShowStatus);
    connect(Viewer1_, &FileTextView::countProgress, this, [this](qint64 done, qint64 size) {
        if (!isBusy()) {
            counting_->setValue(size > 0 ? int(done * 1000 / size) : 1000);
        }
        updateProgress();
    });
    connect(Viewer1_, &FileTextView::searchProgress, this, [this](qint64 done, qint64 total) {
        counting_->setValue(total > 0 ? int(done * 1000 / total) : 0);
    });
    connect(Viewer1_, &FileTextView::searchFinished, this, [this](bool found, bool stopped) {
        updateProgress();
        if (!found && !stopped) {
            ShowInfo(QStringLiteral("Search string '") + lastFindSettings().text +
                     QStringLiteral("' not found"));
        }
    });
    restoreWindowPlacement(this, settings::kPlacementViewer);
    Viewer1ShowStatus();
}

// The strings of the file being written to a temporary file on a worker thread.
struct TfrmView::Strings {
    QString tempName;
    QByteArray source;  // the file the strings are read from
    qint64 size = 0;
    quint64 id = 0;
    std::atomic<bool> stop{false};
    std::atomic<qint64> done{0};
    QString error;
    std::unique_ptr<QThread> thread;
    QTimer timer;
};

TfrmView::~TfrmView() {
    if (strings_) {
        strings_->stop = true;
        strings_->thread->wait();
        QFile::remove(strings_->tempName);
    }
    saveWindowPlacement(this, settings::kPlacementViewer);
}

void TfrmView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        if (!fileToView_.isEmpty()) {
            openFile(fileToView_);
        }
        Viewer1_->setFocus();
    }
}

bool TfrmView::openFile(const QByteArray& path) {
    // The temporary file of a strings view means nothing to the user.
    const bool ofStrings = !stringsOf_.isEmpty() && path == fileToView_;
    if (!ofStrings) {
        stringsOf_.clear();
    }
    fileToView_ = path;
    const bool opened = Viewer1_->openFile(path);
    setWindowTitle(QStringLiteral("View File : ") +
                   QFile::decodeName(ofStrings ? stringsOf_ : path));
    counting_->setValue(0);
    updateProgress();
    Search1Click();
    Clipboard1Click();
    File1Click();
    if (!opened) {
        const QString why = Viewer1_->pager().openError();
        ShowError(QStringLiteral("Could not open file ") + QFile::decodeName(path) +
                  (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    }
    return opened;
}

bool TfrmView::isBusy() const {
    return Viewer1_->isSearching() || strings_ != nullptr;
}

void TfrmView::updateProgress() {
    const bool searching = Viewer1_->isSearching();
    // The count's last progress may come before its worker has quite stopped.
    const bool counting = Viewer1_->pager().isCounting() && !Viewer1_->pager().lineCountKnown();
    const bool on = searching || strings_ || counting;
    const QString what = searching  ? QStringLiteral("Searching")
                         : strings_ ? QStringLiteral("Reading the strings")
                                    : QStringLiteral("Counting the lines");
    counting_->setToolTip(what);
    stopCount_->setToolTip(QStringLiteral("Stop ") + what.at(0).toLower() + what.mid(1));
    counting_->setVisible(on);
    stopCount_->setVisible(on);
}

void TfrmView::stopWork() {
    if (Viewer1_->isSearching()) {
        Viewer1_->stopFind();
    } else if (strings_) {
        stopStrings();
    } else {
        Viewer1_->pager().cancelCount();
    }
    updateProgress();
}

void TfrmView::stopStrings() {
    const std::unique_ptr<Strings> job = std::move(strings_);
    job->stop = true;
    job->thread->wait();
    QFile::remove(job->tempName);
    btStrings_->setEnabled(true);
}

void TfrmView::done(int result) {
    // A window closed while it searched or read strings shows no result later.
    Viewer1_->stopFind();
    if (strings_) {
        stopStrings();
    }
    updateProgress();
    QDialog::done(result);
}

void TfrmView::keyPressEvent(QKeyEvent* event) {
    // Esc ends the work that runs before it closes the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && isBusy()) {
        stopWork();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- status and menu states -----------------------------------------------------------

QStringList TfrmView::statusSections() const {
    QStringList out;
    for (const QLabel* l : sections_) {
        out.append(l->text());
    }
    return out;
}

void TfrmView::Viewer1ShowStatus() {
    const TextPosition caret = Viewer1_->caret();
    sections_[0]->setText(
        (QString::number(caret.line + 1) + QLatin1Char(':') + QString::number(caret.column + 1))
            .leftJustified(8));
    sections_[1]->setText(QStringLiteral("Total: ") + (Viewer1_->lineCountKnown()
                                                           ? FormatThousands(Viewer1_->lineCount())
                                                           : QStringLiteral("?")));
    sections_[2]->setText(QStringLiteral("Top: ") +
                          QString::number(Viewer1_->topLine() + 1).leftJustified(5));
    sections_[3]->setText(QStringLiteral("Bytes: ") + FormatThousands(Viewer1_->fileSize()));
    Clipboard1Click();
    // The line count may have changed from unknown to 0 or more.
    Search1Click();
    File1Click();
}

void TfrmView::File1Click() {
    // A file with a byte has a line, counted or not.
    const bool hasLines = Viewer1_->fileSize() > 0;
    Print1_->setEnabled(hasLines);
    BitBtn1_->setEnabled(hasLines);
}

void TfrmView::Search1Click() {
    const bool hasLines = Viewer1_->fileSize() > 0;
    Find1_->setEnabled(hasLines);
    GotoLine1_->setEnabled(hasLines);
    FindNext1_->setEnabled(hasLines && !lastFindSettings().text.isEmpty());
}

void TfrmView::Clipboard1Click() {
    SelectAll1_->setEnabled(Viewer1_->fileSize() > 0);
    Copy1_->setEnabled(Viewer1_->hasSelection());
}

// ---- the menu items -------------------------------------------------------------------

void TfrmView::Open1Click() {
    const QString name = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(),
                                                      QStringLiteral("All Files (*)"));
    if (!name.isEmpty()) {
        openFile(QFile::encodeName(name));
    }
}

void TfrmView::Copy1Click() {
    Viewer1_->copy();
}

void TfrmView::SelectAll1Click() {
    if (Viewer1_->fileSize() > 0) {
        Viewer1_->selectAll();
    }
}

void TfrmView::Find1Click() {
    if (Viewer1_->fileSize() == 0) {
        return;
    }
    TFindDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted) {
        const FindSettings& find = lastFindSettings();
        counting_->setValue(0);
        Viewer1_->startFind(find.text, {find.backward, find.matchCase, find.global});
        updateProgress();
    }
    Search1Click();
}

void TfrmView::FindNext1Click() {
    const FindSettings& find = lastFindSettings();
    if (Viewer1_->fileSize() == 0 || find.text.isEmpty()) {
        return;
    }
    counting_->setValue(0);
    Viewer1_->startFind(find.text, {find.backward, find.matchCase, false});
    updateProgress();
}

void TfrmView::GotoLine1Click() {
    if (Viewer1_->fileSize() == 0) {
        return;
    }
    // The prompt names the last line, so the count is finished first.
    Viewer1_->readToEnd();
    QInputDialog box(this);
    box.setObjectName(QStringLiteral("GoToLineBox"));
    box.setWindowTitle(QStringLiteral("Go to line number"));
    box.setLabelText(QStringLiteral("Enter line number (1 to ") +
                     QString::number(Viewer1_->lineCount()) + QLatin1Char(')'));
    box.setTextValue(QString());
    if (box.exec() != QDialog::Accepted) {
        return;
    }
    bool ok = false;
    const qint64 n = box.textValue().trimmed().toLongLong(&ok);
    if (ok) {
        Viewer1_->goToLine(n - 1);
        Viewer1_->setFocus();
    }
}

void TfrmView::setHex(bool hex) {
    if (stringsView_) {
        hex = false;
    }
    Viewer1_->setHexMode(hex);
    HexMode1_->setChecked(hex);
    rbHex_->setChecked(hex);
    rbAscii_->setChecked(!hex);
}

void TfrmView::HexMode1Click() {
    HexMode1_->setChecked(!HexMode1_->isChecked());
    setHex(HexMode1_->isChecked());
}

void TfrmView::TabExpansion1Click() {
    TabExpansion1_->setChecked(!TabExpansion1_->isChecked());
    Viewer1_->setTabExpansion(TabExpansion1_->isChecked());
}

void TfrmView::TabSize1Click() {
    QInputDialog box(this);
    box.setObjectName(QStringLiteral("TabSizeBox"));
    box.setWindowTitle(QStringLiteral("Tab Size"));
    box.setLabelText(QStringLiteral("Enter tab size"));
    box.setTextValue(QString::number(Viewer1_->tabSize()));
    if (box.exec() != QDialog::Accepted) {
        return;
    }
    bool ok = false;
    const int size = box.textValue().trimmed().toInt(&ok);
    if (ok && size >= 0 && size <= 255) {
        Viewer1_->setTabSize(size);
    }
}

void TfrmView::Font1Click() {
    QFontDialog dialog(Viewer1_->viewFont(), this);
    dialog.setOption(QFontDialog::MonospacedFonts);
    if (dialog.exec() == QDialog::Accepted) {
        Viewer1_->setViewFont(dialog.selectedFont());
    }
}

// ---- printing -------------------------------------------------------------------------

QStringList TfrmView::printedLines(bool selectionOnly) const {
    QStringList lines;
    if (!selectionOnly) {
        Viewer1_->readToEnd();
        for (qint64 l = 0; l < Viewer1_->lineCount(); ++l) {
            lines.append(Viewer1_->lineText(l).left(kPrintedLineChars));
        }
        return lines;
    }
    if (!Viewer1_->hasSelection()) {
        return lines;
    }
    const TextPosition s = Viewer1_->selectionStart();
    const TextPosition e = Viewer1_->selectionEnd();
    for (qint64 l = s.line; l <= e.line; ++l) {
        QString text = Viewer1_->lineText(l);
        if (l == e.line) {
            text.truncate(e.column);
        }
        if (l == s.line) {
            text.replace(0, std::min<qsizetype>(s.column, text.size()),
                         QString(std::min<qsizetype>(s.column, text.size()), QLatin1Char(' ')));
        }
        lines.append(text.left(kPrintedLineChars));
    }
    return lines;
}

void TfrmView::Print1Click() {
    if (Viewer1_->fileSize() == 0) {
        return;
    }
    const bool selection = Viewer1_->hasSelection();
    QPrinter& printer = this->printer();
    printer.setPrintRange(QPrinter::AllPages);
    printer.setDocName(windowTitle());
    const bool confirmed = printDialog_ ? printDialog_(printer, selection) : [&] {
        QPrintDialog dialog(&printer, this);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, selection);
        return dialog.exec() == QDialog::Accepted;
    }();
    if (!confirmed) {
        return;
    }
    const bool selectionOnly = selection && printer.printRange() == QPrinter::Selection;
    QStringList lines;
    {
        WaitCursor wait;
        lines = printedLines(selectionOnly);
    }
    PrintReportLines(printer, lines, Viewer1_->viewFont(), false);
}

QPrinter& TfrmView::printer() {
    // Made when first asked for: the print system is not loaded for a look at a file.
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *printer_;
}

void TfrmView::PrintSetup1Click() {
    QPageSetupDialog dialog(&printer(), this);
    dialog.exec();
}

// ---- the strings view -----------------------------------------------------------------

void TfrmView::btStringsClick() {
    if (strings_) {
        return;
    }
    const QByteArray source = Viewer1_->path().isEmpty() ? fileToView_ : Viewer1_->path();
    QTemporaryFile temp(QFile::decodeName(platform::tempFolder()) + QStringLiteral("/strXXXXXX"));
    temp.setAutoRemove(false);
    if (!temp.open()) {
        ShowError(QStringLiteral("Could not open file ") + temp.fileTemplate());
        return;
    }
    auto job = std::make_unique<Strings>();
    job->tempName = temp.fileName();
    job->source = source;
    temp.close();
    job->size = Viewer1_->fileSize();
    job->id = ++stringsId_;
    Strings* raw = job.get();
    job->thread.reset(QThread::create([raw, source] {
        raw->error =
            ExtractStrings(source, QFile::encodeName(raw->tempName), 5, 100, [raw](qint64 done) {
                raw->done = done;
                return !raw->stop.load();
            });
    }));
    const quint64 id = job->id;
    connect(job->thread.get(), &QThread::finished, this, [this, id] {
        if (strings_ && strings_->id == id) {
            stringsDone();
        }
    });
    job->timer.setInterval(100);
    connect(&job->timer, &QTimer::timeout, this, [this] {
        if (strings_ && strings_->size > 0) {
            counting_->setValue(
                int(std::min(strings_->done.load(), strings_->size) * 1000 / strings_->size));
        }
    });
    strings_ = std::move(job);
    counting_->setValue(0);
    btStrings_->setEnabled(false);
    strings_->timer.start();
    strings_->thread->start(QThread::LowPriority);
    updateProgress();
}

void TfrmView::stringsDone() {
    const std::unique_ptr<Strings> job = std::move(strings_);
    job->thread->wait();
    job->timer.stop();
    btStrings_->setEnabled(true);
    updateProgress();
    if (!job->error.isEmpty()) {
        ShowError(job->error);
    }
    {
        TfrmView strings(this, true);
        strings.setFileToView(QFile::encodeName(job->tempName));
        strings.setStringsOf(job->source);
        if (stringsWindow_) {
            stringsWindow_(strings);
        } else {
            strings.exec();
        }
    }
    QFile::remove(job->tempName);
}

// ---- dropped files --------------------------------------------------------------------

void TfrmView::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void TfrmView::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) {
        return;
    }
    event->acceptProposedAction();
    openFile(QFile::encodeName(urls.first().toLocalFile()));
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

}  // namespace dw
