// A hash table with a power-of-two number of buckets. Its nodes live, in
// insertion order, in the array it derives from; each bucket chains its nodes
// newest first through node indices.
#pragma once

#include "kor/Utils/UBaseString.h"

namespace kor {

// Bucket selection and key equality per key type.
template <class K>
struct UTableKey {
  static unsigned Hash(const K& key) { return static_cast<unsigned>(key); }
  static bool Equal(const K& a, const K& b) { return a == b; }
};

template <class C>
struct UTableKey<UBaseString<C>> {
  // Each character lands in one of the four bytes of the hash in turn.
  static unsigned Hash(const UBaseString<C>& key) {
    unsigned h = 0;
    for (int i = 0; i < key.m_arrayNum && key.m_array[i] != 0; ++i)
      h ^= static_cast<unsigned>(static_cast<unsigned char>(key.m_array[i])) << (8 * (i % 4));
    return h;
  }
  // A key without storage equals nothing, not even another such key.
  static bool Equal(const UBaseString<C>& a, const UBaseString<C>& b) {
    return a.m_arrayNum != 0 && b.m_arrayNum != 0 &&
           std::strcmp(a.GetText(), b.GetText()) == 0;
  }
};

template <class K, class V>
struct UTableNode {
  K key;
  V value;
  int next;
};

template <class K, class V>
class UTable : public UArray<UTableNode<K, V>> {
 public:
  typedef UTableNode<K, V> Node;
  using UArray<Node>::m_array;
  using UArray<Node>::m_arrayNum;

  // One (value, key) pair of a construction list.
  struct Entry {
    V value;
    K key;
  };

  UTable() : m_buckets(nullptr), m_bucketNum(64) {}

  // Builds the table from entries ending in one whose value is zero; a later
  // entry with a key already present replaces that value.
  explicit UTable(const Entry* entries) : UTable() {
    for (; entries && !(entries->value == V()); ++entries) {
      if (V* existing = Find(entries->key)) *existing = entries->value;
      else Insert(entries->key, entries->value);
    }
  }

  UTable(const UTable&) = delete;
  UTable& operator=(const UTable&) = delete;

  ~UTable() noexcept(false) {
    if (m_buckets) FreeMemory(m_buckets, LOCATION_DELETE_ARRAY);
  }

  bool Contains(const K& key) const { return FindIndex(key) >= 0; }

  V* Find(const K& key) {
    int index = FindIndex(key);
    return index >= 0 ? &m_array[index].value : nullptr;
  }
  const V* Find(const K& key) const {
    int index = FindIndex(key);
    return index >= 0 ? &m_array[index].value : nullptr;
  }

  // False, leaving the table unchanged, when the key is already present.
  bool Insert(const K& key, const V& value) {
    if (Contains(key)) return false;
    if (m_buckets == nullptr) Rehash();
    int index = this->Grow(1);
    Node& node = m_array[index];
    node.key = key;
    node.value = value;
    unsigned bucket = BucketOf(key);
    node.next = m_buckets[bucket];
    m_buckets[bucket] = index;
    if (m_bucketNum < m_arrayNum) {
      assure(m_bucketNum < (1 << 29));
      m_bucketNum *= 2;
      Rehash();
    }
    return true;
  }

  int GetBucketNum() const { return m_bucketNum; }
  int GetBucketHead(int bucket) const { return m_buckets ? m_buckets[bucket] : -1; }
  unsigned BucketOf(const K& key) const {
    return UTableKey<K>::Hash(key) & static_cast<unsigned>(m_bucketNum - 1);
  }

  // Node access in insertion order.
  int GetNodeNum() const { return m_arrayNum; }
  const Node& GetNode(int index) const { return m_array[index]; }
  Node& GetNode(int index) { return m_array[index]; }

 private:
  int FindIndex(const K& key) const {
    if (m_arrayNum == 0 || m_buckets == nullptr) return -1;
    for (int i = m_buckets[BucketOf(key)]; i != -1; i = m_array[i].next)
      if (UTableKey<K>::Equal(m_array[i].key, key)) return i;
    return -1;
  }

  void Rehash() {
    if (m_bucketNum == 0) {
      if (m_buckets) FreeMemory(m_buckets, LOCATION_DELETE_ARRAY);
      m_buckets = nullptr;
      m_bucketNum = 64;
      return;
    }
    int* fresh = static_cast<int*>(
        AllocateMemory(static_cast<size_t>(m_bucketNum) * sizeof(int), LOCATION_NEW_ARRAY));
    for (int b = 0; b < m_bucketNum; ++b) fresh[b] = -1;
    for (int i = 0; i < m_arrayNum; ++i) {
      unsigned bucket = UTableKey<K>::Hash(m_array[i].key) & static_cast<unsigned>(m_bucketNum - 1);
      m_array[i].next = fresh[bucket];
      fresh[bucket] = i;
    }
    if (m_buckets) FreeMemory(m_buckets, LOCATION_DELETE_ARRAY);
    m_buckets = fresh;
  }

  int* m_buckets;
  int m_bucketNum;
};

}  // namespace kor
