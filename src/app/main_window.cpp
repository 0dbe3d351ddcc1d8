#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolTip>
#include <QVBoxLayout>

#include "app/about_box.h"
#include "app/help_viewer.h"
#include "app/resources.h"
#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "finders/ui/browse_window.h"
#include "finders/ui/cache_window.h"
#include "finders/ui/clean_window.h"
#include "finders/ui/dir_hog_window.h"
#include "finders/ui/dup_compare_window.h"
#include "finders/ui/dup_window.h"
#include "finders/ui/finder_window.h"
#include "finders/ui/mods_window.h"
#include "inspect/ui/details_window.h"
#include "inspect/ui/view_window.h"
#include "platform/event_pump.h"
#include "platform/paths.h"
#include "platform/process_memory.h"
#include "safety/ui/no_delete_window.h"
#include "safety/ui/really_delete.h"
#include "safety/ui/unzip_it.h"
#include "scan/ui/add_new_folder_dialog.h"
#include "stats/ui/statistics_window.h"
#include "widgets/backdrop.h"
#include "widgets/message_boxes.h"

namespace dw {

namespace {

constexpr int kClientWidth = 557;
constexpr int kClientHeight = 428;
constexpr int kToolTipDelayMs = 1000;
const QColor kToolTipColour(245, 249, 136);

// Qt has no setter for the delay before a tip shows; the style answers it.
class ToolTipStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay)
            return kToolTipDelayMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The style offers no shield on Linux; the Safe Harbor button draws its own.
QIcon shieldIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shield;
    shield.moveTo(16, 2);
    shield.lineTo(28, 7);
    shield.cubicTo(28, 19, 23, 26, 16, 30);
    shield.cubicTo(9, 26, 4, 19, 4, 7);
    shield.closeSubpath();
    p.fillPath(shield, QColor(46, 125, 50));
    p.setPen(QPen(QColor(27, 94, 32), 1.5));
    p.drawPath(shield);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(10, 16), QPointF(14.5, 20.5), QPointF(22, 11)}));
    return QIcon(pm);
}

void turnOnToolTips() {
    if (!dynamic_cast<ToolTipStyle*>(QApplication::style())) {
        QApplication::setStyle(new ToolTipStyle(QApplication::style()->name()));
    }
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, kToolTipColour);
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
    ensureResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(caption());
    setFixedSize(kClientWidth, kClientHeight);

    backdrop_ = new Backdrop(this);
    backdrop_->setGeometry(rect());

    auto* layout = new QVBoxLayout(backdrop_);
    layout->setContentsMargins(14, 10, 14, 8);
    layout->setSpacing(10);

    lblTitle_ = new QLabel(QStringLiteral("Diskwell 99"), backdrop_);
    lblTitle_->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle_->font();
    titleFont.setPointSize(30);
    titleFont.setBold(true);
    titleFont.setItalic(true);
    lblTitle_->setFont(titleFont);
    lblTitle_->setAlignment(Qt::AlignCenter);

    layout->addWidget(lblTitle_);

    buildButtons();

    auto* bottom = new QHBoxLayout;
    lblMaker_ = new QLabel(QStringLiteral("Brightwater Systems"), backdrop_);
    lblMaker_->setObjectName(QStringLiteral("lblMaker"));
    lblWeb_ = new QLabel(QString::fromLatin1(kMakerWebAddress), backdrop_);
    lblWeb_->setObjectName(QStringLiteral("lblWeb"));
    for (QLabel* l : {lblMaker_, lblWeb_}) {
        l->setCursor(Qt::PointingHandCursor);
        l->installEventFilter(this);
    }
    QFont makerFont = lblMaker_->font();
    makerFont.setBold(true);
    lblMaker_->setFont(makerFont);
    QFont webFont = lblWeb_->font();
    webFont.setUnderline(true);
    lblWeb_->setFont(webFont);
    bottom->addWidget(lblMaker_);
    bottom->addStretch();
    bottom->addWidget(lblWeb_);
    layout->addStretch();
    layout->addLayout(bottom);
    applyLabelColour();

    // F1 opens the guide at the page of the window in use.
    new HelpKey(this, [this] { return mainHelpViewer(); });
}

HelpViewer* TfrmMain::mainHelpViewer() {
    if (!helpViewer_)
        helpViewer_ = new HelpViewer(this);
    return helpViewer_;
}

QColor TfrmMain::labelColour() const {
    return backdrop_->mode() == Backdrop::Mode::Gradient ? QColor(0xf2, 0xf5, 0xff)
                                                         : QColor(0x1b, 0x3f, 0x73);
}

