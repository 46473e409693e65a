// An allocator whose elements start uninitialised where a container would zero them: for buffers of a
// first frame that are written whole before anything reads them (a band's recorded depth-stencil
// values, the footprints of a shading cache), where zeroing them first is a pass over memory for nothing.
#pragma once

#include <memory>
#include <utility>
#include <vector>

namespace platform::d3d10 {

template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    using value_type = T;
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    // Allocators convert implicitly between element types.
    template <class U>
    // NOLINTNEXTLINE(google-explicit-constructor)
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}

    // Default construction leaves the bytes as they are; any other construction is the usual one.
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// A vector of T whose resize leaves new elements unwritten.
template <class T>
using UninitialisedVector = std::vector<T, UninitialisedAllocator<T>>;

} // namespace platform::d3d10
