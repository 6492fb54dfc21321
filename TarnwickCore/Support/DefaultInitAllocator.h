#pragma once

#include <memory>
#include <new>
#include <utility>

namespace tarnwick {

/// A std::allocator whose argument-less construct() default-initializes, so
/// resizing a vector of trivial records leaves them unwritten. Used where
/// every element is about to be filled anyway (possibly by several threads),
/// and zeroing first would only add a serial pass over fresh memory.
template <typename T> class DefaultInitAllocator : public std::allocator<T> {
public:
  template <typename U> struct rebind {
    using other = DefaultInitAllocator<U>;
  };
  using std::allocator<T>::allocator;

  template <typename U> void construct(U *place) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void *>(place)) U;
  }
  template <typename U, typename... Args> void construct(U *place, Args &&...args) {
    ::new (static_cast<void *>(place)) U(std::forward<Args>(args)...);
  }
};

} // namespace tarnwick
