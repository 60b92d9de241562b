#pragma once
// How much memory the programs a test ran have held, so that a hostile input that would make kvx
// grow without end fails its case.
#ifndef _WIN32
#include <sys/resource.h>

// The most any program this test has run and waited for (through a shell too) held at once, in KB.
inline long largestChildKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

// Far above what kvx needs for any list the editor can hold, sanitizers' shadow memory included,
// and far below what reading an endless file would take.
inline constexpr long ChildMemoryBoundKilobytes = 1024L * 1024;
#endif
