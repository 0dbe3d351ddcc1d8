#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>

#include <functional>

#include "finders/cache_folders.h"

class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace dw {

class ElidedLabel;

// The browser-cache cleaner `frmCache`, caption "Internet Browser Cache Folders": keeps
// the list of cache folders (the stored one, found by the first discovery while none
// was ever stored; "&Initialize", shown while the list is empty, discovers again),
// lets the user add and remove folders (the folders themselves are never touched), and
// hands the files lying directly in the listed folders that were not accessed for the
// chosen number of days to the deletion panel as "InternetCache". A file listed through
// two entries is handed over once. The dialog stays open after the panel, and stores the
// list however it is closed.
//
// Folders are kept as native paths: a folder whose name is not UTF-8 is listed with its
// text decoded and acted on as exactly that folder.
class TfrmCache : public QDialog {
    Q_OBJECT

public:
    struct Tools {
        // The deletion panel: the files, the caller word, their total; its modal result.
        std::function<int(const QList<QByteArray>& files, const QString& callerName,
                          qint64 totalSize)>
            reallyDelete;
        // The folder dialog "Select an internet Cache folder"; empty when cancelled.
        std::function<QByteArray(QWidget* owner)> chooseFolder;
        // Where discovery looks (the user's own when empty).
        CacheRoots roots;
    };

    explicit TfrmCache(QWidget* parent = nullptr, Tools tools = {});
    ~TfrmCache() override;

    const QList<QByteArray>& folders() const { return folders_; }
    QListWidget* ListBox1 = nullptr;
    QSpinBox* nDays = nullptr;
    QPushButton* btInit = nullptr;
    QPushButton* btAdd = nullptr;
    QPushButton* btDel = nullptr;
    QPushButton* btClear = nullptr;
    QPushButton* btClose = nullptr;
    QPushButton* btAbort = nullptr;
    ElidedLabel* pnlSel = nullptr;

    void ReadInFromDisk();
    void WriteOutToDisk();
    void btInitClick();
    void btAddClick();
    void btDelClick();
    // Collects the files (the window's events run on the walk's clock meanwhile, and the
    // status line counts them), then hands them to the deletion panel.
    void btClearClick();
    // Stops a running collection at once; nothing is handed over then.
    void btAbortClick();
    // Close and Esc: while collecting, Abort, and the window closes once it has stopped.
    void reject() override;
    bool isCollecting() const { return collecting_; }
    // For tests: how often the collection lets window events run (milliseconds).
    void setPumpInterval(int milliseconds) { pumpIntervalMs_ = milliseconds; }
    // What the last clear run handed over: its files and their total.
    const CacheFiles& lastHandedOver() const { return lastRun_; }

protected:
    void done(int result) override;

private:
    void setFolders(const QList<QByteArray>& folders);
    void appendFolder(const QByteArray& folder);

    Tools tools_;
    QList<QByteArray> folders_;
    CacheFiles lastRun_;
    int pumpIntervalMs_ = 30;
    bool collecting_ = false;
    bool abort_ = false;
    bool closeRequested_ = false;
};

}  // namespace dw
