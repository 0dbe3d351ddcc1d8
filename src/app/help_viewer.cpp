#include "app/help_viewer.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/resources.h"
#include "widgets/theme_colors.h"

namespace dw {

namespace {

struct Topic {
    int contextNumber;
    const char* page;
};

// Context numbers stay stable so that windows can ask for their own page.
// The windows with a page of their own, by object name.
struct WindowTopic {
    const char* window;
    int contextNumber;
};
constexpr WindowTopic kWindowTopics[] = {
    {"frmMain", 1010},         {"frmNoDelete", 1020},     {"frmKeepFiles", 1020},
    {"frmEditFolder", 1020},   {"frmUnZipIt", 1040},      {"frmZipOptions", 1040},
    {"frmZipDirectory", 1040}, {"frmPassword", 1040},     {"frmDup", 1050},
    {"frmAddNewFolder", 1050}, {"frmReallyDelete", 1060}, {"frmStatistics", 1070},
    {"frmWhichDrive", 1070},   {"frmStatList", 1070},     {"frmMods", 1110},
    {"frmClean", 1120},        {"frmTempFiles", 1120},    {"frmCache", 1130},
    {"frmDirHog", 1140},       {"frmDelDirectory", 1140}, {"frmBrowse", 1140},
    {"frmView", 1150},         {"FindDlg", 1150},
};

constexpr Topic kTopics[] = {
    {HelpViewer::kContentsTopic, "index.html"},
    {1010, "main-window.html"},
    {1020, "safe-harbor.html"},
    {1030, "settings.html"},
    {1040, "archives.html"},
    {1050, "duplicates.html"},
    {1060, "deletion.html"},
    {1070, "statistics.html"},
    {1110, "files-accessed.html"},
    {1120, "quick-clean.html"},
    {1130, "browser-caches.html"},
    {1140, "folders.html"},
    {1150, "viewer.html"},
};

}  // namespace

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    ensureResources();
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(tr("Diskwell 99 Help"));
    resize(720, 560);

    browser_ = new QTextBrowser(this);
    browser_->setSearchPaths({QStringLiteral(":/help")});
    // The guide's look lives in one style sheet; setting it as the default styles every
    // page without each page having to load it.
    // Its colours come from the palette, so that a dark theme keeps the text readable.
    QFile css(QStringLiteral(":/help/style.css"));
    QString sheet = css.open(QIODevice::ReadOnly) ? QString::fromUtf8(css.readAll()) : QString();
    const QPalette pal = browser_->palette();
    sheet += QStringLiteral(
                 "h1, h2 { color: %1; }\n"
                 "th { background-color: %2; color: %3; }\n"
                 ".note { background-color: %4; color: %3; }\n")
                 .arg(headingColor(pal).name(), titleRowColor(pal).name(),
                      pal.color(QPalette::Text).name(), noteColor(pal).name());
    browser_->document()->setDefaultStyleSheet(sheet);
    // Links that leave the guide belong in the user's web browser.
    browser_->setOpenExternalLinks(false);
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme() == QLatin1String("qrc") || url.isRelative()) {
            browser_->setSource(browser_->source().resolved(url));
        } else {
            QDesktopServices::openUrl(url);
        }
    });

    auto* contents = new QPushButton(tr("&Contents"), this);
    back_ = new QPushButton(tr("&Back"), this);
    forward_ = new QPushButton(tr("&Forward"), this);
    auto* close = new QPushButton(tr("Close"), this);
    back_->setEnabled(false);
    forward_->setEnabled(false);
    connect(contents, &QPushButton::clicked, this, [this] { showTopic(kContentsTopic); });
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addStretch();
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);
}

QUrl HelpViewer::topicUrl(int contextNumber) {
    for (const Topic& t : kTopics) {
        if (t.contextNumber == contextNumber) {
            return QUrl(QStringLiteral("qrc:/help/") + QLatin1String(t.page));
        }
    }
    return topicUrl(kContentsTopic);
}

int HelpViewer::topicOf(const QWidget* w) {
    for (; w; w = w->parentWidget()) {
        for (const WindowTopic& t : kWindowTopics) {
            if (w->objectName() == QLatin1String(t.window)) {
                return t.contextNumber;
            }
        }
    }
    return kContentsTopic;
}

void HelpViewer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HelpViewer::showTopic(int contextNumber) {
    browser_->setSource(topicUrl(contextNumber));
    if (!isVisible() && parentWidget()) {
        // Over the window it explains, not in a corner of the screen.
        QRect frame = frameGeometry();
        frame.moveCenter(parentWidget()->window()->frameGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
}

QUrl HelpViewer::currentPage() const {
    return browser_->source();
}

QString HelpViewer::currentTitle() const {
    return browser_->documentTitle();
}

HelpKey::HelpKey(QWidget* mainWindow, std::function<HelpViewer*()> mainViewer)
    : QObject(mainWindow), mainWindow_(mainWindow), mainViewer_(std::move(mainViewer)) {
    qApp->installEventFilter(this);
}

HelpKey::~HelpKey() {
    qApp->removeEventFilter(this);
}

HelpViewer* HelpKey::showHelpFor(QWidget* focus) {
    QWidget* window = focus ? focus->window() : nullptr;
    if (auto* viewer = qobject_cast<HelpViewer*>(window)) {
        return viewer;
    }
    const int topic = HelpViewer::topicOf(focus);
    HelpViewer* viewer = nullptr;
    if (!window || window == mainWindow_) {
        viewer = mainViewer_();
    } else {
        // A window of the dialog's own: a modal dialog blocks every window but its own.
        viewer = window->findChild<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
        if (!viewer) {
            viewer = new HelpViewer(window);
        }
    }
    viewer->showTopic(topic);
    return viewer;
}

bool HelpKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        // The first widget the key is sent to is the one in use (the focus widget); the
        // key goes no further.
        showHelpFor(static_cast<QWidget*>(watched));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace dw
