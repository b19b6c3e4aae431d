// The bounds on group-morph work, on managers built by hand: which groups a budget empties, and
// which groups count as cut off at the depth limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/morph/GroupMorphLimit.h"
#include "model/morph/MMDMorphManager.h"

using namespace Vesma;

namespace {

// A position morph with `count` offsets (a pass touches `count`, or 1 when there are none).
void AddPosition(MMDMorphManager& manager, size_t count) {
    MMDMorph* morph = manager.AddMorph(u"v", MorphType::Position);
    manager.SetPositionOffsets(morph->GetListIndex(), std::vector<PositionMorphOffset>(count, {0, {1, 0, 0}}));
}

// A group of the morphs at `members` (indices into the morph list); returns its group list.
std::vector<GroupMorphOffset>& AddGroup(MMDMorphManager& manager, std::vector<uint32_t> members) {
    MMDMorph* morph = manager.AddMorph(u"g", MorphType::Group);
    auto& list = manager.GetGroupMorphs()[morph->GetListIndex()];
    for (uint32_t m : members) list.push_back({m, 1.0f});
    return list;
}

// Groups g0 -> g1 -> ... -> g(n-1) -> the position morph at index 0; g(n-1) empty when `emptyEnd`.
void AddChain(MMDMorphManager& manager, size_t n, bool emptyEnd = false) {
    const uint32_t first = static_cast<uint32_t>(manager.GetMorphCount());
    for (size_t i = 0; i < n; ++i) {
        const bool last = i + 1 == n;
        if (last && emptyEnd) {
            AddGroup(manager, {});
        } else {
            AddGroup(manager, {last ? 0u : first + static_cast<uint32_t>(i) + 1});
        }
    }
}

//   morph 0: 10 offsets                cost 10
//   morph 1: no offsets                cost 1
//   morph 2: group {0}                 cost 1 + 10
//   morph 3: group {0, 1}              cost 1 + 10 + 1
//   one pass over all four:            34
class GroupMorphLimitTest : public ::testing::Test {
protected:
    void SetUp() override {
        AddPosition(manager, 10);
        AddPosition(manager, 0);
        AddGroup(manager, {0});
        AddGroup(manager, {0, 1});
    }

    MMDMorphManager manager;
};

}  // namespace

TEST_F(GroupMorphLimitTest, BudgetThatFitsEmptiesNothing) {
    EXPECT_EQ(0u, LimitGroupWork(manager, 34));
    EXPECT_EQ(1u, manager.GetGroupMorphs()[0].size());
    EXPECT_EQ(2u, manager.GetGroupMorphs()[1].size());
}

// One offset over: the dearer group goes (34 - 11 = 23 fits), the cheaper one stays.
TEST_F(GroupMorphLimitTest, MostExpensiveGroupGoesFirstAndOnlyAsFarAsNeeded) {
    EXPECT_EQ(1u, LimitGroupWork(manager, 33));
    EXPECT_EQ(1u, manager.GetGroupMorphs()[0].size());
    EXPECT_TRUE(manager.GetGroupMorphs()[1].empty());
}

// Below what the plain morphs cost alone (11), every group goes, then the limit gives up rather
// than loop.
TEST_F(GroupMorphLimitTest, BudgetBelowThePlainMorphsEmptiesEveryGroupAndStops) {
    EXPECT_EQ(2u, LimitGroupWork(manager, 5));
    EXPECT_TRUE(manager.GetGroupMorphs()[0].empty());
    EXPECT_TRUE(manager.GetGroupMorphs()[1].empty());
    EXPECT_EQ(0u, LimitGroupWork(manager, 5));
}

// A group nested inside groups costs what it does at the depth it is reached: a group containing
// itself and the 10-offset morph costs 1 + 11 per level down to the limit (89), a chain of two
// groups 1 + 1 + 10 at the top.
TEST_F(GroupMorphLimitTest, NestedGroupsCostWhatTheyApply) {
    MMDMorphManager nested;
    AddPosition(nested, 10);
    AddGroup(nested, {1, 0});  // itself
    ASSERT_EQ(MMDMorphManager::kMaxGroupDepth, 8);
    EXPECT_EQ(0u, LimitGroupWork(nested, 10 + 89));
    EXPECT_EQ(1u, LimitGroupWork(nested, 10 + 88));

    MMDMorphManager chain;
    AddPosition(chain, 10);
    AddChain(chain, 2);
    // 10 + (1 + 1 + 10) + (1 + 10)
    EXPECT_EQ(0u, LimitGroupWork(chain, 33));
    EXPECT_EQ(1u, LimitGroupWork(chain, 32));
    EXPECT_TRUE(chain.GetGroupMorphs()[0].empty());
    EXPECT_EQ(1u, chain.GetGroupMorphs()[1].size());
}

// A chain of kMaxGroupDepth groups applies its morph in full; one more level and the top group
// reaches a group at the limit, which loses its members. A group at the limit that has no members
// loses nothing. A group containing itself always reaches the limit.
TEST(GroupMorphCutTest, GroupsReachingTheDepthLimitAreCounted) {
    const size_t depth = MMDMorphManager::kMaxGroupDepth;
    struct Case {
        const char* what;
        size_t chainLength;
        bool emptyEnd;
        size_t cut;
    };
    const Case cases[] = {
        {"chain at the limit", depth, false, 0},
        {"chain one past the limit", depth + 1, false, 1},
        {"chain two past the limit", depth + 2, false, 2},
        {"chain one past, ending empty", depth + 1, true, 0},
    };
    for (const Case& c : cases) {
        MMDMorphManager manager;
        AddPosition(manager, 1);
        AddChain(manager, c.chainLength, c.emptyEnd);
        EXPECT_EQ(c.cut, CountCutGroups(manager)) << c.what;
    }

    MMDMorphManager self;
    AddPosition(self, 1);
    AddGroup(self, {1});
    AddGroup(self, {0});  // a plain group beside it is not cut
    EXPECT_EQ(1u, CountCutGroups(self));
}
