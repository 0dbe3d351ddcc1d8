#include "finders/ui/mods_window.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/utility.h"
#include "widgets/sort_menu.h"

namespace dw {

TfrmMods::TfrmMods(const SafeHarbor* harbor, QWidget* parent, FinderTools tools)
    : FinderWindow(Setup{"frmMods",
                         DateColumnTitles(),
                         QStringLiteral("Files in a range of dates"),
                         QStringLiteral("Start scanning for files"),
                         QStringLiteral("Mark files for deletion"),
                         QStringLiteral("FileDates"),
                         &kSortMenuMods,
                         kDateNameColumn,
                         kDateSizeColumn,
                         kDateFolderColumn,
                         {110, 68, 68, 68, 65, 189},
                         settings::kPlacementFilesAccessed,
                         kFilesAccessedDriveKinds,
                         false,
                         kDateFolderColumn,
                         QString(),
                         QStringLiteral("Found : ")},
                   harbor, parent, std::move(tools)) {
    build(buildOptions());
}

TfrmMods::~TfrmMods() = default;

QWidget* TfrmMods::buildOptions() {
    options_ = new QWidget;
    auto* what = new QGroupBox(QStringLiteral("Search for files that were"), options_);
    auto* whatLayout = new QVBoxLayout(what);
    for (int i = 0; i < 3; ++i) {
        rgWhat_[i] = new QRadioButton(QLatin1String(kDateKindTexts[i]), what);
        rgWhat_[i]->setObjectName(QStringLiteral("rgWhat%1").arg(i));
        whatLayout->addWidget(rgWhat_[i]);
    }
    rgWhat_[0]->setChecked(true);
    auto* when = new QGroupBox(options_);
    auto* whenLayout = new QVBoxLayout(when);
    for (int i = 0; i < 3; ++i) {
        rgWhen_[i] = new QRadioButton(QLatin1String(kDateTestTexts[i]), when);
        rgWhen_[i]->setObjectName(QStringLiteral("rgWhen%1").arg(i));
        whenLayout->addWidget(rgWhen_[i]);
        connect(rgWhen_[i], &QRadioButton::toggled, this, &TfrmMods::rgWhenClick);
    }
    rgWhen_[1]->setChecked(true);

    // The locale's short format, with the year in full: a two-digit year would read
    // "24" as 1924.
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy"))) {
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    }
    dtStart_ = new QDateEdit(QDate::currentDate(), options_);
    dtStart_->setObjectName(QStringLiteral("dtStart"));
    dtEnd_ = new QDateEdit(QDate::currentDate(), options_);
    dtEnd_->setObjectName(QStringLiteral("dtEnd"));
    for (QDateEdit* d : {dtStart_, dtEnd_}) {
        d->setDisplayFormat(format);
        d->setCalendarPopup(true);
        // The dates a file can carry.
        d->setDateRange(QDate(1980, 1, 1), QDate(2107, 12, 31));
    }
    connect(dtStart_, &QDateEdit::dateChanged, this, &TfrmMods::dtStartGetDate);
    connect(dtEnd_, &QDateEdit::dateChanged, this, &TfrmMods::dtEndGetDate);
    lblAnd_ = new QLabel(QStringLiteral("and"), options_);
    auto* dates = new QVBoxLayout;
    dates->addWidget(dtStart_);
    dates->addWidget(lblAnd_);
    dates->addWidget(dtEnd_);
    dates->addStretch(1);

