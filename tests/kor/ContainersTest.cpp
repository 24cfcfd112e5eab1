#include <gtest/gtest.h>

#include <string>

#include "TestServices.h"
#include "kor/Utils/UArray.h"
#include "kor/Utils/UBaseString.h"
#include "kor/Utils/UList.h"
#include "kor/Utils/UTable.h"

using kor::UArray;
using kor::UString;
using kor::UTable;

TEST(UArray, GrowsToTwiceTheCountRoundedTo64) {
  UArray<int> array;
  EXPECT_EQ(nullptr, array.m_array);
  EXPECT_EQ(0, array.Grow(1));
  EXPECT_EQ(64, array.GetMax());
  array.Grow(63);
  EXPECT_EQ(64, array.GetMax());
  EXPECT_EQ(64, array.Grow(1));
  EXPECT_EQ(128, array.GetMax());
  array.Grow(200);
  EXPECT_EQ(265, array.GetNum());
  EXPECT_EQ(320, array.GetMax());  // RoundUp64(max(2 * 65, 265))
}

TEST(UArray, KeepsElementsAcrossReallocationAndErase) {
  UArray<int> array;
  for (int i = 0; i < 300; ++i) array.Add(i);
  array.Erase(10, 5);
  ASSERT_EQ(295, array.GetNum());
  EXPECT_EQ(9, array[9]);
  EXPECT_EQ(15, array[10]);
  EXPECT_EQ(299, array[294]);
  EXPECT_EQ(512, array.GetMax());  // RoundUp64(590) is larger: no shrink

  array.Erase(0, 250);  // 45 left: shrinks to RoundUp64(90)
  EXPECT_EQ(45, array.GetNum());
  EXPECT_EQ(128, array.GetMax());
  EXPECT_EQ(255, array[0]);
  array.Erase(0, 45);
  EXPECT_EQ(0, array.GetMax());
  EXPECT_EQ(nullptr, array.m_array);
}

TEST(UArray, SetCapacityTruncatesAndZeroKeepsTheCount) {
  UArray<int> array(10);
  EXPECT_EQ(64, array.GetMax());
  for (int i = 0; i < 10; ++i) array[i] = i;
  array.SetCapacity(4);
  EXPECT_EQ(4, array.GetNum());
  EXPECT_EQ(3, array[3]);
  array.SetCapacity(0);
  EXPECT_EQ(4, array.GetNum());  // callers clear the count themselves
  EXPECT_EQ(nullptr, array.m_array);
  array.m_arrayNum = 0;
}

TEST(UArray, EmptyReservesRoundedOrExact) {
  UArray<unsigned char> bytes;
  bytes.Empty(100);
  EXPECT_EQ(128, bytes.GetMax());
  bytes.EmptyExact(100);
  EXPECT_EQ(100, bytes.GetMax());
  EXPECT_EQ(0, bytes.GetNum());
  bytes.Empty(0);
  EXPECT_EQ(0, bytes.GetMax());
}

TEST(UArray, CopiesAreIndependent) {
  UArray<UString> strings;
  strings.Add(UString("one"));
  strings.Add(UString("two"));
  UArray<UString> copy(strings);
  strings[0].Assign("changed");
  EXPECT_STREQ("one", copy[0].GetText());
  EXPECT_STREQ("two", copy[1].GetText());
  EXPECT_EQ(64, copy.GetMax());
  copy = strings;
  EXPECT_STREQ("changed", copy[0].GetText());
}

TEST(UArray, DestructorChecksItsCountsAndStillReleasesStorage) {
  ScopedTestServices services;
  auto* broken = new UArray<unsigned char>(5);
  broken->m_arrayNum = -1;
  try {
    delete broken;
    FAIL();
  } catch (const kor::ErrorDescription& error) {
    EXPECT_STREQ("'assure' failed: m_arrayNum>=0", error.GetMessage());
    EXPECT_STREQ("kor::UArray<unsigned char>::~UArray()", error.GetHistory());
  }
  auto* over = new UArray<int>(5);
  over->m_arrayNum = 65;
  try {
    delete over;
    FAIL();
  } catch (const kor::ErrorDescription& error) {
    EXPECT_STREQ("'assure' failed: m_arrayMax>=m_arrayNum", error.GetMessage());
  }
  EXPECT_EQ(0, services.Pool().m_currentAllocations);
}

TEST(UArray, StorageComesFromThePoolWithArrayLocations) {
  ScopedTestServices services;
  {
    UArray<int> array;
    array.Grow(1);
    array.Grow(100);
  }
  EXPECT_EQ(2, services.Pool().CountOf("global operator new[]"));
  EXPECT_EQ(2, services.Pool().CountOf("global operator delete[]"));
  EXPECT_EQ(0, services.Pool().m_currentAllocations);
}

