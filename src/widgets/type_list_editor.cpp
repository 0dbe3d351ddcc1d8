#include "widgets/type_list_editor.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QPushButton>

#include <utility>

#include "platform/prompter.h"
#include "widgets/type_list.h"

namespace dw {

namespace {

// The buttons stand in rows 0 to 2, the added ones below them; then the stretch and
// "Close". The list spans every row.
constexpr int kFirstExtraRow = 3;

bool confirmed(const QString& text) {
    return platform::prompter().ask(platform::MessageKind::Question,
                                    QCoreApplication::applicationName(), text,
                                    platform::Buttons::YesNoCancel) == platform::Answer::Yes;
}

}  // namespace

TypeListEditor::TypeListEditor(std::function<QStringList()> chooseLines, QWidget* parent)
    : QWidget(parent), chooseLines_(std::move(chooseLines)) {
    list_ = new TypeList(this);
    list_->setObjectName(QStringLiteral("PickList1"));
    add_ = makeButton("btAdd", QStringLiteral("&Add"));
    delete_ = makeButton("btDelete", QStringLiteral("&Delete"));
    clear_ = makeButton("btClear", QStringLiteral("&Clear all"));
    close_ = makeButton("btClose", QStringLiteral("Close"));
    close_->setDefault(true);
    connect(add_, &QPushButton::clicked, this, &TypeListEditor::addClick);
    connect(delete_, &QPushButton::clicked, this, &TypeListEditor::deleteClick);
    connect(clear_, &QPushButton::clicked, this, &TypeListEditor::clearClick);

    layout_ = new QGridLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->addWidget(list_, 0, 0, kFirstExtraRow + 2, 1);
    layout_->addWidget(add_, 0, 1);
    layout_->addWidget(delete_, 1, 1);
    layout_->addWidget(clear_, 2, 1);
    layout_->setRowStretch(kFirstExtraRow, 1);
    layout_->addWidget(close_, kFirstExtraRow + 1, 1);
    layout_->setColumnStretch(0, 1);
}

TypeListEditor::~TypeListEditor() = default;

QPushButton* TypeListEditor::makeButton(const char* objectName, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(objectName));
    b->setAutoDefault(false);
    return b;
}

QPushButton* TypeListEditor::addExtraButton(const char* objectName, const QString& text) {
    QPushButton* b = makeButton(objectName, text);
    // Each added button takes the stretch's row and moves the stretch and "Close" down.
    const int row = kFirstExtraRow + extraButtons_++;
    layout_->removeWidget(close_);
    layout_->setRowStretch(row, 0);
    layout_->addWidget(b, row, 1);
    layout_->setRowStretch(row + 1, 1);
    layout_->addWidget(close_, row + 2, 1);
    layout_->removeWidget(list_);
    layout_->addWidget(list_, 0, 0, row + 3, 1);
    setTabOrder(b, close_);
    return b;
}

void TypeListEditor::addClick() {
    list_->addLines(chooseLines_());
    emit edited();
}

void TypeListEditor::deleteClick() {
    const int selected = list_->selectedCount();
    if (selected > 1 && !confirmed(QStringLiteral("Really delete ") + QString::number(selected) +
                                   QStringLiteral(" extensions?"))) {
        emit edited();
        return;
    }
    list_->removeSelected();
    emit edited();
}

void TypeListEditor::clearClick() {
    if (confirmed(QStringLiteral("Really clear out all extensions?"))) {
        list_->clear();
    }
    emit edited();
}

}  // namespace dw
