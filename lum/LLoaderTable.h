// A table of loaders keyed by a small integer that owns its loaders: they
// are made when the table is built and destroyed with it.
#pragma once

#include "kor/Utils/UTable.h"

namespace lum {

// One loader of a table's building list: its key and how to make it. A
// list ends with an entry whose create is null.
template <class L>
struct LLoaderEntry {
  int key;
  L* (*create)();
};

// Makes a loader with the global operator new, so that it comes from the
// services in force when the table is built.
template <class L, class T>
L* CreateLoader() {
  return new T();
}

template <class L>
class LLoaderTable : public kor::UTable<int, L*> {
 public:
  enum { MAX_ENTRIES = 16 };
  typedef kor::UTable<int, L*> Base;

  LLoaderTable() {}

  // Makes the loaders from the last entry to the first, then inserts them
  // in list order, which is the order in which probes visit them. Keys
  // must be distinct. When anything fails, the loaders already made are
  // destroyed before the failure leaves.
  explicit LLoaderTable(const LLoaderEntry<L>* entries) {
    int count = 0;
    while (entries[count].create != nullptr) ++count;
    assure(count <= MAX_ENTRIES);
    L* made[MAX_ENTRIES] = {};
    try {
      for (int index = count - 1; index >= 0; --index) made[index] = entries[index].create();
      for (int index = 0; index < count; ++index) {
        assure(Base::Insert(entries[index].key, made[index]));
        made[index] = nullptr;  // owned by the table from here on
      }
    } catch (...) {
      for (int index = 0; index < count; ++index) delete made[index];
      DeleteLoaders();
      throw;
    }
  }

  ~LLoaderTable() noexcept(false) { DeleteLoaders(); }

  // The loader under key, or null.
  L* Get(int key) const {
    L* const* value = Base::Find(key);
    return value ? *value : nullptr;
  }

 private:
  void DeleteLoaders() {
    for (int index = 0; index < this->GetNodeNum(); ++index) {
      delete this->GetNode(index).value;
      this->GetNode(index).value = nullptr;
    }
  }
};

}  // namespace lum
