// Replaces the test binary's global operator new and delete: every allocation first asks
// qeltest::allowAllocation(), which the test defines, and fails with std::bad_alloc when it
// answers false. Include it in one source file of a binary only.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace qeltest {
bool allowAllocation();
}  // namespace qeltest

// The replacements pair malloc with free, which the compiler cannot see once it inlines them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
    if (!qeltest::allowAllocation()) throw std::bad_alloc();
    if (void* p = malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    free(p);
}
void operator delete(void* p, size_t) noexcept {
    free(p);
}
#pragma GCC diagnostic pop
