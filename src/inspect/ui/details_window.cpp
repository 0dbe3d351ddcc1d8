#include "inspect/ui/details_window.h"

#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

#include <algorithm>

#include "inspect/file_details.h"
#include "inspect/file_version.h"
#include "inspect/ui/report_printer.h"
#include "platform/shell.h"
#include "widgets/elided_label.h"
#include "widgets/file_icon.h"
#include "widgets/message_boxes.h"

namespace dw {

TfrmDetails::TfrmDetails(const QByteArray& fileForDetails, QWidget* parent,
                         std::function<void(const QByteArray&)> view)
    : QDialog(parent), file_(fileForDetails), view_(std::move(view)) {
    setObjectName(QStringLiteral("frmDetails"));
    setWindowTitle(QStringLiteral("File Details"));

    auto* top = new QHBoxLayout;
    Image1_ = new QLabel(this);
    Image1_->setObjectName(QStringLiteral("Image1"));
    Image1_->setFixedSize(40, 40);
    Image1_->setAlignment(Qt::AlignCenter);
    top->addWidget(Image1_, 0, Qt::AlignTop);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(10);
    static const char* const kCaptions[] = {
        "File name:",         "Type:",        "Size:",      "", "Creation date:",
        "Modification date:", "Access date:", "Attributes:"};
    static const char* const kNames[] = {"lblFileName", "lblFileType",  "lblSizeBytes",
                                         "lblSizeK",    "lblCreate",    "lblModify",
                                         "lblAccess",   "lblAttributes"};
    int row = 0;
    for (int k = 0; k < 8; ++k) {
        // A rule between the name and type, the sizes, the dates and the attributes.
        if (k == 2 || k == 4 || k == 7) {
            auto* rule = new QFrame(this);
            rule->setFrameShape(QFrame::HLine);
            rule->setFrameShadow(QFrame::Sunken);
            fields->addWidget(rule, row++, 0, 1, 2);
        }
        auto* caption = new QLabel(QString::fromLatin1(kCaptions[k]), this);
        // The name may be as long as the system allows: it shows both its ends instead of
        // widening the window; the other values are short and can be selected.
        QLabel* value = k == 0 ? new ElidedLabel(this) : new QLabel(this);
        value->setObjectName(QString::fromLatin1(kNames[k]));
        if (k != 0) {
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
        value->setMinimumWidth(360);
        fields->addWidget(caption, row, 0, Qt::AlignTop);
        fields->addWidget(value, row, 1);
        labels_.append(value);
        ++row;
    }
    fields->setColumnStretch(1, 1);
    top->addLayout(fields, 1);

    Memo1_ = new QPlainTextEdit(this);
    Memo1_->setObjectName(QStringLiteral("Memo1"));
    Memo1_->setReadOnly(true);
    Memo1_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Every value starts at one column: the first tab stop lies past the longest label,
    // and the copyright's second TAB moves on by a pixel only.
    const QFontMetrics metrics = Memo1_->fontMetrics();
    int column = 0;
    for (const QString& label : VersionLineLabels()) {
        column = std::max(column, metrics.horizontalAdvance(label));
    }
    column += metrics.horizontalAdvance(QStringLiteral("  "));
    QTextOption option = Memo1_->document()->defaultTextOption();
    option.setTabs({QTextOption::Tab(column, QTextOption::LeftTab),
                    QTextOption::Tab(column + 1, QTextOption::LeftTab)});
    Memo1_->document()->setDefaultTextOption(option);
    Memo1_->setMinimumHeight(Memo1_->fontMetrics().lineSpacing() * 12);

    btLaunch_ = new QPushButton(QStringLiteral("&Open"), this);
    btLaunch_->setObjectName(QStringLiteral("btLaunch"));
    btLaunch_->setToolTip(QStringLiteral("Run/launch associated application"));
    btView_ = new QPushButton(QStringLiteral("&View"), this);
    btView_->setObjectName(QStringLiteral("btView"));
    btView_->setToolTip(QStringLiteral("View file"));
    btView_->setVisible(bool(view_));
    btPrint_ = new QPushButton(QStringLiteral("Print"), this);
    btPrint_->setObjectName(QStringLiteral("btPrint"));
    btClose_ = new QPushButton(QStringLiteral("Close"), this);
    btClose_->setObjectName(QStringLiteral("btClose"));
    btClose_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btLaunch_, btView_, btPrint_, btClose_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    btClose_->setAutoDefault(true);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Memo1_, 1);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(btLaunch_, &QPushButton::clicked, this, &TfrmDetails::btLaunchClick);
    connect(btView_, &QPushButton::clicked, this, &TfrmDetails::btViewClick);
    connect(btPrint_, &QPushButton::clicked, this, &TfrmDetails::btPrintClick);
    connect(btClose_, &QPushButton::clicked, this, &QDialog::reject);

    const std::optional<FileDetails> d = ReadFileDetails(file_);
    if (d) {
        const QIcon icon = FileIcon(file_);
        iconKey_ = icon.cacheKey();
        Image1_->setPixmap(icon.pixmap(32, 32));
        const QString texts[] = {d->fileName, d->type,     d->sizeBytes, d->clusters,
                                 d->created,  d->modified, d->accessed,  d->attributes};
        static_cast<ElidedLabel*>(labels_[0])->setText(texts[0]);
        for (int k = 1; k < 8; ++k) {
            labels_[k]->setText(texts[k]);
        }
        Memo1_->setPlainText(d->versionLines.join(QLatin1Char('\n')));
        printLines_ = DetailsPrintLines(*d);
    }
    // Without version lines the window closes up under the attributes.
    Memo1_->setVisible(d && !d->versionLines.isEmpty());
    adjustSize();
}

TfrmDetails::~TfrmDetails() = default;

QStringList TfrmDetails::labelTexts() const {
    QStringList texts;
    for (const QLabel* l : labels_) {
        texts.append(l->text());
    }
    return texts;
}

QStringList TfrmDetails::versionLines() const {
    if (Memo1_->isHidden()) {
        return {};
    }
    return Memo1_->toPlainText().split(QLatin1Char('\n'));
}

bool TfrmDetails::versionBoxShown() const {
    return !Memo1_->isHidden();
}

void TfrmDetails::btLaunchClick() {
    if (!platform::openWithDesktop(file_)) {
        ShowError(QStringLiteral("Couldn't open ") + QFile::decodeName(file_));
    }
}

void TfrmDetails::btViewClick() {
    if (view_) {
        view_(file_);
    }
}

void TfrmDetails::btPrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    const QString title = QStringLiteral("File details of ") + QFile::decodeName(file_);
    printer.setDocName(title);
    const bool confirmed = ConfirmPrint(printer, this, printDialog_);
    if (confirmed) {
        PrintListReport(printer, printLines_, title);
    }
}

}  // namespace dw
