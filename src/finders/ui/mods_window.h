#pragma once

#include "finders/date_search.h"
#include "finders/ui/finder_window.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QRadioButton;

namespace dw {

// The files-by-date window `frmMods`, caption "Files in a range of dates": lists the
// files of the checked drives and folders whose last access, creation or last change lies
// on or before a day, between two days or on or after a day, optionally matching a
// pattern, and hands the marked ones to the deletion panel as "FileDates".
//
// The two date fields show the locale's short date format and keep start <= end: moving
// the start past the end moves the end with it, and moving the end before the start
// moves the start. Both are set to today when the window is made.
class TfrmMods : public FinderWindow {
    Q_OBJECT

public:
    TfrmMods(const SafeHarbor* harbor, QWidget* parent = nullptr, FinderTools tools = {});
    ~TfrmMods() override;

    // The options as they stand in the window.
    DateOptions options() const;
    // For tests and the window's own controls.
    void setKind(DateKind kind);
    void setTest(DateTest test);
    void setDates(const QDate& start, const QDate& end);
    void setPattern(const QString& pattern);
    QDateEdit* startField() const { return dtStart_; }
    QDateEdit* endField() const { return dtEnd_; }
    QString patternDescription() const;
    QStringList patternItems() const;

    QString reportTitle() const override;

protected:
    std::unique_ptr<RowFinder> beginScan(GridTable& grid) override;
    WalkOptions walkOptions() const override;
    void setOptionsEnabled(bool enabled) override;
    QString browseMask() const override;

private:
    QWidget* buildOptions();
    void rgWhenClick();
    void cbWildCardChange();
    void dtStartGetDate();
    void dtEndGetDate();

    QRadioButton* rgWhat_[3] = {};
    QRadioButton* rgWhen_[3] = {};
    QDateEdit* dtStart_ = nullptr;
    QDateEdit* dtEnd_ = nullptr;
    QLabel* lblAnd_ = nullptr;
    QComboBox* cbWildCard_ = nullptr;
    QLabel* lblWild_ = nullptr;
    QWidget* options_ = nullptr;
    bool guard_ = false;
};

}  // namespace dw
