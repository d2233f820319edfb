#pragma once
// What the process holds: descriptors, threads, CPU time. Used to show that
// a port leaves nothing behind and does not spin.
#include <dirent.h>
#include <time.h>

#include <chrono>
#include <functional>
#include <thread>

namespace orvex::test {

inline int CountDirEntries(const char* path) {
    DIR* dir = ::opendir(path);
    if (!dir) return -1;
    int n = 0;
    while (const dirent* e = ::readdir(dir))
        if (e->d_name[0] != '.') ++n;
    ::closedir(dir);
    return n;
}

inline int OpenFdCount() { return CountDirEntries("/proc/self/fd"); }
inline int ThreadCount() { return CountDirEntries("/proc/self/task"); }

// The thread count to come back to. A sanitizer's runtime starts its helper
// thread with the first thread a test creates, so one is run first.
inline int ThreadBaseline() {
    std::thread([] {}).join();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ThreadCount();
}

inline std::chrono::nanoseconds ProcessCpuTime() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// A joined thread can linger in /proc for a moment after join returns, so a
// count is given a little time to settle.
inline int SettledCount(const std::function<int()>& count, int expected,
                        std::chrono::milliseconds patience = std::chrono::seconds(1)) {
    const auto end = std::chrono::steady_clock::now() + patience;
    int n = count();
    while (n != expected && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        n = count();
    }
    return n;
}

}  // namespace orvex::test
