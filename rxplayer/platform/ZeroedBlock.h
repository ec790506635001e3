// A block of zeroed memory taken straight from the kernel. Its pages are only given (and
// zeroed) when first touched, so a 16 MB framebuffer of which the program draws 4 MB costs
// 4 MB, and a stand-in that starts costs no more than what it uses.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace qelsim {
namespace detail {

class ZeroedBlock {
public:
    ZeroedBlock() = default;
    ZeroedBlock(const ZeroedBlock&) = delete;
    ZeroedBlock& operator=(const ZeroedBlock&) = delete;
    ~ZeroedBlock() { release(); }

    bool empty() const { return size_ == 0; }
    size_t size() const { return size_; }
    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }

    // Makes the block n zero bytes (none for 0), in a new place. Throws std::bad_alloc when
    // the kernel has no room.
    void assign(size_t n) {
        release();
        if (n == 0) return;
        void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<uint8_t*>(p);
        size_ = n;
    }

    // All zero again, in the same place (a mapping of it stays valid): the pages go back to
    // the kernel, which gives zeroed ones when they are touched again.
    void zero() {
        if (data_ == nullptr) return;
        if (madvise(data_, size_, MADV_DONTNEED) == 0)
            touched_ = 0;
        else
            memset(data_, 0, size_);
    }

    // Takes the pages of the first n bytes now, their contents unchanged, so that writing them
    // later takes no page fault.
    void touch(size_t n) {
        if (n > size_) n = size_;
        size_t end = (n + kPage - 1) & ~(kPage - 1);  // within the mapping, which is whole pages
        if (end <= touched_) return;
#ifdef MADV_POPULATE_WRITE
        if (madvise(data_ + touched_, end - touched_, MADV_POPULATE_WRITE) == 0) {
            touched_ = end;
            return;
        }
#endif
        volatile uint8_t* v = data_;
        for (; touched_ < end; touched_ += kPage) v[touched_] = v[touched_];
    }

private:
    static constexpr size_t kPage = 4096;

    void release() {
        if (data_ != nullptr) munmap(data_, size_);
        data_ = nullptr;
        size_ = 0;
        touched_ = 0;
    }

    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t touched_ = 0;
};

}  // namespace detail
}  // namespace qelsim
