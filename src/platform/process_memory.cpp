#include "platform/process_memory.h"

#include <cstdlib>  // defines __GLIBC__ with the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace dw::platform {

void keepLargeBlocksApart() {
#if defined(__GLIBC__)
    // Setting the line at all turns off the raising; 128 KiB is the library's own start.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

void giveBackFreeMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace dw::platform
