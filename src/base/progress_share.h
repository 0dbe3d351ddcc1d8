#pragma once

#include <QtGlobal>

namespace dw {

// The share of a long job done, as a whole percentage for a progress text, that never
// falls: a job whose total grows as it learns more (files found to need a comparison)
// would otherwise go from 86 % back to 85 % while it keeps working.
class ProgressShare {
public:
    // `done` of `total` in percent, rounded down; 100 only once `done` reaches `total`,
    // so a job almost done shows 99. The percentage of an earlier call when that was
    // higher; 0 for a total of 0 or less when no call before gave more.
    int percent(qint64 done, qint64 total);

private:
    int shown_ = 0;
};

}  // namespace dw
