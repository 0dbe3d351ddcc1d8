#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QToolButton;

namespace dw {

// The archive options `TfrmZipOptions` ("Archive Zip File Options"), shown before every
// zip run: the folder archives go to (typed into its field, or chosen with the folder
// browser beside it) and the comment put into the archives (at most 80 characters).
// The folder is read from the settings ("ZipFile": "Path") when the dialog is shown and
// written back whenever it closes, by OK or by Cancel; the run goes on only after OK.
// The comment field starts empty: the last comment typed ("ZipFile": "Comment") is
// offered (shown greyed in the field, and put in by "Use last"), never reused unasked;
// a comment typed is remembered at close, and an empty field keeps the one remembered.
// OK first checks the folder: one that does not exist, is no folder or cannot
// be written gives an error box saying why, and the dialog stays open. An empty field
// stands for the default folder; a leading "~/" for the home folder.
class TfrmZipOptions : public QDialog {
    Q_OBJECT

public:
    // `defaultZipPath`, when given, is the program's DefaultZipPath: set from the
    // settings on show and from the folder field on close. Not owned.
    explicit TfrmZipOptions(QWidget* parent = nullptr, QString* defaultZipPath = nullptr);

    // Fills the folder from the settings (defaultZipFolder() when none) and offers the
    // remembered comment; the comment field itself starts empty. Runs when the dialog
    // is shown.
    void readSettings();
    // Stores the folder in the settings and DefaultZipPath, the comment field in
    // comment() and, when not empty, in the settings. Runs at close; a settings file
    // that cannot be written is reported.
    void writeSettings();

    // The folder and comment as they were when the dialog closed (or as read).
    QString zipPath() const { return zipPath_; }
    QString comment() const { return comment_; }

    // The folder browser beside the folder field ("Location of archive zip files").
    void SpeedButton1Click();
    // Why `folder` cannot take archives ("it does not exist", ...), or empty when it can.
    static QString folderProblem(const QString& folder);

    QLineEdit* Edit1 = nullptr;            // the folder
    QLineEdit* Edit2 = nullptr;            // the comment
    QToolButton* btLastComment = nullptr;  // puts the remembered comment in Edit2
    QToolButton* SpeedButton1 = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString* defaultZipPath_;
    QString zipPath_;
    QString comment_;
    QString lastComment_;
    bool read_ = false;
};

}  // namespace dw
