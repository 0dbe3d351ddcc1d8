#include <gtest/gtest.h>

#include "finders/folder_hog_history.h"

namespace dw {
namespace {

TEST(FolderHogHistory, KeepsTheRowsAtOrBelowTheRootWithTheirFigures) {
    QList<FolderHogRow> rows;
    for (const char* path : {"/data", "/data/a", "/database", "/data-old/x", "/other"}) {
        FolderHogRow r;
        r.path = path;
        r.bytes = 100;
        r.allocated = 4096;
        r.files = 3;
        r.latestAccessSeconds = 1780000000;
        rows.append(r);
    }
    struct Case {
        QByteArray root;
        QList<QByteArray> kept;
    };
    const Case cases[] = {
        {"/data", {"/data", "/data/a"}},
        {"/data/a", {"/data/a"}},
        {"/", {"/data", "/data/a", "/database", "/data-old/x", "/other"}},
        {"/missing", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root.constData());
        const QList<HistoryFolder> got = folderHogHistoryRows(rows, c.root);
        QList<QByteArray> paths;
        for (const HistoryFolder& f : got) {
            paths.append(f.path);
            EXPECT_EQ(f, (HistoryFolder{f.path, 4096, 100, 3, 1780000000}));
        }
        EXPECT_EQ(paths, c.kept);
    }
}

}  // namespace
}  // namespace dw
