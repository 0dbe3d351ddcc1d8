// Diskwell: the program's start.
#include <QApplication>
#include <QIcon>
#include <QScreen>

#include "app/main_window.h"
#include "app/resources.h"
#include "platform/process_memory.h"
#include "platform/prompter.h"
#include "widgets/qt_prompter.h"

int main(int argc, char** argv) {
    dw::platform::keepLargeBlocksApart();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Diskwell 99"));
    QApplication::setApplicationVersion(QStringLiteral(DISKWELL_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Brightwater Systems"));
    QApplication::setDesktopFileName(QStringLiteral("diskwell"));
    dw::ensureResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/diskwell.png")));

    // What depends on the current folder must not depend on where the program was
    // started from (a desktop menu, a terminal in /tmp).
    dw::enterHomeFolder();

    dw::QtPrompter prompter;
    dw::platform::setPrompter(&prompter);

    // The long-lived windows, in the order they are made; the others are made when
    // their tools open and go when they close.
    dw::TfrmMain frmMain;
    if (const QScreen* screen = frmMain.screen()) {
        QRect frame = frmMain.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        frmMain.move(frame.topLeft());
    }
    frmMain.show();

    const int result = QApplication::exec();
    dw::platform::setPrompter(nullptr);
    return result;
}
