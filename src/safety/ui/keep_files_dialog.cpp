#include "safety/ui/keep_files_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "scan/type_lines.h"
#include "scan/ui/select_extension_dialog.h"
#include "widgets/message_boxes.h"
#include "widgets/type_list.h"
#include "widgets/type_list_editor.h"

namespace dw {

TfrmKeepFiles::TfrmKeepFiles(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmKeepFiles"));
    setWindowTitle(QStringLiteral("Safe Harbor file extensions"));

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
    btDefaults = editor_->addExtraButton("btDefaults", QStringLiteral("D&efaults"));
    btClose = editor_->closeButton();
    connect(btDefaults, &QPushButton::clicked, this, &TfrmKeepFiles::btDefaultsClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);
    auto* caption = new QLabel(
        QStringLiteral("Files with these extensions or names are never deleted without your "
                       "consent:"),
        this);
    caption->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(editor_, 1);
    resize(420, 320);
}

TfrmKeepFiles::~TfrmKeepFiles() = default;

QStringList TfrmKeepFiles::storedLines() {
    // A damaged count shows (and, once saved, mends) every entry there is.
    const NumberedList list =
        SettingsStore().readListChecked(QString::fromLatin1(settings::kNoDelExt), nullptr);
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

void TfrmKeepFiles::btDefaultsClick() {
    PickList1->addLines({TypeLine(QStringLiteral("*.sys")), TypeLine(QStringLiteral("*.drv"))});
}

}  // namespace dw
