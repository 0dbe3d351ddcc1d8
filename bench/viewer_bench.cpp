// The file viewer on a 10 GB sparse file: the time to open it and paint its first
// screen, the time the background count of its lines takes, the time to jump to its
// last line and paint it once counted, and the resident memory all along.
// Runs offscreen: bench_viewer [size in bytes, default 10,000,000,000] [dense]; with
// "dense" the file is written whole with short text lines instead of left sparse.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "inspect/ui/view_window.h"
#include "process_status.h"
#include "widgets/file_text_view.h"

namespace {

double ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

// Paints the viewer's screen as the window system would.
void paint(dw::FileTextView* view) {
    QImage image(view->viewport()->size(), QImage::Format_ARGB32);
    view->viewport()->render(&image);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const qint64 size = argc > 1 ? std::atoll(argv[1]) : 10'000'000'000LL;
    const bool dense = argc > 2 && qstrcmp(argv[2], "dense") == 0;
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("sparse.bin"));
    {
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(name));
            return 1;
        }
        for (int i = 0; i < 200; ++i) {
            f.write("line " + QByteArray::number(i) + " of the head of a sparse file\n");
        }
        if (dense) {
            QByteArray chunk;
            for (int i = 0; chunk.size() < (1 << 20); ++i) {
                chunk += "a line of text number " + QByteArray::number(i) + "\tand a tab\n";
            }
            while (f.size() + chunk.size() <= size) {
                f.write(chunk);
            }
        }
        f.resize(size);
    }
    std::printf("file: %lld bytes, %s\n", size, dense ? "dense" : "sparse");
    std::printf("resident before opening: %ld KiB\n", dw::bench::ProcessStatusKiB("VmRSS"));

    dw::TfrmView window;
    window.resize(900, 700);
    window.setFileToView(QFile::encodeName(name));
    QElapsedTimer t;
    t.start();
    window.show();  // opens the file
    paint(window.viewer());
    std::printf("open and first screen: %.2f ms\n", ms(t));
    std::printf("status: %s\n", qPrintable(window.statusSections().join(QStringLiteral(" | "))));

    QElapsedTimer count;
    count.start();
    long peakWhileCounting = 0;
    while (!window.viewer()->lineCountKnown()) {
        QThread::msleep(100);
        QCoreApplication::processEvents();
        peakWhileCounting = std::max(peakWhileCounting, dw::bench::ProcessStatusKiB("VmRSS"));
    }
    std::printf("line count in the background: %.0f ms (%lld lines)\n", ms(count),
                window.viewer()->lineCount());

    t.restart();
    window.viewer()->goToLine(window.viewer()->lineCount() - 1);
    paint(window.viewer());
    std::printf("jump to the last line and paint: %.2f ms\n", ms(t));
    std::printf("status: %s\n", qPrintable(window.statusSections().join(QStringLiteral(" | "))));

    t.restart();
    window.viewer()->goToLine(window.viewer()->lineCount() / 2);
    paint(window.viewer());
    std::printf("jump to the middle line and paint: %.2f ms\n", ms(t));

    t.restart();
    window.HexMode1Click();
    window.viewer()->goToLine(window.viewer()->lineCount() - 1);
    paint(window.viewer());
    std::printf("hex mode, last row and paint: %.2f ms\n", ms(t));

    std::printf("resident: now %ld KiB, highest while counting %ld KiB, peak %ld KiB\n",
                dw::bench::ProcessStatusKiB("VmRSS"), peakWhileCounting,
                dw::bench::ProcessStatusKiB("VmHWM"));
    return 0;
}
