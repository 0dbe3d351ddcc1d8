// The duplicates window's options, and what its window is made of in each mode.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

#include "base/settings_sections.h"
#include "base/utility.h"
#include "finders/ui/dup_window.h"
#include "widgets/sort_menu.h"

namespace dw {

namespace {

constexpr int kSizeTypedMax = 99999999;

}  // namespace

FinderWindow::Setup TfrmDup::setupFor(bool duplicateMode) {
    Setup s{
        "frmDup",
        DupColumnTitles(duplicateMode),
        duplicateMode ? QStringLiteral("Find and delete duplicate files")
                      : QStringLiteral("Find and delete file hogs"),
        duplicateMode ? QStringLiteral("Duplicates on file name only")
                      : QStringLiteral("Start scanning for file hogs"),
        QString(),
        // The word archives are named with: each finder its own, so an archive of file
        // hogs is not taken for one of duplicates.
        duplicateMode ? QStringLiteral("Duplicates") : QStringLiteral("FileHogs"),
        &kSortMenuDup,
        DupMarkColumn(duplicateMode),
        duplicateMode ? kDupSizeColumn : kHogSizeColumn,
        duplicateMode ? kDupFolderColumn : kHogPathColumn,
        // Pixels at 96 per inch; the last column takes the rest.
        duplicateMode ? std::vector<int>{93, 58, 64, 70, 70, 184}
                      : std::vector<int>{64, 64, 64, 64, 296},
        duplicateMode ? settings::kPlacementDuplicates : settings::kPlacementFileHogs,
        kFinderDriveKinds,
        // Protected files in bold: the "FileName" cell of a file hog, or the "Folder"
        // cell of a duplicate whose folder is protected.
        !duplicateMode,
        duplicateMode ? kDupFolderColumn : kHogPathColumn,
        QString(),
        QString(),
    };
    s.buttonHints = false;
    s.openingSize = QSize(780, 520);
    s.markRoom = 16;
    return s;
}

// The size test, the pattern and the criterion, in rows of a grid.
QWidget* TfrmDup::buildOptions() {
    auto* panel = new QWidget;
    auto* options = new QGridLayout(panel);
    options->setContentsMargins(0, 0, 0, 0);
    options->setHorizontalSpacing(6);
    options->setVerticalSpacing(4);

    rbLarger_ = new QRadioButton(QLatin1String(kSizeTestLargerText), panel);
    rbLarger_->setObjectName(QStringLiteral("rbLarger"));
    rbSmaller_ = new QRadioButton(QLatin1String(kSizeTestSmallerText), panel);
    rbSmaller_->setObjectName(QStringLiteral("rbSmaller"));
    rbBetween_ = new QRadioButton(QLatin1String(kSizeTestBetweenText), panel);
    rbBetween_->setObjectName(QStringLiteral("rbBetween"));
    rbLarger_->setChecked(true);

    num1_ = new QSpinBox(panel);
    num1_->setObjectName(QStringLiteral("num1"));
    num2_ = new QSpinBox(panel);
    num2_->setObjectName(QStringLiteral("num2"));
    for (QSpinBox* n : {num1_, num2_}) {
        // The box takes more digits than the limit allows, so that a number too large
        // is shown as typed (in red) and refused by Start rather than cut to fit.
        n->setRange(0, kSizeTypedMax);
        n->setSingleStep(1);
        n->setValue(250);
        n->setAccelerated(true);
        n->setToolTip(QStringLiteral("From 0 to %1").arg(FormatThousands(kSizeLimitMax)));
        connect(n, &QSpinBox::valueChanged, n, [n](int value) {
            if (value > kSizeLimitMax) {
                QPalette red = n->palette();
                red.setColor(QPalette::Text, Qt::red);
                n->setPalette(red);
            } else {
                n->setPalette(QPalette());
            }
        });
    }
    lblAnd_ = new QLabel(QStringLiteral("and"), panel);
    lblAnd_->setObjectName(QStringLiteral("lblAnd"));
    cbKB1_ = new QComboBox(panel);
    cbKB1_->setObjectName(QStringLiteral("cbKB1"));
    for (const SizeUnit unit : {SizeUnit::Bytes, SizeUnit::KB, SizeUnit::MB, SizeUnit::GB}) {
        cbKB1_->addItem(QLatin1String(SizeUnitText(unit)));
    }

    auto* sizeRow = new QHBoxLayout;
    sizeRow->setSpacing(6);
    sizeRow->addWidget(num1_);
    sizeRow->addWidget(lblAnd_);
    sizeRow->addWidget(num2_);
    sizeRow->addWidget(cbKB1_);
    sizeRow->addStretch(1);

    options->addWidget(rbLarger_, 0, 0);
    options->addLayout(sizeRow, 0, 1, 1, 2);
    options->addWidget(rbSmaller_, 1, 0);
    options->addWidget(rbBetween_, 2, 0);

    auto* matching = new QLabel(QStringLiteral("Matching"), panel);
    cbWildCard_ = new QComboBox(panel);
    cbWildCard_->setObjectName(QStringLiteral("cbWildCard"));
    cbWildCard_->setEditable(true);
    cbWildCard_->setMaxVisibleItems(14);
    cbWildCard_->setInsertPolicy(QComboBox::NoInsert);
    cbWildCard_->setMinimumContentsLength(10);
    cbWildCard_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    matching->setBuddy(cbWildCard_);
    lblWild_ = new QLabel(QStringLiteral("All files"), panel);
    lblWild_->setObjectName(QStringLiteral("lblWild"));
    lblWild_->setMinimumWidth(160);
    auto* wildRow = new QHBoxLayout;
    wildRow->setSpacing(6);
    wildRow->addWidget(cbWildCard_);
    wildRow->addWidget(lblWild_, 1);
    options->addWidget(matching, 3, 0);
    options->addLayout(wildRow, 3, 1, 1, 2);

    lblDup_ = new QLabel(QStringLiteral("Duplicates matching on : "), panel);
    lblDup_->setObjectName(QStringLiteral("lblDup"));
    cbDup_ = new QComboBox(panel);
    cbDup_->setObjectName(QStringLiteral("cbDup"));
    for (const DupCriterion& c : kDupCriteria) {
        cbDup_->addItem(QLatin1String(c.item));
    }
    lblDup_->setBuddy(cbDup_);
    options->addWidget(lblDup_, 4, 0);
    options->addWidget(cbDup_, 4, 1, 1, 2);
    cbHidden_ = new QCheckBox(QStringLiteral("Include hidden folders"), panel);
    cbHidden_->setObjectName(QStringLiteral("cbHidden"));
    cbHidden_->setToolTip(
        QStringLiteral("Also search folders whose names begin with a dot, such as ~/.cache"));
    cbEmpty_ = new QCheckBox(QStringLiteral("Include empty files"), panel);
    cbEmpty_->setObjectName(QStringLiteral("cbEmpty"));
    cbEmpty_->setToolTip(QStringLiteral(
        "With \"Same contents\": count files of no size as duplicates of each other"));
    auto* checkRow = new QHBoxLayout;
    checkRow->setSpacing(12);
    checkRow->addWidget(cbHidden_);
    checkRow->addWidget(cbEmpty_);
    checkRow->addStretch(1);
    options->addLayout(checkRow, 5, 0, 1, 3);
    options->setColumnStretch(2, 1);
    // The options stay together at the top however tall the drive list makes the panel.
    options->setRowStretch(6, 1);

    return panel;
}

}  // namespace dw
