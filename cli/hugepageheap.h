#pragma once

#include <string>

/// glibc's heap on transparent huge pages (the glibc.malloc.hugetlb tunable). An import touches
/// hundreds of megabytes of fresh memory, and with 4 KiB pages the page faults cost more than the
/// decoding; with 2 MiB pages there are 512 times fewer. Where huge pages are off it changes nothing.
/// glibc gives huge pages to its main heap only, not to the heaps it makes for other threads, so
/// the threads share the main heap too (glibc.malloc.arena_max=1): the imports allocate in few,
/// large blocks, and a batch on two threads ran a third faster so.
namespace HugePageHeap {

/// GLIBC_TUNABLES as given, with the huge-page setting replaced by the one asked for; with huge
/// pages, one heap for all threads unless the number of heaps is set already.
std::string tunables(const char* current, bool hugePages);

/// Starts the running program again, once, with the setting added to GLIBC_TUNABLES, since glibc
/// reads it only when a process starts. Returns, changing nothing, when the setting is there
/// already (either value: glibc.malloc.hugetlb=0 opts out), for a set-user-ID program (glibc
/// drops the variable there), or when the restart fails.
void restartWithHugePages(char* argv[]);

} // namespace HugePageHeap
