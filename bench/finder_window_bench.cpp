// The duplicates and file-hogs window searching a big tree, offscreen: the longest time
// the window's events did not run (the window paints nothing and Abort does not answer
// meanwhile), the last such pause before the result buttons replace Abort, and the
// window's peak resident memory, to set against `diskwell-cli hogs` or `duplicates`
// on the same tree (/usr/bin/time -v); and what the process keeps once the window is
// closed, before and after giving its free pages back.
//
//   bench_finder_window TREE [hogs|content|folders]
//
// TREE is a folder made by bench_make_tree. "hogs" (the default) lists every file as
// File hogs does from 0 bytes up; "content" runs Same contents; "folders" runs Folder
// hogs' scan of all folders (its pauses are not followed: it pumps on its own clock).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "finders/dup_search.h"
#include "finders/ui/dir_hog_window.h"
#include "finders/ui/dup_window.h"
#include "platform/process_memory.h"
#include "process_status.h"
#include "safety/safe_harbor.h"
#include "scan/drive_entry.h"
#include "scan/ui/drive_check_list.h"
#include "widgets/string_grid.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TREE [hogs|content|folders]\n", argv[0]);
        return 2;
    }
    const bool content = argc > 2 && std::strcmp(argv[2], "content") == 0;
    dw::platform::keepLargeBlocksApart();
    dw::DriveEntry e;
    e.kind = dw::DriveEntry::Kind::ExtraFolder;
    e.startFolder = QByteArray(argv[1]);
    e.text = QFile::decodeName(e.startFolder);
    e.checked = true;
    // What the process keeps once the window has gone, before and after giving back the
    // heap's free pages.
    const auto reportClosed = [&app] {
        app.processEvents();
        const long closed = dw::bench::ProcessStatusKiB("VmRSS");
        dw::platform::giveBackFreeMemory();
        std::printf("RSS once the window is closed %ld MB, after giving back free pages %ld MB\n",
                    closed / 1024, dw::bench::ProcessStatusKiB("VmRSS") / 1024);
    };
    if (argc > 2 && std::strcmp(argv[2], "folders") == 0) {
        dw::SafeHarbor harbor;
        const long before = dw::bench::ProcessStatusKiB("VmRSS");
        {
            dw::TfrmDirHog folders(harbor);
            folders.driveList()->setEntries({e});
            folders.show();
            folders.btAllClick();
            std::printf("rows %lld, peak RSS %ld MB (%ld MB before the search)\n",
                        static_cast<long long>(folders.grid()->table().rowCount() - 1),
                        dw::bench::ProcessStatusKiB("VmHWM") / 1024, before / 1024);
        }
        reportClosed();
        return 0;
    }
    auto owned = std::make_unique<dw::TfrmDup>(content, nullptr);
    dw::TfrmDup& window = *owned;
    window.setDriveEntries({e});
    window.findChild<QComboBox*>(QStringLiteral("cbKB1"))->setCurrentIndex(0);
    window.findChild<QSpinBox*>(QStringLiteral("num1"))->setValue(0);
    if (content) {
        window.findChild<QComboBox*>(QStringLiteral("cbDup"))
            ->setCurrentIndex(dw::kContentCriterion);
    }
    window.show();
    app.processEvents();

    // A timer that fires whenever the window's events run: the gaps between its ticks
    // are the pauses.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestEndedAt = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        const qint64 now = clock.elapsed();
        if (now - last > longest) {
            longest = now - last;
            longestEndedAt = now;
        }
        last = now;
    });
    const long rssBefore = dw::bench::ProcessStatusKiB("VmRSS");
    clock.start();
    tick.start(0);
    window.btScanClick();
    const qint64 end = clock.elapsed();
    // Abort's last chance to answer: the last tick before the result buttons showed.
    const qint64 lastPause = end - last;
    tick.stop();
    std::printf(
        "rows %lld, search %.2f s, longest pause %lld ms (ended %.2f s before the end), "
        "pause at the end %lld ms, peak RSS %ld MB (%ld MB before the search), "
        "RSS after %ld MB\n",
        static_cast<long long>(window.resultCount()), end / 1000.0, static_cast<long long>(longest),
        (end - longestEndedAt) / 1000.0, static_cast<long long>(lastPause),
        dw::bench::ProcessStatusKiB("VmHWM") / 1024, rssBefore / 1024,
        dw::bench::ProcessStatusKiB("VmRSS") / 1024);
    owned.reset();
    reportClosed();
    return 0;
}