    auto* wildLabel = new QLabel(QStringLiteral("Wildcard match"), options_);
    cbWildCard_ = new QComboBox(options_);
    cbWildCard_->setObjectName(QStringLiteral("cbWildCard"));
    cbWildCard_->setEditable(true);
    cbWildCard_->setInsertPolicy(QComboBox::NoInsert);
    cbWildCard_->setMaxVisibleItems(14);
    wildLabel->setBuddy(cbWildCard_);
    QStringList patterns;
    RegisteredExtensionPatterns(patterns, true);
    cbWildCard_->addItems(patterns);
    cbWildCard_->setCurrentText(QStringLiteral("*.*"));
    lblWild_ = new QLabel(options_);
    lblWild_->setObjectName(QStringLiteral("lblWild"));
    lblWild_->setMinimumWidth(150);
    connect(cbWildCard_, &QComboBox::editTextChanged, this, &TfrmMods::cbWildCardChange);
    cbWildCardChange();
    auto* wild = new QVBoxLayout;
    wild->addWidget(wildLabel);
    wild->addWidget(cbWildCard_);
    wild->addWidget(lblWild_);
    wild->addStretch(1);

    auto* row = new QHBoxLayout(options_);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(what);
    row->addWidget(when);
    row->addLayout(dates);
    row->addLayout(wild);
    rgWhenClick();
    return options_;
}

DateOptions TfrmMods::options() const {
    DateOptions o;
    o.kind = rgWhat_[1]->isChecked()   ? DateKind::Created
             : rgWhat_[2]->isChecked() ? DateKind::Modified
                                       : DateKind::Accessed;
    o.test = rgWhen_[0]->isChecked()   ? DateTest::OnOrBefore
             : rgWhen_[2]->isChecked() ? DateTest::OnOrAfter
                                       : DateTest::Between;
    o.start = dtStart_->date();
    o.end = dtEnd_->date();
    o.pattern = cbWildCard_->currentText();
    return o;
}

void TfrmMods::setKind(DateKind kind) {
    rgWhat_[int(kind)]->setChecked(true);
}

void TfrmMods::setTest(DateTest test) {
    rgWhen_[int(test)]->setChecked(true);
}

void TfrmMods::setDates(const QDate& start, const QDate& end) {
    dtStart_->setDate(start);
    dtEnd_->setDate(end);
}

void TfrmMods::setPattern(const QString& pattern) {
    cbWildCard_->setCurrentText(pattern);
}

QString TfrmMods::patternDescription() const {
    return lblWild_->text();
}

QStringList TfrmMods::patternItems() const {
    QStringList items;
    for (int i = 0; i < cbWildCard_->count(); ++i) {
        items << cbWildCard_->itemText(i);
    }
    return items;
}

QString TfrmMods::reportTitle() const {
    return DateReportTitle(options());
}

std::unique_ptr<RowFinder> TfrmMods::beginScan(GridTable& grid) {
    return std::make_unique<DateSearch>(options(), grid);
}

WalkOptions TfrmMods::walkOptions() const {
    WalkOptions w;
    w.pattern = WildcardPattern(cbWildCard_->currentText());
    return w;
}

void TfrmMods::setOptionsEnabled(bool enabled) {
    options_->setEnabled(enabled);
}

QString TfrmMods::browseMask() const {
    return QStringLiteral("*.*");
}

void TfrmMods::rgWhenClick() {
    const bool between = rgWhen_[1] && rgWhen_[1]->isChecked();
    if (lblAnd_) {
        lblAnd_->setVisible(between);
        dtEnd_->setVisible(between);
    }
}

void TfrmMods::cbWildCardChange() {
    const QString text = cbWildCard_->currentText();
    lblWild_->setText(text == QLatin1String("*.*") ? QStringLiteral("All files")
                                                   : FileTypeName(text.mid(1)));
}

void TfrmMods::dtStartGetDate() {
    if (guard_) {
        return;
    }
    guard_ = true;
    if (dtEnd_->date() < dtStart_->date()) {
        dtEnd_->setDate(dtStart_->date());
    }
    guard_ = false;
}

void TfrmMods::dtEndGetDate() {
    if (guard_) {
        return;
    }
    guard_ = true;
    if (dtEnd_->date() < dtStart_->date()) {
        dtStart_->setDate(dtEnd_->date());
    }
    guard_ = false;
}

}  // namespace dw
