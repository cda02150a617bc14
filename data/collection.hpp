#pragma once
// The common shape of the game data's small keyed collections: items in
// order, 1-based positions, optional keys compared without regard to case.
// The classes differ in what a missing or duplicate key does, so each one
// picks its rule with the Find/Get and Remove/TryRemove pairs below.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/runtime/error.hpp"
#include "platform/runtime/keyed_collection.hpp"

namespace fw {

template <typename T>
class DataCollection {
 public:
  using Ptr = std::shared_ptr<T>;

  int32_t Count() const { return items_.Count(); }
  // NewEnum.
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  // Removes the items from the last position to the first.
  void RemoveAll() {
    for (int i = items_.Count(); i >= 1; --i) items_.Remove(i);
  }

 protected:
  // Adds under the key (without one when it is empty); a taken key raises
  // the collection's duplicate-key error and adds nothing.
  const Ptr& Insert(const Ptr& item, std::string_view key) {
    if (!items_.Add(item, key))
      throw plat::RuntimeError(plat::ErrorCode::DuplicateKey,
                               "This key is already associated with an element of this collection: \"" +
                                   std::string(key) + "\"");
    return item;
  }

  // Null when absent.
  Ptr Find(int position) const { return items_.At(position); }
  Ptr Find(std::string_view key) const { return items_.Find(key); }
  // Raising when absent.
  Ptr Get(int position) const { return items_.Item(position); }
  Ptr Get(std::string_view key) const { return items_.Item(key); }

  // False when absent.
  bool TryRemove(int position) { return items_.Remove(position); }
  bool TryRemove(std::string_view key) { return items_.Remove(key); }
  // Raising when absent.
  void RemoveOrRaise(int position) {
    if (!items_.Remove(position))
      throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange,
                               "Subscript out of range: position " + std::to_string(position));
  }
  void RemoveOrRaise(std::string_view key) {
    if (!items_.Remove(key))
      throw plat::RuntimeError(plat::ErrorCode::KeyNotFound,
                               "Invalid procedure call or argument: no item \"" + std::string(key) + "\"");
  }

  plat::KeyedCollection<T> items_;
};

}  // namespace fw