TEST(UBaseString, CountsItsTerminator) {
  UString empty;
  EXPECT_EQ(0, empty.GetLength());
  EXPECT_STREQ("", empty.GetText());
  UString none(static_cast<const char*>(nullptr));
  EXPECT_EQ(0, none.m_arrayNum);
  UString blank("");
  EXPECT_EQ(1, blank.m_arrayNum);
  EXPECT_EQ(0, blank.GetLength());
  UString abc;
  abc.Append("abc");
  EXPECT_EQ(4, abc.m_arrayNum);
  EXPECT_EQ(64, abc.GetMax());
  EXPECT_STREQ("abc", abc.GetText());
}

TEST(UBaseString, AppendGrowsByTheArrayRule) {
  UString text(std::string(40, 'a').c_str());
  ASSERT_EQ(41, text.m_arrayNum);
  text.Append(std::string(30, 'b').c_str());
  EXPECT_EQ(71, text.m_arrayNum);
  EXPECT_EQ(128, text.GetMax());
  EXPECT_EQ(std::string(40, 'a') + std::string(30, 'b'), text.GetText());
  text.Append(static_cast<const char*>(nullptr));
  EXPECT_EQ(71, text.m_arrayNum);
}

TEST(UBaseString, AssignShrinksByTheEraseRule) {
  UString text;
  text.Assign(std::string(99, 'x').c_str());
  text.SetCapacity(128);
  ASSERT_EQ(100, text.m_arrayNum);
  text.Assign("short");
  EXPECT_EQ(6, text.m_arrayNum);
  EXPECT_EQ(64, text.GetMax());  // RoundUp64(12) < 128
  EXPECT_STREQ("short", text.GetText());

  text.Assign(text.GetText());  // its own storage: unchanged
  EXPECT_STREQ("short", text.GetText());
  text.Assign(text.GetText() + 2);  // a part of itself
  EXPECT_STREQ("ort", text.GetText());
  text.Append(text.GetText());
  EXPECT_STREQ("ortort", text.GetText());
}

TEST(UBaseString, NumbersAndConcatenation) {
  EXPECT_STREQ("-42", UString::FromInt(-42).GetText());
  EXPECT_STREQ("-9000000000", UString::FromInt64(-9000000000LL).GetText());
  EXPECT_STREQ("18446744073709551615", UString::FromUInt64(18446744073709551615ULL).GetText());
  EXPECT_STREQ("1.5000", UString::FromFloat(1.5f).GetText());
  EXPECT_STREQ("-0.1235", UString::FromDouble(-0.12345678).GetText());
  UString left("ab");
  EXPECT_STREQ("abcd", UString::Concatenate(left, "cd").GetText());
  EXPECT_STREQ("ab", left.GetText());
}

TEST(UBaseString, IteratorsSubstringAndBackwardSearch) {
  UString path("dir\\sub/file.txt");
  EXPECT_EQ('d', **path.Begin());
  EXPECT_EQ(nullptr, *path.End());
  EXPECT_EQ(nullptr, *path.At(17));
  EXPECT_NE(nullptr, *path.At(16));  // the terminator

  auto slash = path.FindLast('/', path.At(15));
  EXPECT_EQ(7, slash.GetIndex());
  auto backslash = path.FindLast('\\', slash);
  EXPECT_EQ(3, backslash.GetIndex());
  EXPECT_EQ(16, path.FindLast('#', path.At(15)).GetIndex());  // not found: last position
  EXPECT_EQ(16, path.FindLast('d', path.End()).GetIndex());   // from the end position
  UString none;
  EXPECT_EQ(0, none.FindLast('x', none.End()).GetIndex());

  EXPECT_STREQ("sub", UString::Substring(path.At(4), slash).GetText());
  EXPECT_STREQ("file.txt", UString::Substring(path.At(8), path.At(16)).GetText());
  EXPECT_STREQ("", UString::Substring(slash, slash).GetText());
  EXPECT_STREQ("", UString::Substring(slash, path.At(4)).GetText());  // reversed: empty
  EXPECT_STREQ("", UString::Substring(path.At(0), path.End()).GetText());
}

