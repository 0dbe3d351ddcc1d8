#pragma once

#include <functional>

#include "finders/temp_search.h"
#include "finders/ui/finder_window.h"

class QPushButton;

namespace dw {

class TypeList;

// The quick clean `frmClean`, caption "Find and delete temporary files": lists the files
// of the checked drives and folders whose extension is one of the entries selected in the
// extension list (hidden files too, nothing in hidden folders, no links or other system
// entries), largest first after each scan, and hands the marked ones to the deletion
// panel as "TempClean".
//
// The extension list is the stored one (the thirteen quick-clean defaults while none
// was ever stored), all selected when the window is made; "Add/Delete" opens the editor
// (TfrmTempFiles) and reads the list again, with nothing selected. Only the selection
// decides what a scan looks for; the stored list is not changed by it.
class TfrmClean : public FinderWindow {
    Q_OBJECT

public:
    TfrmClean(const SafeHarbor* harbor, QWidget* parent = nullptr, FinderTools tools = {},
              std::function<void(QWidget*)> editExtensions = {});
    ~TfrmClean() override;

    TypeList* PickList1 = nullptr;
    QPushButton* btEdit = nullptr;

    void ReadInFromDisk();
    void selectAllExtensions();
    void deselectAllExtensions();
    void btEditClick();

    QString reportTitle() const override;

protected:
    std::unique_ptr<RowFinder> beginScan(GridTable& grid) override;
    WalkOptions walkOptions() const override;
    void setOptionsEnabled(bool enabled) override;
    void afterScan() override;

private:
    QWidget* buildOptions();

    std::function<void(QWidget*)> editExtensions_;
    QWidget* options_ = nullptr;
};

}  // namespace dw
