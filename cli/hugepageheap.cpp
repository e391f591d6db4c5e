#include "cli/hugepageheap.h"

#include <algorithm>
#include <cstdlib>

#include <sys/auxv.h>
#include <unistd.h>

namespace HugePageHeap {

namespace {

const std::string name = "glibc.malloc.hugetlb=";
const std::string arenas = "glibc.malloc.arena_max=";

} // namespace

std::string tunables(const char* current, bool hugePages)
{
    // A colon-separated list of name=value; keep every other entry as it was.
    std::string merged;
    const std::string list = current ? current : "";
    for (size_t start = 0; start <= list.size();) {
        const size_t end = std::min(list.find(':', start), list.size());
        const std::string entry = list.substr(start, end - start);
        if (!entry.empty() && entry.compare(0, name.size(), name) != 0)
            merged += entry + ':';
        start = end + 1;
    }
    if (hugePages && list.find(arenas) == std::string::npos)
        merged += arenas + "1:";
    return merged + name + (hugePages ? '1' : '0');
}

void restartWithHugePages(char* argv[])
{
    const char* given = std::getenv("GLIBC_TUNABLES");
    const std::string current = given ? given : "";
    if (current.find(name) != std::string::npos || getauxval(AT_SECURE))
        return;
    if (setenv("GLIBC_TUNABLES", tunables(given, true).c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    // The restart failed: go on with the ordinary heap, in the environment we were given.
    if (given)
        setenv("GLIBC_TUNABLES", current.c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
}

} // namespace HugePageHeap
