#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QGridLayout;
class QPushButton;

namespace dw {

class TypeList;

// A list of type lines (TypeList, object name "PickList1") with the column of buttons
// that edit it, top to bottom: "&Add" ("btAdd"), "&Delete" ("btDelete"), "&Clear all"
// ("btClear"), the buttons a window adds, a stretch, and "Close" ("btClose", the default
// button, which the window connects). The editors of the program's stored type lists
// are made of it.
//
// - "&Add" asks `chooseLines` for the lines to add (the extension picker) and adds each
//   that is not in the list yet; an empty answer adds nothing.
// - "&Delete" removes the selected lines: one without a question, more than one only
//   after "Really delete N extensions?" (question, Yes/No/Cancel) is answered Yes.
//   Nothing selected: nothing happens.
// - "&Clear all" empties the list after "Really clear out all extensions?" is answered
//   Yes.
// The questions go through the prompter in force. `edited` follows each of the three,
// whether or not it changed the list.
class TypeListEditor : public QWidget {
    Q_OBJECT

public:
    explicit TypeListEditor(std::function<QStringList()> chooseLines, QWidget* parent = nullptr);
    ~TypeListEditor() override;

    TypeList* list() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* clearButton() const { return clear_; }
    QPushButton* closeButton() const { return close_; }

    // A further button below "&Clear all" and before "Close" in the focus order, named
    // `objectName` and showing `text`; the window connects it.
    QPushButton* addExtraButton(const char* objectName, const QString& text);

    void addClick();
    void deleteClick();
    void clearClick();

signals:
    void edited();

private:
    QPushButton* makeButton(const char* objectName, const QString& text);

    std::function<QStringList()> chooseLines_;
    QGridLayout* layout_ = nullptr;
    TypeList* list_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* close_ = nullptr;
    int extraButtons_ = 0;
};

}  // namespace dw
