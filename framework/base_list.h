#pragma once
// A doubly linked list of object pointers. The list owns its nodes, never the
// objects. A position is a node; a null position means "no element" (before
// the first or past the last). Use it through the typed CPointerList<T>.

#include <cstddef>

class CBaseList {
 public:
  struct Node {
    Node* previous;
    Node* next;
    void* object;
  };
  using POSITION = Node*;

  CBaseList() = default;
  ~CBaseList();
  CBaseList(const CBaseList&) = delete;
  CBaseList& operator=(const CBaseList&) = delete;

  void RemoveAll();
  int GetCount() const { return count_; }
  POSITION GetHeadPosition() const { return first_; }
  POSITION GetTailPosition() const { return last_; }

 protected:
  // Null when the node cannot be allocated.
  POSITION AddTailObject(void* object);
  // Appends every object of `other` in its order; false as soon as one append
  // fails (those before it stay).
  bool AddTailList(const CBaseList& other);
  // The object at `position`, moving `position` on (null after the last).
  static void* GetNextObject(POSITION& position);
  static void* GetObjectAt(POSITION position) { return position ? position->object : nullptr; }
  // The first position from the head that holds `object`.
  POSITION FindObject(const void* object) const;

 private:
  Node* first_ = nullptr;
  Node* last_ = nullptr;
  int count_ = 0;
};

template <typename T>
class CPointerList : public CBaseList {
 public:
  POSITION AddTail(T* object) { return AddTailObject(object); }
  bool AddTail(const CPointerList& other) { return AddTailList(other); }
  T* GetNext(POSITION& position) const { return static_cast<T*>(GetNextObject(position)); }
  T* Get(POSITION position) const { return static_cast<T*>(GetObjectAt(position)); }
  POSITION Find(const T* object) const { return FindObject(object); }
};
