#pragma once

#include <sys/resource.h>

// Under AddressSanitizer the resident size also holds shadow memory and freed blocks in quarantine.
// gcc says so with __SANITIZE_ADDRESS__, clang with __has_feature.
#if defined(__has_feature)
#define ZEL_HAS_FEATURE(x) __has_feature(x)
#else
#define ZEL_HAS_FEATURE(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || ZEL_HAS_FEATURE(address_sanitizer)
constexpr bool residentSizeIsHeap = false;
#else
constexpr bool residentSizeIsHeap = true;
#endif

/// The most memory this process has held resident so far, in KiB.
inline long peakRssKb()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