void TfrmMain::applyLabelColour() {
    const QString sheet =
        QStringLiteral("color: %1; background: transparent;").arg(labelColour().name());
    for (QLabel* l : {lblTitle_, lblMaker_, lblWeb_}) {
        l->setStyleSheet(sheet);
    }
}

bool enterHomeFolder() {
    return QDir::setCurrent(QDir::homePath());
}

TfrmMain::~TfrmMain() = default;

QString TfrmMain::caption() {
    return QStringLiteral("Diskwell 99 Version 3.0 from Brightwater Systems");
}

QPushButton* TfrmMain::addToolButton(const char* objectName, const QString& caption,
                                     const QString& tip, const QIcon& icon, bool large) {
    auto* b = new QPushButton(icon, caption, backdrop_);
    b->setObjectName(QLatin1String(objectName));
    if (!tip.isEmpty())
        b->setToolTip(tip);
    b->setIconSize(large ? QSize(32, 32) : QSize(18, 18));
    b->setMinimumHeight(large ? 70 : 36);
    // Equal columns whatever the captions' widths.
    b->setSizePolicy(large ? QSizePolicy::Ignored : QSizePolicy::Expanding, QSizePolicy::Fixed);
    b->setAutoDefault(false);
    if (large) {
        QFont f = b->font();
        f.setPointSize(f.pointSize() + 1);
        f.setBold(true);
        b->setFont(f);
    }
    return b;
}

void TfrmMain::buildButtons() {
    QStyle* s = style();
    // Nine tools in a 3 x 3 block, then the four program buttons in one row.
    auto* grid = new QGridLayout;
    grid->setSpacing(8);
    struct ToolButton {
        const char* name;
        const char* caption;
        const char* tip;
        QStyle::StandardPixmap icon;
        Tool tool;
    };
    const ToolButton tools[] = {
        {"btDuplicates", "&Duplicate files", "Locate duplicate files",
         QStyle::SP_FileDialogContentsView, Tool::Duplicates},
        {"btFileHogs", "&File hogs", "Locate large files", QStyle::SP_FileIcon, Tool::FileHogs},
        {"btFilesAccessed", "Files &accessed", "Locate old and recent files",
         QStyle::SP_FileDialogDetailedView, Tool::FilesAccessed},
        {"btFolderHogs", "Folder &hogs", "Locate folders taking the most space", QStyle::SP_DirIcon,
         Tool::FolderHogs},
        {"btQuickClean", "&Quick clean", "Quickly clean up temporary files", QStyle::SP_TrashIcon,
         Tool::QuickClean},
        {"btStatistics", "&Statistics", "Compute disk statistics", QStyle::SP_FileDialogInfoView,
         Tool::Statistics},
        {"btBrowse", "&Browse", "Browse through disks/folders", QStyle::SP_DriveHDIcon,
         Tool::Browse},
        {"btClearInternet", "&Clear internet files", "Clean up web browser cache folders",
         QStyle::SP_DriveNetIcon, Tool::ClearInternetFiles},
        {"btUnzip", "&Unzip archive files",
         "Unzip files that have been zipped up by Diskwell (compressed)",
         QStyle::SP_DialogOpenButton, Tool::UnzipArchives},
    };
    int i = 0;
    for (const ToolButton& t : tools) {
        QPushButton* b = addToolButton(t.name, QString::fromLatin1(t.caption),
                                       QString::fromLatin1(t.tip), s->standardIcon(t.icon), true);
        const Tool tool = t.tool;
        connect(b, &QPushButton::clicked, this, [this, tool] { openGatedTool(tool); });
        grid->addWidget(b, i / 3, i % 3);
        ++i;
    }
    for (int column = 0; column < 3; ++column)
        grid->setColumnStretch(column, 1);
    static_cast<QVBoxLayout*>(backdrop_->layout())->addLayout(grid);

    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    QPushButton* build = addToolButton(
        // Alt+S belongs to "&Statistics"; L is the caption's first free letter.
        "btBuild", QStringLiteral("Bui&ld safe harbor"),
        QStringLiteral("Build list of folders that will not be deleted in Diskwell without "
                       "warning"),
        shieldIcon(), false);
    connect(build, &QPushButton::clicked, this, [this] { openTool(Tool::BuildSafeHarbor); });
    QPushButton* about = addToolButton("btAbout", QStringLiteral("Ab&out"), QString(),
                                       s->standardIcon(QStyle::SP_MessageBoxInformation), false);
    connect(about, &QPushButton::clicked, this, &TfrmMain::btAboutClick);
    QPushButton* help = addToolButton("btHelp", QStringLiteral("H&elp"), QString(),
                                      s->standardIcon(QStyle::SP_DialogHelpButton), false);
    connect(help, &QPushButton::clicked, this, &TfrmMain::btHelpClick);
    QPushButton* exit =
        addToolButton("btExit", QStringLiteral("E&xit"), QStringLiteral("Quit and close "),
                      s->standardIcon(QStyle::SP_DialogCloseButton), false);
    connect(exit, &QPushButton::clicked, this, &QWidget::close);
    row->addWidget(build, 2);
    row->addWidget(about, 1);
    row->addWidget(help, 1);
    row->addWidget(exit, 1);
    static_cast<QVBoxLayout*>(backdrop_->layout())->addSpacing(4);
    static_cast<QVBoxLayout*>(backdrop_->layout())->addLayout(row);
}

