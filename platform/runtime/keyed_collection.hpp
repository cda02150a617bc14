#pragma once
// The runtime's keyed collection: items in insertion order, 1-based
// positions, optional string keys compared without regard to case. What a
// duplicate or missing key does differs between the game's classes, so the
// primitives here report and let each owner decide: Add returns false on a
// duplicate, Find returns null on a miss, Item raises.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/runtime/error.hpp"
#include "platform/runtime/strings.hpp"

namespace plat {

template <typename T>
class KeyedCollection {
 public:
  using Ptr = std::shared_ptr<T>;
  struct Entry {
    Ptr item;
    std::string key;
  };

  // Adds at the end; false (collection unchanged) when the key is taken.
  // An empty key adds the item without one.
  bool Add(Ptr item, std::string_view key = {}) {
    if (!key.empty()) {
      const std::string k = UCase(key);
      if (index_.count(k)) return false;
      index_.emplace(k, item);
    }
    entries_.push_back({std::move(item), std::string(key)});
    return true;
  }

  int Count() const { return static_cast<int>(entries_.size()); }
  bool Contains(std::string_view key) const { return index_.count(UCase(key)) != 0; }

  // Null when absent.
  Ptr Find(std::string_view key) const {
    auto it = index_.find(UCase(key));
    return it == index_.end() ? nullptr : it->second;
  }
  Ptr At(int position) const {
    if (position < 1 || position > Count()) return nullptr;
    return entries_[static_cast<size_t>(position - 1)].item;
  }

  // Raising variants, for owners whose missing key is an error.
  Ptr Item(std::string_view key) const {
    Ptr p = Find(key);
    if (!p) throw RuntimeError(ErrorCode::KeyNotFound, "Invalid procedure call or argument: no item \"" + std::string(key) + "\"");
    return p;
  }
  Ptr Item(int position) const {
    Ptr p = At(position);
    if (!p) throw RuntimeError(ErrorCode::SubscriptOutOfRange, "Subscript out of range: position " + std::to_string(position));
    return p;
  }

  // False when absent.
  bool Remove(std::string_view key) {
    auto it = index_.find(UCase(key));
    if (it == index_.end()) return false;
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].item == it->second) return RemoveAtIndex(i);
    return false;
  }
  bool Remove(int position) {
    if (position < 1 || position > Count()) return false;
    return RemoveAtIndex(static_cast<size_t>(position - 1));
  }
  void RemoveAll() {
    entries_.clear();
    index_.clear();
  }

  // The key an item was added under ("" when none), by 1-based position.
  const std::string& KeyAt(int position) const { return entries_.at(static_cast<size_t>(position - 1)).key; }

  // NewEnum: iteration in order, yielding the shared pointers.
  class Iterator {
   public:
    using Inner = typename std::vector<Entry>::const_iterator;
    explicit Iterator(Inner it) : it_(it) {}
    const Ptr& operator*() const { return it_->item; }
    Iterator& operator++() {
      ++it_;
      return *this;
    }
    bool operator!=(const Iterator& o) const { return it_ != o.it_; }

   private:
    Inner it_;
  };
  Iterator begin() const { return Iterator(entries_.begin()); }
  Iterator end() const { return Iterator(entries_.end()); }

 private:
  bool RemoveAtIndex(size_t i) {
    if (!entries_[i].key.empty()) index_.erase(UCase(entries_[i].key));
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }

  std::vector<Entry> entries_;
  // Holds the items too, so a lookup by key needs no search of the list.
  std::unordered_map<std::string, Ptr> index_;
};

}  // namespace plat
