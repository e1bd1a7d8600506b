// An allocator for the recorder's large blocks of packet memory: a block is
// mapped with all its pages at once instead of one page fault per 4 KiB
// when the packets are first copied in. A burst of packets handed over
// faster than the disk takes them fills fresh memory at the rate of a copy;
// page by page, the faults cost more than the copy and the write together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define LINKWELL_PREFAULT_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LINKWELL_PREFAULT_BLOCKS 0
#endif
#endif
#ifndef LINKWELL_PREFAULT_BLOCKS
#define LINKWELL_PREFAULT_BLOCKS 1
#endif

template <typename T> class PrefaultedAllocator {
public:
    using value_type = T;

    PrefaultedAllocator() = default;
    template <typename U> PrefaultedAllocator(const PrefaultedAllocator<U>&) noexcept { }

    T* allocate(std::size_t n)
    {
        const std::size_t bytes = n * sizeof(T);
        if (!mapped(bytes))
            return static_cast<T*>(::operator new(bytes));
        // Mapped on a huge-page boundary, so that the kernel can back the
        // block with 2 MiB pages where it offers them.
        const std::size_t length = mapped_length(bytes);
        char* area = static_cast<char*>(
            mmap(nullptr, length + huge_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (area == MAP_FAILED)
            throw std::bad_alloc();
        const std::size_t head = (huge_page - reinterpret_cast<std::uintptr_t>(area) % huge_page) % huge_page;
        if (head != 0)
            munmap(area, head);
        munmap(area + head + length, huge_page - head);
        char* block = area + head;
#ifdef MADV_HUGEPAGE
        madvise(block, length, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
        madvise(block, length, MADV_POPULATE_WRITE);
#endif
        return reinterpret_cast<T*>(block);
    }

    void deallocate(T* p, std::size_t n) noexcept
    {
        const std::size_t bytes = n * sizeof(T);
        if (mapped(bytes))
            munmap(p, mapped_length(bytes));
        else
            ::operator delete(p);
    }

    template <typename U> bool operator==(const PrefaultedAllocator<U>&) const noexcept
    {
        return true;
    }
    template <typename U> bool operator!=(const PrefaultedAllocator<U>&) const noexcept
    {
        return false;
    }

private:
    // Small blocks come from the heap as usual (and the address sanitizer
    // sees every block that way).
    static bool mapped(std::size_t bytes)
    {
        return LINKWELL_PREFAULT_BLOCKS && bytes >= 256 * 1024;
    }
    static constexpr std::size_t huge_page = 2 * 1024 * 1024;
    static std::size_t mapped_length(std::size_t bytes)
    {
        return (bytes + huge_page - 1) / huge_page * huge_page;
    }
};