bool TfrmMain::checkExceptionList() {
    // A file that could not be read may have been mended since.
    if (!safeHarbor_.loadError().isEmpty()) {
        ReadSafeHarborExtensions();
        GetSearchPath();
    }
    if (const QString error = safeHarbor_.loadError(); !error.isEmpty()) {
        ShowError(error + QStringLiteral(". Nothing can be deleted until it is mended."));
        return false;
    }
    if (!safeHarbor_.safeHarborMissing())
        return true;
    ShowError(QStringLiteral(
        "The Safe Harbor list of folders/files not to delete has not been created yet.  "
        "Click on the Build Safe Harbor button to initialize."));
    return false;
}

void TfrmMain::getDefaultZipPath() {
    DefaultZipPath =
        SettingsStore().readString(QString::fromLatin1(settings::kZipFile),
                                   QString::fromLatin1(settings::kZipPath), defaultZipFolder());
}

void TfrmMain::GetSearchPath() {
    platform::ClockedPump pump;
    safeHarbor_.setYield([&pump] { pump(); });
    safeHarbor_.GetSearchPath();
    safeHarbor_.setYield({});
}

void TfrmMain::ReadSafeHarborExtensions() {
    safeHarbor_.ReadSafeHarborExtensions();
}

void TfrmMain::btBuildClick() {
    bool reload = false;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        TfrmNoDelete window(this);
        QApplication::restoreOverrideCursor();
        window.exec();
        reload = window.reloadNeeded;
    }
    if (reload) {
        GetSearchPath();
        ReadSafeHarborExtensions();
    }
}

void TfrmMain::openGatedTool(Tool tool) {
    const bool gated = tool != Tool::Statistics && tool != Tool::UnzipArchives;
    if (gated && !checkExceptionList())
        return;
    if (tool == Tool::Duplicates)
        DuplicateMode = true;
    if (tool == Tool::FileHogs)
        DuplicateMode = false;
    openTool(tool);
}

namespace {

// The file viewer over `over`, modal, on `file`.
void viewFile(QWidget* over, const QByteArray& file) {
    TfrmView window(over);
    window.setFileToView(file);
    window.exec();
}

}  // namespace

void TfrmMain::browseAt(QWidget* over, const QByteArray& folder, const QString& mask,
                        const QByteArray& file) {
    QWidget* browser = nullptr;
    TfrmBrowse window(safeHarbor_, over, &DefaultZipPath, browserTools(browser));
    browser = &window;
    window.setFolder(folder);
    window.setMask(mask.isEmpty() ? QStringLiteral("*.*") : mask);
    if (!file.isEmpty()) {
        window.selectFile(file);
    }
    window.exec();
}

FinderTools TfrmMain::finderTools(QWidget*& finder) {
    FinderTools tools;
    // The panel reads the files' sizes itself, so its savings follow its moves.
    tools.reallyDelete = [this, &finder](const QList<QByteArray>& files, const QString& callerName,
                                         qint64) {
        return TfrmReallyDelete::execute(finder, safeHarbor_, files, callerName, &DefaultZipPath);
    };
    tools.reallyDeleteWithTwins = [this, &finder](const QList<QByteArray>& files,
                                                  const QString& callerName, qint64,
                                                  const QHash<QByteArray, QByteArray>& twins) {
        return TfrmReallyDelete::execute(finder, safeHarbor_, files, callerName, &DefaultZipPath,
                                         twins);
    };
    tools.addNewFolder = [&finder] {
        TfrmAddNewFolder dialog(finder);
        return dialog.exec() == QDialog::Accepted;
    };
    tools.browse = [this, &finder](const QByteArray& file, const QString& mask) {
        browseAt(finder, platform::folderOfPath(file), mask, file);
    };
    tools.view = [&finder](const QByteArray& file) { viewFile(finder, file); };
    tools.details = [this, &finder](const QByteArray& file) { openDetails(finder, file); };
    return tools;
}

TfrmBrowse::Tools TfrmMain::browserTools(QWidget*& browser) {
    TfrmBrowse::Tools tools;
    tools.view = [&browser](const QByteArray& file) { viewFile(browser, file); };
    tools.details = [this, &browser](const QByteArray& file) { openDetails(browser, file); };
    return tools;
}

