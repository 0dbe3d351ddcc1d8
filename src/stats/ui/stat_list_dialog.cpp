#include "stats/ui/stat_list_dialog.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "base/utility.h"
#include "platform/prompter.h"
#include "scan/ui/select_extension_dialog.h"
#include "stats/stat_type_lists.h"
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

TfrmStatList::TfrmStatList(const QString& listName, QWidget* parent)
    : QDialog(parent), listName_(listName) {
    setObjectName(QStringLiteral("frmStatList"));
    setWindowTitle(QStringLiteral("File types"));

    PickList1 = new TypeList(this);
    PickList1->setObjectName(QStringLiteral("PickList1"));
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    auto makeButton = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    btAdd = makeButton("btAdd", QStringLiteral("&Add"));
    btDelete = makeButton("btDelete", QStringLiteral("&Delete"));
    btClear = makeButton("btClear", QStringLiteral("&Clear all"));
    btClose = makeButton("btClose", QStringLiteral("Close"));
    btClose->setDefault(true);
    connect(btAdd, &QPushButton::clicked, this, &TfrmStatList::btAddClick);
    connect(btDelete, &QPushButton::clicked, this, &TfrmStatList::btDeleteClick);
    connect(btClear, &QPushButton::clicked, this, &TfrmStatList::btClearClick);
    connect(btClose, &QPushButton::clicked, this, &TfrmStatList::btCloseClick);

    auto* layout = new QGridLayout(this);
    layout->addWidget(PickList1, 0, 0, 5, 1);
    layout->addWidget(btAdd, 0, 1);
    layout->addWidget(btDelete, 1, 1);
    layout->addWidget(btClear, 2, 1);
    layout->setRowStretch(3, 1);
    layout->addWidget(btClose, 4, 1);
    layout->addWidget(lblCount, 5, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    resize(400, 320);
}

TfrmStatList::~TfrmStatList() = default;

void TfrmStatList::showEvent(QShowEvent* event) {
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

void TfrmStatList::FormShow() {
    QStringList lines;
    ReadStatFilesFromDisk(lines, listName_);
    PickList1->setLines(lines);
    updateCount();
}

void TfrmStatList::updateCount() {
    lblCount->setText(QString::number(PickList1->count()) + QStringLiteral(" available"));
}

void TfrmStatList::btAddClick() {
    TfrmSelectExtension picker(this);
    if (picker.exec() == QDialog::Accepted) {
        PickList1->addLines(picker.chosenTypeLines());
    }
    updateCount();
}

void TfrmStatList::btDeleteClick() {
    const int selected = PickList1->selectedCount();
    if (selected > 1 && !confirmed(QStringLiteral("Really delete ") + QString::number(selected) +
                                   QStringLiteral(" extensions?"))) {
        return;
    }
    PickList1->removeSelected();
    updateCount();
}

void TfrmStatList::btClearClick() {
    if (confirmed(QStringLiteral("Really clear out all extensions?"))) {
        PickList1->clear();
    }
    updateCount();
}

void TfrmStatList::btCloseClick() {
    if (!WriteStatFilesToDisk(PickList1->lines(), listName_)) {
        ShowError(QStringLiteral("The list of file types could not be saved."));
    }
    accept();
}

void TfrmStatList::reject() {
    btCloseClick();
}

}  // namespace dw
