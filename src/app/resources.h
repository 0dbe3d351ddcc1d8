#pragma once

namespace dw {

// Makes the resources compiled into the window library (icons, the user guide)
// available. The library is static, so nothing else pulls them in; every window that
// reads a resource calls this first. Safe to call any number of times.
void ensureResources();

}  // namespace dw
