#include "image/code_hash_map.h"

#include <gtest/gtest.h>

#include <map>

namespace zell {
namespace {

TEST(CodeHashMap, GrowsPastRebuildThresholdKeepingEveryEntry)
{
    CodeHashMap map(7);
    std::map<uint32_t, uint32_t> reference;
    // (7 / 8) * 7 = 0: the second insertion already rebuilds to 13 buckets.
    map.insert(100, 1);
    EXPECT_EQ(map.bucketCount(), 7u);
    map.insert(200, 2);
    EXPECT_EQ(map.bucketCount(), 13u);
    reference = {{100, 1}, {200, 2}};
    for (uint32_t k = 0; k < 5000; ++k) {
        uint32_t key = k * 2654435761u;
        map.insert(key, k);
        reference[key] = k;
    }
    EXPECT_EQ(map.size(), reference.size());
    for (const auto& [key, value] : reference) {
        const uint32_t* found = map.find(key);
        ASSERT_NE(found, nullptr) << key;
        EXPECT_EQ(*found, value);
    }
    EXPECT_EQ(map.find(3), nullptr);
}

TEST(CodeHashMap, ThresholdUsesIntegerDivision)
{
    CodeHashMap map(1031);
    // 1031 / 8 * 7 = 896 entries fit; the 898th insertion rebuilds.
    for (uint32_t k = 0; k < 897; ++k)
        map.insert(k, k);
    EXPECT_EQ(map.bucketCount(), 1031u);
    map.insert(5000, 0);
    EXPECT_EQ(map.bucketCount(), 2061u);
}

TEST(CodeHashMap, EmptyingKeepsBucketCountAndForgetsKeys)
{
    CodeHashMap map(7);
    for (uint32_t k = 0; k < 100; ++k)
        map.insert(k, k + 1);
    uint32_t grown = map.bucketCount();
    map.clear();
    EXPECT_EQ(map.size(), 0u);
    EXPECT_EQ(map.bucketCount(), grown);
    EXPECT_EQ(map.find(5), nullptr);
    map.insert(5, 9);
    ASSERT_NE(map.find(5), nullptr);
    EXPECT_EQ(*map.find(5), 9u);
}

TEST(CodeHashMap, InsertingAnExistingKeyReplacesItsValue)
{
    CodeHashMap map;
    map.insert(42, 1);
    map.insert(42, 2);
    EXPECT_EQ(map.size(), 1u);
    EXPECT_EQ(*map.find(42), 2u);
}

} // namespace
} // namespace zell
