// The duplicates window's popup menu and what its items do: printing, the clipboard,
// opening a file, sorting, resizing.
#include <QAction>
#include <QFile>
#include <QFrame>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include "base/utility.h"
#include "finders/ui/dup_window.h"
#include "inspect/ui/report_printer.h"
#include "platform/clipboard.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "safety/safe_harbor.h"
#include "scan/ui/drive_check_list.h"
#include "widgets/message_boxes.h"
#include "widgets/sort_menu.h"
#include "widgets/string_grid.h"

namespace dw {

void TfrmDup::buildMenu() {
    PopupMenu1_ = new QMenu(this);
    PopupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));

    details_ = PopupMenu1_->addAction(QStringLiteral("Details"));
    details_->setVisible(bool(tools_.details));
    connect(details_, &QAction::triggered, this, [this] {
        const QByteArray file = currentFile();
        if (!file.isEmpty() && marks_.lookUp(file) && tools_.details) {
            tools_.details(file);
        }
    });

    highlight_ = PopupMenu1_->addAction(QStringLiteral("Highlight folders on Safe Harbor list"));
    highlight_->setCheckable(true);
    highlight_->setChecked(true);
    highlight_->setVisible(harbor_ != nullptr);
    connect(highlight_, &QAction::toggled, this, [this] { grid_->viewport()->update(); });

    addFolder_ = PopupMenu1_->addAction(QStringLiteral("Add a folder to the list of drives"));
    addFolder_->setVisible(bool(tools_.addNewFolder));
    connect(addFolder_, &QAction::triggered, this, [this] {
        if (tools_.addNewFolder) {
            tools_.addNewFolder();
            refillDriveList();
        }
    });

    sortSubmenu_ = PopupMenu1_->addMenu(QStringLiteral("Sort"));
    sortItem_ = sortSubmenu_->menuAction();
    sortMenu_ = new SortMenu(&grid_->table(), kSortMenuDup, this);
    sortMenu_->setSortingEnabled(!duplicateMode_);
    sortMenu_->addTo(sortSubmenu_);
    sortMenu_->checkOnly(0);

    QMenu* mark = PopupMenu1_->addMenu(QStringLiteral("Mark"));
    connect(mark->addAction(QStringLiteral("Mark all")), &QAction::triggered, this,
            &TfrmDup::Markall1Click);
    connect(mark->addAction(QStringLiteral("Unmark all")), &QAction::triggered, this,
            &TfrmDup::Unmarkall1Click);

    QMenu* resize = PopupMenu1_->addMenu(QStringLiteral("Resize"));
    shrink_ = resize->addAction(QStringLiteral("Shrink top panel"));
    restore_ = resize->addAction(QStringLiteral("Restore top panel"));
    restore_->setEnabled(false);
    connect(shrink_, &QAction::triggered, this, &TfrmDup::shrinkTopPanel);
    connect(restore_, &QAction::triggered, this, &TfrmDup::restoreTopPanel);

    connect(PopupMenu1_->addAction(QStringLiteral("Open")), &QAction::triggered, this,
            &TfrmDup::Open1Click);

    view_ = PopupMenu1_->addAction(QStringLiteral("View"));
    view_->setVisible(bool(tools_.view));
    connect(view_, &QAction::triggered, this, [this] {
        const QByteArray file = currentFile();
        if (!file.isEmpty() && marks_.lookUp(file) && tools_.view) {
            tools_.view(file);
        }
    });

    connect(PopupMenu1_->addAction(QStringLiteral("Print")), &QAction::triggered, this,
            &TfrmDup::btPrintClick);

    QMenu* clip = PopupMenu1_->addMenu(QStringLiteral("Clipboard"));
    connect(clip->addAction(QStringLiteral("Filenames only")), &QAction::triggered, this,
            [this] { btClipClick(ClipboardForm::FilenamesOnly); });
    connect(clip->addAction(QStringLiteral("Entire grid separated by tabs")), &QAction::triggered,
            this, [this] { btClipClick(ClipboardForm::EntireGrid); });

    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { showPopup(grid_->viewport()->mapToGlobal(at)); });
    connect(pckDrive_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { showPopup(pckDrive_->viewport()->mapToGlobal(at)); });
    connect(btOptions_, &QPushButton::clicked, this,
            [this] { showPopup(btOptions_->mapToGlobal(QPoint(0, btOptions_->height()))); });
}

void TfrmDup::showPopup(const QPoint& globalPos) {
    if (scanning_) {
        return;
    }
    PopupMenu1_->popup(globalPos);
}

QString TfrmDup::reportTitle() const {
    return DupReportTitle(options(), pckDrive_->checkedEntries());
}

void TfrmDup::btPrintClick() {
    const QString title = reportTitle();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    const bool confirmed = printDialog_ ? printDialog_(printer) : [&] {
        QPrintDialog dialog(&printer, this);
        dialog.setWindowTitle(QStringLiteral("Print"));
        return dialog.exec() == QDialog::Accepted;
    }();
    if (!confirmed) {
        return;
    }
    QList<int> widths;
    for (int c = 0; c < grid_->table().columnCount(); ++c) {
        widths << grid_->columnWidth(c);
    }
    PrintGridReport(printer, grid_->table(), widths, title);
}

void TfrmDup::btClipClick(ClipboardForm form) {
    platform::setClipboardText(ClipboardText(grid_->table(), form));
}

void TfrmDup::Open1Click() {
    const QByteArray file = currentFile();
    if (file.isEmpty() || !marks_.lookUp(file)) {
        return;
    }
    if (!platform::openWithDesktop(file)) {
        ShowError(QStringLiteral("Couldn't open ") + QFile::decodeName(file));
    }
}

void TfrmDup::shrinkTopPanel() {
    Panel1_->hide();
    shrink_->setEnabled(false);
    restore_->setEnabled(true);
}

void TfrmDup::restoreTopPanel() {
    Panel1_->show();
    shrink_->setEnabled(true);
    restore_->setEnabled(false);
}

// What the Safe Harbor is asked about for a row while "Highlight folders on Safe Harbor
// list" is checked: the file of a file hog; the folder of a duplicate, asked as a folder
// ("/" for a file in the root). Empty otherwise, and for rows without a path.
QByteArray TfrmDup::highlightedPath(qsizetype row) const {
    if (!highlight_ || !highlight_->isChecked()) {
        return {};
    }
    const QByteArrayView path = grid_->table().rowDataView(row);
    if (path.isEmpty() || !duplicateMode_) {
        return path.toByteArray();
    }
    const qsizetype slash = path.lastIndexOf(platform::kSep);
    return slash <= 0 ? QByteArray(platform::kRootFolder) : path.first(slash).toByteArray();
}

}  // namespace dw
