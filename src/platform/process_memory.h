#pragma once

namespace dw::platform {

// Sets how the process's allocator keeps memory, once, at the start of main (before any
// thread is started). Large blocks (128 KiB and more) are then always taken from the
// system on their own and given back when freed. By default the C library raises that
// line to the size of each large block freed, so that a search's later tables, each a
// few megabytes and freed in turn, stay in the heap and the process's peak memory grows
// by the sum of what was once free there. No effect with a C library other than glibc.
void keepLargeBlocksApart();

// Gives the free pages inside the heap back to the system. Small blocks (the rows of a
// list, a few dozen bytes each) come from the heap, and once freed their pages stay with
// the process, counted in its memory, until it reuses them: after a window that held
// millions of rows has gone, this returns them. No effect with a C library other than
// glibc.
void giveBackFreeMemory();

}  // namespace dw::platform