TEST(UTable, KeepsBucketsUntilTheLoadRuleDoublesThem) {
  UTable<int, int> table;
  for (int i = 0; i < 64; ++i) ASSERT_TRUE(table.Insert(i * 7, i));
  EXPECT_EQ(64, table.GetBucketNum());
  ASSERT_TRUE(table.Insert(1000, 64));
  EXPECT_EQ(128, table.GetBucketNum());
  for (int i = 0; i < 64; ++i) {
    ASSERT_NE(nullptr, table.Find(i * 7));
    EXPECT_EQ(i, *table.Find(i * 7));
  }
  EXPECT_EQ(64, *table.Find(1000));
  EXPECT_FALSE(table.Contains(1));
  EXPECT_EQ(nullptr, table.Find(1));
  EXPECT_EQ(7, table.GetNode(1).key);  // insertion order
}

TEST(UTable, FirstValueWinsAndChainsListNewestFirst) {
  UTable<int, const char*> table;
  EXPECT_FALSE(table.Contains(1));
  EXPECT_TRUE(table.Insert(1, "one"));
  EXPECT_TRUE(table.Insert(65, "sixty-five"));
  EXPECT_FALSE(table.Insert(1, "again"));
  EXPECT_STREQ("one", *table.Find(1));
  EXPECT_STREQ("sixty-five", *table.Find(65));
  int head = table.GetBucketHead(1);
  ASSERT_GE(head, 0);
  EXPECT_EQ(65, table.GetNode(head).key);
  EXPECT_EQ(1, table.GetNode(table.GetNode(head).next).key);
}

TEST(UTable, BuildsFromAZeroTerminatedListWithLaterValuesReplacing) {
  static const UTable<unsigned short, float>::Entry entries[] = {
      {1.5f, 3}, {2.5f, 4}, {9.0f, 3}, {0.0f, 0}};
  UTable<unsigned short, float> table(entries);
  EXPECT_EQ(2, table.GetNodeNum());
  EXPECT_FLOAT_EQ(9.0f, *table.Find(3));
  EXPECT_FLOAT_EQ(2.5f, *table.Find(4));
}

TEST(UTable, StringKeysHashByteWiseAndCompareExactly) {
  typedef kor::UTableKey<UString> Key;
  EXPECT_EQ(0x6261u, Key::Hash(UString("ab")));
  EXPECT_EQ(0x6162u, Key::Hash(UString("ba")));
  EXPECT_EQ(0u, Key::Hash(UString()));
  EXPECT_EQ(0x61u ^ (0x61u << 8) ^ (0x61u << 16) ^ (0x61u << 24) ^ 0x61u, Key::Hash(UString("aaaaa")));

  UTable<UString, int> table;
  ASSERT_TRUE(table.Insert(UString("ab"), 1));
  ASSERT_TRUE(table.Insert(UString("ba"), 2));
  EXPECT_EQ(33u, table.BucketOf(UString("ab")));
  EXPECT_EQ(34u, table.BucketOf(UString("ba")));
  EXPECT_EQ(1, *table.Find(UString("ab")));
  EXPECT_EQ(nullptr, table.Find(UString("AB")));  // case matters

  // A key without storage equals nothing, not even itself.
  EXPECT_TRUE(table.Insert(UString(), 3));
  EXPECT_TRUE(table.Insert(UString(), 4));
  EXPECT_EQ(nullptr, table.Find(UString()));
  EXPECT_FALSE(Key::Equal(UString(), UString()));
}

TEST(UTable, StringKeysSurviveRehashing) {
  UTable<UString, int> table;
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(table.Insert(UString::FromInt(i), i));
  EXPECT_EQ(512, table.GetBucketNum());
  for (int i = 0; i < 300; ++i) ASSERT_EQ(i, *table.Find(UString::FromInt(i)));
}

TEST(UList, PushesAndPopsAtTheTail) {
  ScopedTestServices services;
  {
    kor::UList<UString> list;
    EXPECT_FALSE(list.PopBack());
    list.PushBack(UString("a"));
    list.PushBack(UString("b"));
    list.PushBack(UString("c"));
    EXPECT_EQ(3, list.GetCount());
    EXPECT_STREQ("a", list.GetHead()->value.GetText());
    EXPECT_STREQ("b", list.GetHead()->next->value.GetText());
    EXPECT_TRUE(list.PopBack());
    EXPECT_STREQ("b", list.GetTail()->value.GetText());
    EXPECT_EQ(nullptr, list.GetTail()->next);
    EXPECT_TRUE(list.PopBack());
    EXPECT_TRUE(list.PopBack());
    EXPECT_EQ(nullptr, list.GetHead());
    EXPECT_EQ(nullptr, list.GetTail());
    list.PushBack(UString("d"));
  }
  EXPECT_EQ(0, services.Pool().m_currentAllocations);
}
