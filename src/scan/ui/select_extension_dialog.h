#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLineEdit;
class QListWidgetItem;

namespace dw {

class TypeList;

// "Select a file extension": the extension picker of the type-list editors (protected
// extensions, temporary extensions, statistics types). The user types a pattern into
// `Edit1` or selects one or many lines of `lBox`, the type lines of every extension the
// desktop knows. Created by its caller for one use, shown modally.
//
// After exec() returned QDialog::Accepted the caller reads:
// - MultiSelection true: the selected lines of `lBox` (selectedLines(), or
//   chosenTypeLines()) are the choice;
// - MultiSelection false: ChosenPattern, the pattern the typed text stands for (empty
//   when nothing usable was typed), and ChosenDescription, its file type's name.
class TfrmSelectExtension : public QDialog {
    Q_OBJECT

public:
    explicit TfrmSelectExtension(QWidget* parent = nullptr);
    ~TfrmSelectExtension() override;

    bool MultiSelection = false;
    QString ChosenPattern;
    QString ChosenDescription;

    QLineEdit* Edit1 = nullptr;
    TypeList* lBox = nullptr;

    // The selected lines of lBox, in list order.
    QStringList selectedLines() const;

    // What the caller adds to its type list: with MultiSelection the selected lines;
    // otherwise the one line ChosenPattern, TAB, ChosenDescription, unless ChosenPattern
    // is empty or "*.*" (then nothing).
    QStringList chosenTypeLines() const;

    // The pattern a typed text stands for (blanks around it ignored): "" for "", "*.*",
    // ".*" and "*"; the text itself when it begins with "*."; "*." + text when it holds
    // neither "*" nor "." ("doc" gives "*.doc"); "*" + text when it holds no "*" and
    // begins with "." (".doc" gives "*.doc"); anything else as typed ("readme.txt",
    // "a*.tmp").
    static QString patternFromText(const QString& text);

    // "OK" (fromDoubleClick false) or a double click in the list (true): see the class
    // comment. OK always closes with Accepted; a double click closes only when it chose
    // one usable pattern.
    void btOKClick(bool fromDoubleClick);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void lBoxClick(QListWidgetItem* item);

    bool filled_ = false;
};

}  // namespace dw
