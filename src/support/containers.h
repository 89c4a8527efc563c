// The support library's three containers: SIArray<T> (growable array),
// SIMap<K, V> (ordered unique-key map) and SISet<K> (ordered set). Thin classes
// with a virtual destructor around the standard containers, so that a class can
// derive from them. String keys are ordered by the string type's own `<`.
//
// Thread-safety: a container is used by one thread at a time.
// Ownership: a container owns its elements; pointer values are not deleted.
#ifndef KORVA_SUPPORT_CONTAINERS_H_
#define KORVA_SUPPORT_CONTAINERS_H_

#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

template <typename T>
class SIArray {
 public:
  SIArray() = default;
  SIArray(const SIArray&) = default;
  SIArray& operator=(const SIArray&) = default;
  virtual ~SIArray() = default;

  // Appends a copy and answers its index. Storage grows to
  // size + max(size, 1), so appending one at a time doubles it.
  // The value may be one of this array's own elements: it is copied before
  // the storage moves.
  int add(const T& value) {
    if (items_.size() == items_.capacity()) {
      T copy(value);
      items_.reserve(items_.size() + std::max<size_t>(items_.size(), 1));
      items_.push_back(std::move(copy));
    } else {
      items_.push_back(value);
    }
    return static_cast<int>(items_.size()) - 1;
  }
  int getCount() const { return static_cast<int>(items_.size()); }
  T& getAt(int i) { return items_[i]; }
  const T& getAt(int i) const { return items_[i]; }
  T& operator[](int i) { return items_[i]; }
  const T& operator[](int i) const { return items_[i]; }
  // Destroys every element; the storage stays for later appends.
  void removeAll() { items_.clear(); }

  typename std::vector<T>::iterator begin() { return items_.begin(); }
  typename std::vector<T>::iterator end() { return items_.end(); }
  typename std::vector<T>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T>::const_iterator end() const { return items_.end(); }

 private:
  std::vector<T> items_;
};

template <typename K, typename V>
class SIMap {
 public:
  using Pairs = std::map<K, V>;

  SIMap() = default;
  SIMap(const SIMap&) = default;
  SIMap& operator=(const SIMap&) = default;
  virtual ~SIMap() = default;

  // Adds the pair when the key is absent; a present key keeps its value.
  bool insert(const K& key, const V& value) { return pairs_.emplace(key, value).second; }
  // Adds the pair or replaces the value stored under an equal key.
  void setAt(const K& key, const V& value) {
    auto it = pairs_.lower_bound(key);
    if (it != pairs_.end() && !(key < it->first)) {
      it->second = value;
    } else {
      pairs_.emplace_hint(it, key, value);
    }
  }
  // True and a copy of the value when present; out untouched otherwise.
  bool lookup(const K& key, V& value) const {
    auto it = pairs_.find(key);
    if (it == pairs_.end()) return false;
    value = it->second;
    return true;
  }
  bool remove(const K& key) { return pairs_.erase(key) > 0; }
  int getCount() const { return static_cast<int>(pairs_.size()); }
  void removeAll() { pairs_.clear(); }

  typename Pairs::iterator begin() { return pairs_.begin(); }
  typename Pairs::iterator end() { return pairs_.end(); }
  typename Pairs::const_iterator begin() const { return pairs_.begin(); }
  typename Pairs::const_iterator end() const { return pairs_.end(); }
  typename Pairs::iterator find(const K& key) { return pairs_.find(key); }

 private:
  Pairs pairs_;
};

template <typename K>
class SISet {
 public:
  SISet() = default;
  virtual ~SISet() = default;

  bool add(const K& key) { return keys_.insert(key).second; }
  bool lookup(const K& key) const { return keys_.find(key) != keys_.end(); }
  int getCount() const { return static_cast<int>(keys_.size()); }
  void removeAll() { keys_.clear(); }

  typename std::set<K>::const_iterator begin() const { return keys_.begin(); }
  typename std::set<K>::const_iterator end() const { return keys_.end(); }

 private:
  std::set<K> keys_;
};

#endif  // KORVA_SUPPORT_CONTAINERS_H_
