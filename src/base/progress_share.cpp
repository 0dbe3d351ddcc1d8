#include "base/progress_share.h"

#include <algorithm>

namespace dw {

int ProgressShare::percent(qint64 done, qint64 total) {
    if (total > 0) {
        // In floating point: done * 100 could overflow near the largest qint64.
        const int share =
            done >= total
                ? 100
                : std::min(99, int(double(std::max<qint64>(done, 0)) * 100.0 / double(total)));
        shown_ = std::max(shown_, share);
    }
    return shown_;
}

}  // namespace dw
