#pragma once

namespace dw::platform {

// Sets how the process's allocator keeps memory, once, at the start of main (before any
// thread is started). Large blocks (128 KiB and more) are then always taken from the
// system on their own and given back when freed. By default the C library raises that
// line to the size of each large block freed, so that a search's later tables, each a
// few megabytes and freed in turn, stay in the heap and the process's peak memory grows
// by the sum of what was once free there. No effect with a C library other than glibc.
void keepLargeBlocksApart();

}  // namespace dw::platform
