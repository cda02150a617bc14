#pragma once
// Owning handles for the C libraries under the platform: a unique_ptr whose
// deleter is the library's own release call, so no handle is freed by hand
// and none leaks on an early return.
#include <memory>

namespace plat {

// Libraries that release with f(p).
template <auto Release>
struct ReleaseWith {
  template <class T>
  void operator()(T* p) const {
    if (p) Release(p);
  }
};
// Libraries that release with f(&p) and clear the pointer (FFmpeg).
template <auto Release>
struct ReleaseAddressWith {
  template <class T>
  void operator()(T* p) const {
    if (p) Release(&p);
  }
};

template <class T, auto Release>
using Owned = std::unique_ptr<T, ReleaseWith<Release>>;
template <class T, auto Release>
using OwnedByAddress = std::unique_ptr<T, ReleaseAddressWith<Release>>;

}  // namespace plat
