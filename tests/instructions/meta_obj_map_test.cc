// The owning meta-object map: order, replacement, lookup, the values array and
// emptying, with objects that count how many of them are alive.
#include "instructions/meta_obj_map.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "instructions/meta_objects.h"

namespace {

int gLive = 0;

struct CountedFolder : CMAMetaFolderObj {
  explicit CountedFolder(const char* n, const char* d = "") {
    name = n;
    desc = d;
    ++gLive;
  }
  ~CountedFolder() override { --gLive; }
};

struct CountedUser : CMAMetaUserObj {
  explicit CountedUser(const char* n) {
    name = n;
    ++gLive;
  }
  ~CountedUser() override { --gLive; }
};

class MetaObjMapTest : public ::testing::Test {
 protected:
  void SetUp() override { gLive = 0; }
  void TearDown() override { EXPECT_EQ(gLive, 0) << "objects leaked or deleted twice"; }

  static std::vector<std::string> names(const CMAMetaObjMap& map) {
    CMAMetaObj** values = nullptr;
    int count = -1;
    EXPECT_TRUE(map.getValues(&values, &count));
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(values[i]->getName().getBuffer());
    delete[] values;
    return out;
  }
};

TEST_F(MetaObjMapTest, NewObjectsAreEmptyAndUsersHaveNoId) {
  CMAMetaUserObj user;
  EXPECT_EQ(user.id, -1);
  for (const SAnsiString* s : {&user.name, &user.pass, &user.full, &user.desc, &user.named,
                               &user.right, &user.overwrite}) {
    EXPECT_TRUE(s->isEmpty());
  }
  CMAMetaReportObj report;
  report.name = "Q1";
  const CMAMetaObj& base = report;
  EXPECT_STREQ(base.getName().getBuffer(), "Q1");
}

TEST_F(MetaObjMapTest, ValuesComeInAscendingNameOrder) {
  CMAMetaObjMap map;
  ASSERT_TRUE(map.add(new CountedUser("b")));
  ASSERT_TRUE(map.add(new CountedUser("a")));
  ASSERT_TRUE(map.add(new CountedUser("c")));
  EXPECT_EQ(map.getCount(), 3);
  EXPECT_EQ(names(map), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(MetaObjMapTest, NullObjectIsRefused) {
  CMAMetaObjMap map;
  EXPECT_FALSE(map.add(nullptr));
  EXPECT_EQ(map.getCount(), 0);
}

TEST_F(MetaObjMapTest, EqualNameReplacesAndDeletesTheEarlierObject) {
  CMAMetaObjMap map;
  ASSERT_TRUE(map.add(new CountedFolder("Finance", "first")));
  auto* second = new CountedFolder("Finance", "second");
  ASSERT_TRUE(map.add(second));
  EXPECT_EQ(gLive, 1);
  EXPECT_EQ(map.getCount(), 1);
  CMAMetaObj* found = nullptr;
  ASSERT_TRUE(map.lookup("Finance", &found));
  EXPECT_EQ(found, second);
  EXPECT_STREQ(static_cast<CMAMetaFolderObj*>(found)->desc.getBuffer(), "second");
}

TEST_F(MetaObjMapTest, AddingTheStoredObjectAgainKeepsIt) {
  CMAMetaObjMap map;
  auto* folder = new CountedFolder("HR");
  ASSERT_TRUE(map.add(folder));
  ASSERT_TRUE(map.add(folder));
  EXPECT_EQ(gLive, 1);
  CMAMetaObj* found = nullptr;
  ASSERT_TRUE(map.lookup("HR", &found));
  EXPECT_EQ(found, folder);
}

TEST_F(MetaObjMapTest, LookupMissesLeaveTheOutPointerAlone) {
  CMAMetaObjMap map;
  CMAMetaObj* const sentinel = reinterpret_cast<CMAMetaObj*>(0x1234);
  CMAMetaObj* out = sentinel;
  EXPECT_FALSE(map.lookup("Finance", &out));  // empty map
  EXPECT_EQ(out, sentinel);

  ASSERT_TRUE(map.add(new CountedFolder("Finance")));
  EXPECT_FALSE(map.lookup("finance", &out));  // differs only in letter case
  EXPECT_FALSE(map.lookup("FINANCE", &out));
  EXPECT_FALSE(map.lookup("Finance ", &out));
  EXPECT_EQ(out, sentinel);
  EXPECT_TRUE(map.lookup("Finance", &out));
  EXPECT_NE(out, sentinel);
}

TEST_F(MetaObjMapTest, ValuesOfAnEmptyMap) {
  CMAMetaObjMap map;
  CMAMetaObj** values = nullptr;
  int count = -1;
  ASSERT_TRUE(map.getValues(&values, &count));
  EXPECT_EQ(count, 0);
  EXPECT_NE(values, nullptr);
  delete[] values;
}

TEST_F(MetaObjMapTest, ValuesRefuseNullOutParameters) {
  CMAMetaObjMap map;
  ASSERT_TRUE(map.add(new CountedUser("a")));
  int count = 7;
  EXPECT_FALSE(map.getValues(nullptr, &count));
  EXPECT_EQ(count, 0);
  CMAMetaObj** values = reinterpret_cast<CMAMetaObj**>(0x1234);
  EXPECT_FALSE(map.getValues(&values, nullptr));
  EXPECT_EQ(values, nullptr);
}

TEST_F(MetaObjMapTest, RemoveAllDeletesEveryObjectAndTheMapStaysUsable) {
  CMAMetaObjMap map;
  for (const char* n : {"x", "y", "z"}) ASSERT_TRUE(map.add(new CountedFolder(n)));
  map.removeAll();
  EXPECT_EQ(gLive, 0);
  EXPECT_EQ(map.getCount(), 0);
  EXPECT_TRUE(names(map).empty());
  ASSERT_TRUE(map.add(new CountedFolder("again")));
  EXPECT_EQ(names(map), (std::vector<std::string>{"again"}));
}

TEST_F(MetaObjMapTest, DestructionDeletesEveryObject) {
  {
    CMAMetaObjMap map;
    ASSERT_TRUE(map.add(new CountedUser("u1")));
    ASSERT_TRUE(map.add(new CountedFolder("f1")));
    EXPECT_EQ(gLive, 2);
  }
  EXPECT_EQ(gLive, 0);
}

TEST_F(MetaObjMapTest, KeyIsACopyOfTheNameWhenAdded) {
  CMAMetaObjMap map;
  auto* user = new CountedUser("alice");
  ASSERT_TRUE(map.add(user));
  // A later change to the object's name cannot move or corrupt the key.
  user->name = "bob";
  CMAMetaObj* found = nullptr;
  EXPECT_TRUE(map.lookup("alice", &found));
  EXPECT_FALSE(map.lookup("bob", &found));
}

}  // namespace