void TfrmMain::openDetails(QWidget* over, const QByteArray& file) {
    // The details window's own View opens over it.
    QWidget* details = nullptr;
    const FinderTools tools = finderTools(details);
    TfrmDetails window(file, over, tools.view);
    details = &window;
    window.exec();
}

void TfrmMain::comparePairs(TfrmDup& source) {
    if (!dupCompare_) {
        const FinderTools tools = finderTools(pairsWindow_);
        dupCompare_ = new TfrmDupCompare(&safeHarbor_, this, {tools.view, tools.browse});
        pairsWindow_ = dupCompare_;
    }
    dupCompare_->showFor(source);
}

void TfrmMain::openTool(Tool tool) {
    emit toolOpened(tool);
    if (!toolWindowsEnabled_)
        return;
    // Each tool's window is created here, shown modally and destroyed as it closes.
    switch (tool) {
        case Tool::Duplicates:
        case Tool::FileHogs: {
            // "Clean?" hands the marked files to the deletion panel, over the finder.
            QWidget* finder = nullptr;
            TfrmDup::Tools tools;
            static_cast<FinderTools&>(tools) = finderTools(finder);
            tools.comparePairs = [this](TfrmDup& source) { comparePairs(source); };
            TfrmDup dup(DuplicateMode, &safeHarbor_, this, tools);
            finder = &dup;
            dup.exec();
            if (dupCompare_) {
                dupCompare_->release();
            }
            break;
        }
        case Tool::FilesAccessed:
        case Tool::QuickClean: {
            QWidget* finder = nullptr;
            const FinderTools tools = finderTools(finder);
            if (tool == Tool::FilesAccessed) {
                TfrmMods mods(&safeHarbor_, this, tools);
                finder = &mods;
                mods.exec();
            } else {
                TfrmClean clean(&safeHarbor_, this, tools);
                finder = &clean;
                clean.exec();
            }
            break;
        }
        case Tool::FolderHogs: {
            QWidget* hogs = nullptr;
            TfrmDirHog::Tools hogTools;
            hogTools.browse = [this, &hogs](const QByteArray& folder) {
                browseAt(hogs, folder, QString());
            };
            TfrmDirHog window(safeHarbor_, this, &DefaultZipPath, hogTools);
            hogs = &window;
            window.exec();
            break;
        }
        case Tool::Statistics:
            // Not modal: the main window stays usable beside it.
            if (!statistics_) {
                statistics_ = new TfrmStatistics(this);
            }
            statistics_->show();
            statistics_->raise();
            statistics_->activateWindow();
            break;
        case Tool::Browse: {
            QWidget* browser = nullptr;
            TfrmBrowse window(safeHarbor_, this, &DefaultZipPath, browserTools(browser));
            browser = &window;
            window.exec();
            break;
        }
        case Tool::ClearInternetFiles: {
            TfrmCache* cache = nullptr;
            TfrmCache::Tools tools;
            tools.reallyDelete = [this, &cache](const QList<QByteArray>& files,
                                                const QString& callerName, qint64) {
                return TfrmReallyDelete::execute(cache, safeHarbor_, files, callerName,
                                                 &DefaultZipPath);
            };
            TfrmCache window(this, tools);
            cache = &window;
            window.exec();
            break;
        }
        case Tool::UnzipArchives: {
            TfrmUnZipIt window(this, DefaultZipPath);
            window.exec();
            break;
        }
        case Tool::BuildSafeHarbor:
            btBuildClick();
            break;
    }
    // A tool's window may have held millions of rows: their pages go back now rather
    // than stay counted in the program's memory while the main window waits.
    platform::giveBackFreeMemory();
}

void TfrmMain::btAboutClick() {
    TfrmAbout about(this);
    about.exec();
}

void TfrmMain::btHelpClick() {
    mainHelpViewer()->showTopic(HelpViewer::kContentsTopic);
}

void TfrmMain::FormShow(int bitsPerPixel) {
    backdrop_->applyColourDepth(bitsPerPixel);
    applyLabelColour();
    getDefaultZipPath();
    ReadSafeHarborExtensions();
    GetSearchPath();
    turnOnToolTips();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    const QScreen* screen = this->screen();
    FormShow(screen ? screen->depth() : 32);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // The help window is a window of its own; it goes when the program goes.
    if (helpViewer_)
        helpViewer_->close();
    event->accept();
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
    // The buttons are not a dialog's, so they leave Enter to the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* b = qobject_cast<QPushButton*>(focusWidget()); b && b->isEnabled()) {
            event->accept();
            b->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == lblMaker_ || watched == lblWeb_) &&
        event->type() == QEvent::MouseButtonRelease) {
        btAboutClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace dw
