#include "stats/ui/stat_list_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/utility.h"
#include "scan/ui/select_extension_dialog.h"
#include "stats/stat_type_lists.h"
#include "widgets/message_boxes.h"
#include "widgets/type_list.h"
#include "widgets/type_list_editor.h"

namespace dw {

TfrmStatList::TfrmStatList(const QString& listName, QWidget* parent)
    : QDialog(parent), listName_(listName) {
    setObjectName(QStringLiteral("frmStatList"));
    setWindowTitle(QStringLiteral("File types"));

    editor_ = new TypeListEditor(
        [this] {
            TfrmSelectExtension picker(this);
            return picker.exec() == QDialog::Accepted ? picker.chosenTypeLines() : QStringList();
        },
        this);
    PickList1 = editor_->list();
    btAdd = editor_->addButton();
    btDelete = editor_->deleteButton();
    btClear = editor_->clearButton();
    btClose = editor_->closeButton();
    connect(editor_, &TypeListEditor::edited, this, &TfrmStatList::updateCount);
    connect(btClose, &QPushButton::clicked, this, &TfrmStatList::btCloseClick);
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(editor_, 1);
    layout->addWidget(lblCount);
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
    ReadStatTypeList(lines, listName_);
    PickList1->setLines(lines);
    updateCount();
}

void TfrmStatList::updateCount() {
    lblCount->setText(QString::number(PickList1->count()) + QStringLiteral(" available"));
}

void TfrmStatList::btCloseClick() {
    if (!WriteStatTypeList(PickList1->lines(), listName_)) {
        ShowError(QStringLiteral("The list of file types could not be saved."));
    }
    accept();
}

void TfrmStatList::reject() {
    btCloseClick();
}

}  // namespace dw
