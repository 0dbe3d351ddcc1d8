#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;

namespace dw {

// "Wildcard pattern": asks for the browser's wildcard pattern. The caller sets the current
// pattern (setPattern) before exec() and, on QDialog::Accepted, takes pattern(). The box
// `cbWildCard` is editable; its list offers "*.*" and "*." followed by every extension the
// desktop knows. `lblWild` reads "All files" for "*.*", and `lblType` names the file type
// of the pattern's extension.
class TfrmWildCard : public QDialog {
    Q_OBJECT

public:
    explicit TfrmWildCard(QWidget* parent = nullptr);
    ~TfrmWildCard() override;

    QComboBox* cbWildCard = nullptr;
    QLabel* lblWild = nullptr;
    QLabel* lblType = nullptr;

    void setPattern(const QString& pattern);
    QString pattern() const;

    // Brings lblWild and lblType up to date with the box's text: "All files" or nothing,
    // and FileTypeName of the text without its first character.
    void cbWildCardClick();
};

}  // namespace dw
