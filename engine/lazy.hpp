#pragma once
// A global object reference that creates its object on first access and can
// be released, so the next access starts from a fresh object.
#include <memory>

namespace fw {

template <typename T>
class Lazy {
 public:
  T* operator->() { return &Get(); }
  T& operator*() { return Get(); }
  T& Get() {
    if (!p_) p_ = std::make_shared<T>();
    return *p_;
  }
  // The object, created if absent; holding it keeps it alive across a
  // Release made while it is in use.
  std::shared_ptr<T> Shared() {
    Get();
    return p_;
  }
  bool Exists() const { return p_ != nullptr; }
  void Release() { p_.reset(); }
  void Set(std::shared_ptr<T> p) { p_ = std::move(p); }

 private:
  std::shared_ptr<T> p_;
};

}  // namespace fw
