// Timing with a count of heap allocations, for the benchmarks that must show they
// allocate nothing per call. Include it in exactly one source of a benchmark program:
// it replaces the global operator new and delete there.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>

namespace kt::bench {

inline long g_allocations = 0;

struct Figures {
    double ns;
    double allocationsPerCall;
};

// Runs `body(i)` for i = 0 .. iterations-1; time and allocations per call.
inline Figures Measure(int iterations, const std::function<void(int)>& body) {
    const long allocationsBefore = g_allocations;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) body(i);
    const auto t1 = std::chrono::steady_clock::now();
    return {std::chrono::duration<double, std::nano>(t1 - t0).count() / iterations,
            static_cast<double>(g_allocations - allocationsBefore) / iterations};
}

inline void Print(const char* what, Figures f) {
    std::printf("%-52s %8.1f ns  %.3f allocations\n", what, f.ns, f.allocationsPerCall);
}

}  // namespace kt::bench

void* operator new(std::size_t size) {
    ++kt::bench::g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
