#include <gtest/gtest.h>

#include "scan/scan_growth.h"

namespace dw {
namespace {

TEST(ScanGrowth, MatchesFoldersByBytesAndSortsByChange) {
    const QByteArray odd("/r/\xff\xfe", 5);
    const QList<HistoryFolder> was = {
        {"/r/grew", 0, 100, 1, 0}, {"/r/shrank", 0, 500, 5, 0}, {"/r/same", 0, 40, 2, 0},
        {"/r/gone", 0, 70, 3, 0},  {odd, 0, 10, 1, 0},
    };
    const QList<HistoryFolder> now = {
        {"/r/grew", 0, 350, 4, 0}, {"/r/shrank", 0, 200, 2, 0}, {"/r/same", 0, 40, 9, 0},
        {"/r/new", 0, 60, 1, 0},   {odd, 0, 10, 1, 0},
    };
    const QList<GrowthRow> expected = {
        {"/r/grew", 100, 350, 250, 1, 4, GrowthState::Grew},
        {"/r/new", 0, 60, 60, 0, 1, GrowthState::New},
        {"/r/same", 40, 40, 0, 2, 9, GrowthState::Same},
        {odd, 10, 10, 0, 1, 1, GrowthState::Same},
        {"/r/gone", 70, 0, -70, 3, 0, GrowthState::Gone},
        {"/r/shrank", 500, 200, -300, 5, 2, GrowthState::Shrank},
    };
    EXPECT_EQ(compareScans(was, now), expected);
    EXPECT_TRUE(compareScans({}, {}).isEmpty());
}

}  // namespace
}  // namespace dw
