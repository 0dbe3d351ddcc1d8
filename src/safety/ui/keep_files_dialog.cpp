#include "safety/ui/keep_files_dialog.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "platform/prompter.h"
#include "scan/type_lines.h"
#include "scan/ui/select_extension_dialog.h"
#include "widgets/message_boxes.h"
#include "widgets/type_list.h"

namespace dw {

namespace {

bool confirmed(const QString& text) {
    return platform::prompter().ask(platform::MessageKind::Question,
                                    QCoreApplication::applicationName(), text,
                                    platform::Buttons::YesNoCancel) == platform::Answer::Yes;
}

}  // namespace

TfrmKeepFiles::TfrmKeepFiles(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmKeepFiles"));
    setWindowTitle(QStringLiteral("Safe Harbor file extensions"));

    PickList1 = new TypeList(this);
    PickList1->setObjectName(QStringLiteral("PickList1"));
    auto* caption = new QLabel(
        QStringLiteral("Files with these extensions or names are never deleted without your "
                       "consent:"),
        this);
    caption->setWordWrap(true);

    auto makeButton = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    btAdd = makeButton("btAdd", QStringLiteral("&Add"));
    btDelete = makeButton("btDelete", QStringLiteral("&Delete"));
    btClear = makeButton("btClear", QStringLiteral("&Clear all"));
    btDefaults = makeButton("btDefaults", QStringLiteral("D&efaults"));
    btClose = makeButton("btClose", QStringLiteral("Close"));
    btClose->setDefault(true);
    connect(btAdd, &QPushButton::clicked, this, &TfrmKeepFiles::btAddClick);
    connect(btDelete, &QPushButton::clicked, this, &TfrmKeepFiles::btDeleteClick);
    connect(btClear, &QPushButton::clicked, this, &TfrmKeepFiles::btClearClick);
    connect(btDefaults, &QPushButton::clicked, this, &TfrmKeepFiles::btDefaultsClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(caption, 0, 0, 1, 2);
    layout->addWidget(PickList1, 1, 0, 6, 1);
    layout->addWidget(btAdd, 1, 1);
    layout->addWidget(btDelete, 2, 1);
    layout->addWidget(btClear, 3, 1);
    layout->addWidget(btDefaults, 4, 1);
    layout->setRowStretch(5, 1);
    layout->addWidget(btClose, 6, 1);
    layout->setColumnStretch(0, 1);
    resize(420, 320);
}

TfrmKeepFiles::~TfrmKeepFiles() = default;

QStringList TfrmKeepFiles::storedLines() {
    const NumberedList list = SettingsStore().readList(QString::fromLatin1(settings::kNoDelExt));
    QStringList lines;
    if (!list.saved) {
        lines << TypeLine(QStringLiteral("*.drv")) << TypeLine(QStringLiteral("*.sys"));
        return lines;
    }
    for (const QString& entry : list.entries) {
        lines.append(TypeLine(entry));
    }
    return lines;
}

void TfrmKeepFiles::ReadInFromDisk() {
    PickList1->setLines(storedLines());
}

bool TfrmKeepFiles::WriteOutToDisk() {
    QStringList patterns;
    for (const QString& line : PickList1->lines()) {
        patterns.append(TypeLinePattern(line));
    }
    if (!SettingsStore().writeList(QString::fromLatin1(settings::kNoDelExt), patterns)) {
        ShowError(QStringLiteral("The list of protected file extensions could not be saved."));
        return false;
    }
    return true;
}

void TfrmKeepFiles::showEvent(QShowEvent* event) {
    if (!shownOnce_) {
        shownOnce_ = true;
        ReadInFromDisk();
    }
    QDialog::showEvent(event);
}

void TfrmKeepFiles::done(int result) {
    WriteOutToDisk();
    QDialog::done(result);
}

void TfrmKeepFiles::btAddClick() {
    TfrmSelectExtension picker(this);
    if (picker.exec() != QDialog::Accepted) {
        return;
    }
    PickList1->addLines(picker.chosenTypeLines());
}

void TfrmKeepFiles::btDeleteClick() {
    const int selected = PickList1->selectedCount();
    if (selected == 0) {
        return;
    }
    if (selected > 1 && !confirmed(QStringLiteral("Really delete ") + QString::number(selected) +
                                   QStringLiteral(" extensions?"))) {
        return;
    }
    PickList1->removeSelected();
}

void TfrmKeepFiles::btClearClick() {
    if (confirmed(QStringLiteral("Really clear out all extensions?"))) {
        PickList1->clear();
    }
}

void TfrmKeepFiles::btDefaultsClick() {
    PickList1->addLines({TypeLine(QStringLiteral("*.sys")), TypeLine(QStringLiteral("*.drv"))});
}

}  // namespace dw
