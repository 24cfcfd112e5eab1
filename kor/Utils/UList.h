// A doubly-linked list whose nodes are allocated one by one from the pool.
#pragma once

#include "kor/Utils/UMemory.h"

namespace kor {

template <class T>
struct UListNode {
  T value;
  UListNode* previous;
  UListNode* next;
};

template <class T>
class UList {
 public:
  typedef UListNode<T> Node;

  UList() : m_head(nullptr), m_tail(nullptr), m_count(0) {}
  UList(const UList&) = delete;
  UList& operator=(const UList&) = delete;
  ~UList() noexcept(false) { Clear(); }

  // Appends a copy of value. A node whose copy fails is released first.
  void PushBack(const T& value) {
    Node* node = NewObject<Node>(Node{value, m_tail, nullptr});
    if (m_tail) m_tail->next = node;
    else m_head = node;
    m_tail = node;
    ++m_count;
  }

  // Removes and destroys the last value; false when the list is empty.
  bool PopBack() {
    Node* node = m_tail;
    if (node == nullptr) return false;
    m_tail = node->previous;
    if (m_tail) m_tail->next = nullptr;
    else m_head = nullptr;
    --m_count;
    DeleteObject(node);
    return true;
  }

  void Clear() {
    while (PopBack()) {
    }
  }

  Node* GetHead() const { return m_head; }
  Node* GetTail() const { return m_tail; }
  int GetCount() const { return m_count; }

 private:
  Node* m_head;
  Node* m_tail;
  int m_count;
};

}  // namespace kor
