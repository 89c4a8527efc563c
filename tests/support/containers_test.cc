// Tests of SIArray, SIMap and SISet: indices and counts, insert versus setAt,
// lookups that miss, key order by string collation, and ownership of values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/containers.h"
#include "support/sstring.h"

namespace {

TEST(SIArray, AddAnswersIndicesInOrder) {
  SIArray<SAnsiString> names;
  EXPECT_EQ(names.getCount(), 0);
  EXPECT_EQ(names.add("first"), 0);
  EXPECT_EQ(names.add("second"), 1);
  EXPECT_EQ(names.add("third"), 2);
  EXPECT_EQ(names.getCount(), 3);
  EXPECT_STREQ(names[1].getBuffer(), "second");
  EXPECT_STREQ(names.getAt(2).getBuffer(), "third");
  std::vector<std::string> seen;
  for (const SAnsiString& s : names) seen.push_back(s.getBuffer());
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second", "third"}));
}

TEST(SIArray, StoredStringsShareTheirBlocks) {
  SAnsiString value("shared");
  SIArray<SAnsiString> list;
  for (int i = 0; i < 10; ++i) list.add(value);  // grows several times
  for (int i = 0; i < list.getCount(); ++i) EXPECT_EQ(list[i].block(), value.block());
  EXPECT_EQ(value.block()->refCount.load(), 11);

  SIArray<SAnsiString> copy(list);
  EXPECT_EQ(value.block()->refCount.load(), 21);
  list.removeAll();
  EXPECT_EQ(list.getCount(), 0);
  EXPECT_EQ(list.add("again"), 0);
  copy = list;
  EXPECT_EQ(value.block()->refCount.load(), 1);
}

TEST(SIArray, AddingOwnElementSurvivesGrowth) {
  SIArray<SAnsiString> list;
  list.add("seed text that lives in the array");
  for (int i = 0; i < 20; ++i) list.add(list[0]);  // storage moves at 1, 2, 4, 8, 16
  EXPECT_EQ(list.getCount(), 21);
  for (const SAnsiString& s : list) EXPECT_STREQ(s.getBuffer(), "seed text that lives in the array");

  SIArray<std::string> plain;
  plain.add(std::string(100, 'p'));
  for (int i = 0; i < 20; ++i) plain.add(plain[plain.getCount() - 1]);
  EXPECT_EQ(plain[20], std::string(100, 'p'));
}

TEST(SIMap, InsertKeepsTheFirstValueSetAtReplacesIt) {
  SIMap<SAnsiString, SAnsiString> params;
  EXPECT_TRUE(params.insert("CA_VR_APSNAME", "first"));
  EXPECT_FALSE(params.insert("CA_VR_APSNAME", "second"));
  SAnsiString value;
  ASSERT_TRUE(params.lookup("CA_VR_APSNAME", value));
  EXPECT_STREQ(value.getBuffer(), "first");

  params.setAt("CA_VR_APSNAME", "third");
  params.setAt("CA_VR_USER", "admin");
  EXPECT_EQ(params.getCount(), 2);
  ASSERT_TRUE(params.lookup("CA_VR_APSNAME", value));
  EXPECT_STREQ(value.getBuffer(), "third");

  EXPECT_TRUE(params.remove("CA_VR_USER"));
  EXPECT_FALSE(params.remove("CA_VR_USER"));
  params.removeAll();
  EXPECT_EQ(params.getCount(), 0);
}

TEST(SIMap, LookupOfAnAbsentKeyLeavesTheOutValue) {
  SIMap<SAnsiString, int> counts;
  counts.setAt("present", 1);
  int out = 42;
  EXPECT_FALSE(counts.lookup("absent", out));
  EXPECT_EQ(out, 42);
  EXPECT_FALSE(counts.lookup("PRESENT", out));  // case matters
  EXPECT_EQ(out, 42);
  EXPECT_TRUE(counts.lookup("present", out));
  EXPECT_EQ(out, 1);
  EXPECT_EQ(counts.find("absent"), counts.end());
}

TEST(SIMap, StringKeysIterateInCollationOrder) {
  SIMap<SAnsiString, int> map;
  for (const char* key : {"b", "a", "c", "B", "A"}) map.insert(key, 0);
  EXPECT_EQ(map.getCount(), 5);  // keys differing in case are distinct
  std::vector<std::string> order;
  for (const auto& pair : map) order.push_back(pair.first.getBuffer());
  // "C" collation: upper case before lower case.
  EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "a", "b", "c"}));

  SIMap<SAnsiStringCI, int> noCase;
  EXPECT_TRUE(noCase.insert("Option", 1));
  EXPECT_FALSE(noCase.insert("OPTION", 2));
  noCase.insert("beta", 3);
  noCase.insert("Alpha", 4);
  int out = 0;
  EXPECT_TRUE(noCase.lookup("option", out));
  EXPECT_EQ(out, 1);
  order.clear();
  for (const auto& pair : noCase) order.push_back(pair.first.getBuffer());
  EXPECT_EQ(order, (std::vector<std::string>{"Alpha", "beta", "Option"}));
}

struct Counted {
  explicit Counted(int* deaths) : deaths_(deaths) {}
  ~Counted() { ++*deaths_; }
  int* deaths_;
};

TEST(SIMap, PointerValuesAreNotDeleted) {
  int deaths = 0;
  Counted one(&deaths), two(&deaths);
  {
    auto* map = new SIMap<SAnsiString, Counted*>();
    map->setAt("one", &one);
    map->setAt("two", &two);
    map->removeAll();
    map->setAt("one", &one);
    delete map;  // through its own class: the virtual destructor
  }
  EXPECT_EQ(deaths, 0);
}

TEST(SIMap, KeysAndValuesReleaseTheirBlocks) {
  SAnsiString key("key"), value("value");
  {
    SIMap<SAnsiString, SAnsiString> map;
    map.setAt(key, value);
    SIMap<SAnsiString, SAnsiString> copy(map);
    EXPECT_EQ(key.block()->refCount.load(), 3);
    EXPECT_EQ(value.block()->refCount.load(), 3);
    map.removeAll();
    EXPECT_EQ(key.block()->refCount.load(), 2);
  }
  EXPECT_EQ(key.block()->refCount.load(), 1);
  EXPECT_EQ(value.block()->refCount.load(), 1);
}

TEST(SISet, AddLookupAndOrder) {
  SISet<SAnsiString> set;
  EXPECT_TRUE(set.add("unit_b.cc"));
  EXPECT_TRUE(set.add("unit_a.cc"));
  EXPECT_FALSE(set.add("unit_b.cc"));
  EXPECT_TRUE(set.add("Unit_b.cc"));
  EXPECT_EQ(set.getCount(), 3);
  EXPECT_TRUE(set.lookup("unit_a.cc"));
  EXPECT_FALSE(set.lookup("unit_c.cc"));
  std::vector<std::string> order;
  for (const SAnsiString& s : set) order.push_back(s.getBuffer());
  EXPECT_EQ(order, (std::vector<std::string>{"Unit_b.cc", "unit_a.cc", "unit_b.cc"}));
  set.removeAll();
  EXPECT_EQ(set.getCount(), 0);
  EXPECT_FALSE(set.lookup("unit_a.cc"));
}

}  // namespace
