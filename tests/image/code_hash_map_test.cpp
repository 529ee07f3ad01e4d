#include "image/code_hash_map.h"

#include <gtest/gtest.h>

#include <map>

namespace zell {
namespace {

TEST(CodeHashMap, KeepsEveryEntryAcrossRebuildsAndForgetsThemOnClear)
{
    CodeHashMap map(7);
    std::map<uint32_t, uint32_t> reference;
    for (uint32_t k = 0; k < 5000; ++k) {
        map.insert(k * 2654435761u, k);
        reference[k * 2654435761u] = k;
    }
    map.insert(2654435761u, 7); // an existing key takes the new value
    reference[2654435761u] = 7;
    EXPECT_EQ(map.size(), reference.size());
    for (const auto& [key, value] : reference) {
        const uint32_t* found = map.find(key);
        ASSERT_NE(found, nullptr) << key;
        EXPECT_EQ(*found, value);
    }
    EXPECT_EQ(map.find(3), nullptr);

    const uint32_t grown = map.bucketCount();
    map.clear();
    EXPECT_EQ(map.size(), 0u);
    EXPECT_EQ(map.bucketCount(), grown);
    EXPECT_EQ(map.find(2654435761u), nullptr);
    map.insert(5, 9);
    ASSERT_NE(map.find(5), nullptr);
    EXPECT_EQ(*map.find(5), 9u);

    // 1031 / 8 * 7 = 896 entries fit; the 898th insertion rebuilds.
    CodeHashMap exact(1031);
    for (uint32_t k = 0; k < 897; ++k)
        exact.insert(k, k);
    EXPECT_EQ(exact.bucketCount(), 1031u);
    exact.insert(5000, 0);
    EXPECT_EQ(exact.bucketCount(), 2061u);
}

} // namespace
} // namespace zell
