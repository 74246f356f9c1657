#pragma once
// Splitting one large, uniform job over two cores. Loading a 500 MB capture is bound by the
// kernel zero-filling fresh pages and copying file bytes, both done by the thread that touches
// the memory; two threads touching disjoint halves do it in about half the time.

#include <cstdint>
#include <exception>
#include <thread>

// Runs work(begin, end) over [0, count): the upper part on a helper thread and the lower part
// on the caller, when count >= minParallel and the machine has at least two cores; otherwise all
// on the caller. The split point is a multiple of align. Returns when both parts are done.
template <class Work>
void SplitInTwo(int64_t count, int64_t minParallel, int64_t align, Work&& work) {
    const int64_t mid = (count / 2) / align * align;
    if (count < minParallel || mid <= 0 || std::thread::hardware_concurrency() < 2) {
        work(int64_t{0}, count);
        return;
    }
    std::thread helper;
    try {
        helper = std::thread([&work, mid, count] { work(mid, count); });
    } catch (const std::exception&) {
        work(int64_t{0}, count);  // no thread to be had: do it all here
        return;
    }
    work(int64_t{0}, mid);
    helper.join();
}
