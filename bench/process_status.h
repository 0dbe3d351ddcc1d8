#pragma once

namespace dw::bench {

// A field of this process's /proc/self/status in KiB: "VmRSS" (resident now), "VmHWM"
// (the most it was resident). -1 when the file or the field cannot be read.
long ProcessStatusKiB(const char* field);

}  // namespace dw::bench
