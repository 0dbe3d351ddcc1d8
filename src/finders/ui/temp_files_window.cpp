#include "finders/ui/temp_files_window.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/settings_sections.h"
#include "finders/temp_search.h"
#include "scan/type_lines.h"
#include "scan/ui/select_extension_dialog.h"
#include "widgets/message_boxes.h"
#include "widgets/type_list.h"
#include "widgets/type_list_editor.h"

namespace dw {

TfrmTempFiles::TfrmTempFiles(QWidget* parent, std::function<QStringList()> chooseLines)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmTempFiles"));
    setWindowTitle(QStringLiteral("Temporary file extensions"));
    if (!chooseLines) {
        chooseLines = [this] {
            TfrmSelectExtension picker(this);
            return picker.exec() == QDialog::Accepted ? picker.chosenTypeLines() : QStringList();
        };
    }
    editor_ = new TypeListEditor(std::move(chooseLines), this);
    PickList1 = editor_->list();
    editor_->addButton()->setToolTip(QStringLiteral("Add a file extension to this list"));
    editor_->deleteButton()->setToolTip(QStringLiteral("Delete a file extension"));
    editor_->clearButton()->setToolTip(QStringLiteral("Clear all extensions"));
    btDefaults = editor_->addExtraButton("btDefaults", QStringLiteral("D&efaults"));
    btDefaults->setToolTip(QStringLiteral("Inserts some default temporary file extensions"));
    btClose = editor_->closeButton();
    connect(btDefaults, &QPushButton::clicked, this, &TfrmTempFiles::btDefaultsClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* note1 = new QLabel(
        QStringLiteral("Some common temporary file extensions are .TMP, .TEMP, .$$$, .OLD and "
                       ".BAK.  It is your responsibility to ensure that you have selected the "
                       "proper extensions for file deletion."),
        this);
    auto* note2 = new QLabel(
        QStringLiteral(".FTS files may deleted if you're really short of space.  They are "
                       "Windows help file searching add-ons.  They can be re-generated as "
                       "needed."),
        this);
    for (QLabel* l : {note1, note2}) {
        l->setWordWrap(true);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(editor_, 1);
    layout->addWidget(note1);
    layout->addWidget(note2);
    resize(460, 400);
    ReadInFromDisk();
}

TfrmTempFiles::~TfrmTempFiles() = default;

void TfrmTempFiles::ReadInFromDisk() {
    PickList1->setLines(ReadTempExtensionLines(settings::defaultTempFilesForEditor()));
}

void TfrmTempFiles::WriteOutToDisk() {
    if (!WriteTempExtensionLines(PickList1->lines())) {
        ShowError(QStringLiteral("The list of temporary file extensions could not be saved."));
    }
}

void TfrmTempFiles::btDefaultsClick() {
    QStringList lines;
    for (const QString& p : settings::tempFilesDefaultsButton()) {
        lines << TypeLine(p);
    }
    PickList1->addLines(lines);
}

void TfrmTempFiles::done(int result) {
    // Every way of closing stores the list.
    WriteOutToDisk();
    QDialog::done(result);
}

}  // namespace dw
