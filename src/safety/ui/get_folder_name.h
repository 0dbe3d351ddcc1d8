#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace dw {

// `TfrmGetFolderName` ("Create Sub-folder"): asks for the name of a folder to make.
class TfrmGetFolderName : public QDialog {
    Q_OBJECT

public:
    explicit TfrmGetFolderName(QWidget* parent = nullptr);

    // The name as typed (may hold "/" for several levels).
    QString folderName() const;

    QLineEdit* Edit1 = nullptr;
};

}  // namespace dw
