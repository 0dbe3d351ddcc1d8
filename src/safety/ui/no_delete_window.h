#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace dw {

class TypeList;

// "Safe Harbor - List of folders that should not be deleted": where the user builds and
// edits the Safe Harbor. The main window creates it for one use, shows it modally and,
// after it has gone, reloads its lookup when reloadNeeded is set.
//
// Tab "Folders not to delete": the folder list (`ListBox1`, the entries of folders.txt,
// subtree entries in bold), "&Add", "&Delete", "&Edit" (or a double click), "Build list
// of folders", the date of the last build, today's date and the count. Tab "File types
// not to delete": the protected extensions (read only) and "Add/Delete", which opens the
// extension editor. The folder list is saved to folders.txt when the window closes after
// any change (deleted when the list is empty).
class TfrmNoDelete : public QDialog {
    Q_OBJECT

public:
    explicit TfrmNoDelete(QWidget* parent = nullptr);
    ~TfrmNoDelete() override;

    // The window's caption.
    static QString caption();

    // Set by any change of the folder list; the list is saved when the window closes.
    bool listChanged = false;
    // Set when the main window must reload its lookup: a build was confirmed, the
    // extension editor was opened, or the folder list was saved on closing.
    bool reloadNeeded = false;

    QTabWidget* PageControl1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QPushButton* btAdd = nullptr;
    QPushButton* btDel = nullptr;
    QPushButton* btEdit = nullptr;
    QPushButton* btBuild = nullptr;
    QPushButton* btClose = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QLabel* lblWhen = nullptr;
    QLabel* lblToday = nullptr;
    QLabel* lblCount = nullptr;
    TypeList* PickList1 = nullptr;

    // The folder list's entries (native bytes), in list order.
    QList<QByteArray> entries() const;

    // The first-show steps: loads folders.txt into the list (an unreadable file gives an
    // error box and an empty list), the count, the date of the last build, the
    // extensions, today's date; shows the first tab. Run by the first show.
    void FormShow();

    // "Build list of folders": after the confirmation is answered Yes, keeps only the
    // subtree entries, walks the configuration trees (HarborBuildRoots::current()) adding
    // the folders they name, removes the entries that subtree entries cover, and records
    // the date. The window's commands are disabled and the caption reads "Building List
    // ... standby" meanwhile; events keep running, but the window cannot be closed.
    void btBuildClick();
    // "&Add": the folder browser; the chosen folder, with a trailing "/", is appended.
    void btAddClick();
    // "&Delete": removes the selected entries after "Really delete the selected
    // folders?" is answered OK; with none selected, an error box.
    void btDelClick();
    // "&Edit" and a double click: the entry editor on the current entry.
    void btEditClick();
    // "Add/Delete" of the second tab: the extension editor; then the view is read again.
    void BitBtn1Click();

    // lblCount := the count of entries followed by " folders".
    void updatecount();
    // Records the time of the last build: "When" of the settings section "Folders" and
    // lblWhen get the current date and time (long date, a blank, long time), or "Not
    // recorded" when the list is empty; lblToday gets today's long date.
    void updateLastDate();

    // True while a build runs.
    bool isBuilding() const { return building_; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setEntries(const QList<QByteArray>& entries);
    void insertSorted(const QByteArray& entry);
    int addItem(const QByteArray& entry, int row);
    void setCommandsEnabled(bool enabled);
    void readExtensions();
    bool saveList();

    bool shownOnce_ = false;
    bool building_ = false;
};

}  // namespace dw
