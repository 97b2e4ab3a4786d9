#include "framework/base_list.h"

#include <new>

CBaseList::~CBaseList() {
  RemoveAll();
}

void CBaseList::RemoveAll() {
  Node* node = first_;
  while (node) {
    Node* next = node->next;
    delete node;
    node = next;
  }
  first_ = nullptr;
  last_ = nullptr;
  count_ = 0;
}

CBaseList::POSITION CBaseList::AddTailObject(void* object) {
  Node* node = new (std::nothrow) Node{last_, nullptr, object};
  if (!node) return nullptr;
  if (last_) {
    last_->next = node;
  } else {
    first_ = node;
  }
  last_ = node;
  ++count_;
  return node;
}

bool CBaseList::AddTailList(const CBaseList& other) {
  // Walk a snapshot of the end: appending a list to itself must stop at the
  // element that was last when the call began.
  const Node* const end = other.last_;
  for (const Node* node = other.first_; node; node = node->next) {
    if (!AddTailObject(node->object)) return false;
    if (node == end) break;
  }
  return true;
}

void* CBaseList::GetNextObject(POSITION& position) {
  if (!position) return nullptr;
  void* object = position->object;
  position = position->next;
  return object;
}

CBaseList::POSITION CBaseList::FindObject(const void* object) const {
  for (Node* node = first_; node; node = node->next) {
    if (node->object == object) return node;
  }
  return nullptr;
}
