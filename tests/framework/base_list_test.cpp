#include "framework/base_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int*> Walk(const CPointerList<int>& list) {
  std::vector<int*> seen;
  auto position = list.GetHeadPosition();
  while (position) seen.push_back(list.GetNext(position));
  return seen;
}

TEST(BaseList, AddTailKeepsInsertionOrder) {
  int a = 1, b = 2, c = 3;
  CPointerList<int> list;
  EXPECT_EQ(list.GetHeadPosition(), nullptr);
  EXPECT_TRUE(Walk(list).empty());
  auto pa = list.AddTail(&a);
  auto pb = list.AddTail(&b);
  auto pc = list.AddTail(&c);
  ASSERT_TRUE(pa && pb && pc);
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(Walk(list), (std::vector<int*>{&a, &b, &c}));
  EXPECT_EQ(list.GetHeadPosition(), pa);
  EXPECT_EQ(list.GetTailPosition(), pc);
  EXPECT_EQ(list.Get(pb), &b);
  EXPECT_EQ(list.Get(nullptr), nullptr);
}

TEST(BaseList, GetNextOnTheLastPositionEndsTheWalk) {
  int a = 1, b = 2;
  CPointerList<int> list;
  list.AddTail(&a);
  auto last = list.AddTail(&b);
  auto position = last;
  EXPECT_EQ(list.GetNext(position), &b);
  EXPECT_EQ(position, nullptr);
  EXPECT_EQ(list.GetNext(position), nullptr);  // a null position stays put
  EXPECT_EQ(position, nullptr);
}

TEST(BaseList, FindReturnsTheFirstMatchFromTheHead) {
  int a = 1, b = 2, missing = 0;
  CPointerList<int> list;
  list.AddTail(&a);
  auto firstB = list.AddTail(&b);
  list.AddTail(&b);
  list.AddTail(nullptr);
  EXPECT_EQ(list.Find(&b), firstB);
  EXPECT_EQ(list.Find(&missing), nullptr);
  EXPECT_EQ(list.Find(nullptr), list.GetTailPosition());
}

TEST(BaseList, AppendingAListCopiesItsPointersInOrder) {
  int a = 1, b = 2, c = 3;
  CPointerList<int> first, second;
  first.AddTail(&a);
  second.AddTail(&b);
  second.AddTail(&c);
  EXPECT_TRUE(first.AddTail(second));
  EXPECT_EQ(Walk(first), (std::vector<int*>{&a, &b, &c}));
  EXPECT_EQ(Walk(second), (std::vector<int*>{&b, &c}));  // the source keeps its nodes

  EXPECT_TRUE(first.AddTail(first));  // a list appended to itself doubles once
  EXPECT_EQ(first.GetCount(), 6);
  EXPECT_EQ(Walk(first), (std::vector<int*>{&a, &b, &c, &a, &b, &c}));

  CPointerList<int> empty;
  EXPECT_TRUE(first.AddTail(empty));
  EXPECT_EQ(first.GetCount(), 6);
}

// The list holds untyped pointers and never owns what they point at; what
// RemoveAll must do is forget every node.
TEST(BaseList, RemoveAllForgetsEveryNode) {
  int a = 1, b = 2;
  CPointerList<int> list;
  list.AddTail(&a);
  list.AddTail(&b);
  list.RemoveAll();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetHeadPosition(), nullptr);
  EXPECT_EQ(list.GetTailPosition(), nullptr);
  EXPECT_EQ(list.Find(&a), nullptr);
  EXPECT_TRUE(Walk(list).empty());
  list.AddTail(&b);  // usable again after emptying, with nothing of the old nodes
  EXPECT_EQ(Walk(list), (std::vector<int*>{&b}));
  EXPECT_EQ(list.GetHeadPosition(), list.GetTailPosition());
  EXPECT_EQ(list.Find(&a), nullptr);
}

}  // namespace
