#include "scan/ui/select_extension_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/utility.h"
#include "scan/type_lines.h"
#include "widgets/type_list.h"

namespace dw {

TfrmSelectExtension::TfrmSelectExtension(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSelectExtension"));
    setWindowTitle(QStringLiteral("Select a file extension"));

    auto* prompt = new QLabel(
        QStringLiteral("Type in a new file extension or select one or many from the list below:"),
        this);
    prompt->setWordWrap(true);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    lBox = new TypeList(this);
    lBox->setObjectName(QStringLiteral("lBox"));
    lBox->setToolTip(QStringLiteral("Double click to select, Ctrl-click to select more than one"));
    lBox->setPatternWidth(80);
    auto* hint = new QLabel(
        QStringLiteral("Hint: Drag mouse or use ctrl-click to select multiple file extensions."),
        this);
    hint->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { btOKClick(false); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The edit box follows the list's current item however it moves (mouse, arrow keys,
    // typing a letter), so OK returns the type the user sees highlighted.
    connect(lBox, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* current) { lBoxClick(current); });
    connect(lBox, &QListWidget::itemClicked, this, &TfrmSelectExtension::lBoxClick);
    connect(lBox, &QListWidget::itemDoubleClicked, this, [this] { btOKClick(true); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(Edit1);
    layout->addWidget(lBox, 1);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    resize(380, 420);
}

TfrmSelectExtension::~TfrmSelectExtension() = default;

void TfrmSelectExtension::showEvent(QShowEvent* event) {
    if (!filled_) {
        filled_ = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

void TfrmSelectExtension::FormShow() {
    QStringList patterns;
    RegisteredExtensionPatterns(patterns, false);
    QStringList lines;
    lines.reserve(patterns.size());
    for (const QString& p : patterns) {
        if (p != QLatin1String("*.*")) {
            lines.append(TypeLine(p));
        }
    }
    lBox->setLines(lines);
    if (!patterns.isEmpty()) {
        Edit1->setText(patterns.front());
    }
    Edit1->selectAll();
    Edit1->setFocus();
}

void TfrmSelectExtension::lBoxClick(QListWidgetItem* item) {
    if (item) {
        Edit1->setText(TypeLinePattern(item->text()));
    }
}

QStringList TfrmSelectExtension::selectedLines() const {
    return lBox->selectedLines();
}

QStringList TfrmSelectExtension::chosenTypeLines() const {
    if (MultiSelection) {
        return selectedLines();
    }
    if (ChosenPattern.isEmpty() || ChosenPattern == QLatin1String("*.*")) {
        return {};
    }
    return {ChosenPattern + QLatin1Char('\t') + ChosenDescription};
}

QString TfrmSelectExtension::patternFromText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("*.*") || t == QLatin1String(".*") ||
        t == QLatin1String("*")) {
        return {};
    }
    if (t.startsWith(QLatin1String("*."))) {
        return t;
    }
    const bool star = t.contains(QLatin1Char('*'));
    if (!star && !t.contains(QLatin1Char('.'))) {
        return QStringLiteral("*.") + t;
    }
    if (!star && t.startsWith(QLatin1Char('.'))) {
        return QLatin1Char('*') + t;
    }
    return t;
}

void TfrmSelectExtension::btOKClick(bool fromDoubleClick) {
    if (lBox->selectedCount() > 1) {
        MultiSelection = true;
        if (!fromDoubleClick) {
            accept();
        }
        return;
    }
    MultiSelection = false;
    ChosenPattern.clear();
    ChosenDescription.clear();
    ChosenPattern = patternFromText(Edit1->text());
    if (!ChosenPattern.isEmpty()) {
        ChosenDescription = FileTypeName(PatternExtension(ChosenPattern));
        accept();
        return;
    }
    if (!fromDoubleClick) {
        accept();
    }
}

}  // namespace dw
