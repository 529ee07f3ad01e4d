#include "image/code_hash_map.h"

#include <gtest/gtest.h>

#include <map>

namespace zell {
namespace {

// Thousands of keys in a map made for seven keep every entry through its
// rebuilds; an existing key takes the new value; clear forgets all.
TEST(CodeHashMap, KeepsEveryEntryAcrossRebuildsAndForgetsThemOnClear)
{
    CodeHashMap map(7);
    std::map<uint32_t, uint32_t> reference;
    for (uint32_t k = 0; k < 5000; ++k)
        map.insert(k * 2654435761u, k), reference[k * 2654435761u] = k;
    map.insert(2654435761u, 7), reference[2654435761u] = 7;
    EXPECT_EQ(map.size(), reference.size());
    for (const auto& [key, value] : reference)
        ASSERT_EQ(map.find(key) ? *map.find(key) : ~0u, value) << key;
    EXPECT_EQ(map.find(3), nullptr);
    map.clear();
    EXPECT_EQ(map.size(), 0u);
    EXPECT_EQ(map.find(2654435761u), nullptr);
    map.insert(5, 9);
    EXPECT_EQ(map.find(5) ? *map.find(5) : 0u, 9u);
}

} // namespace
} // namespace zell
