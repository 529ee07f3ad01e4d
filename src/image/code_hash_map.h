// A u32 -> u32 hash map with chained buckets whose nodes come from one pool,
// so that filling and emptying it costs no allocation per entry.
#pragma once

#include <cstdint>
#include <vector>

namespace zell {

class CodeHashMap {
public:
    explicit CodeHashMap(uint32_t bucketCount = 1031) : bucketCount_(bucketCount < 7 ? 7 : bucketCount) {}

    // Pointer to the value of key, or null.
    uint32_t* find(uint32_t key)
    {
        if (buckets_.empty())
            return nullptr;
        for (uint32_t n = buckets_[key % bucketCount_]; n != kNone; n = nodes_[n].next) {
            if (nodes_[n].key == key)
                return &nodes_[n].value;
        }
        return nullptr;
    }
    const uint32_t* find(uint32_t key) const { return const_cast<CodeHashMap*>(this)->find(key); }

    // Adds the key (or overwrites its value); returns its value slot.
    uint32_t& insert(uint32_t key, uint32_t value);

    // Frees every node and the buckets; the bucket count stays.
    void clear();

    uint32_t size() const { return uint32_t(nodes_.size()); }
    uint32_t bucketCount() const { return bucketCount_; }

    template <typename F>
    void forEach(F&& visit) const
    {
        for (const Node& node : nodes_)
            visit(node.key, node.value);
    }

private:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    struct Node {
        uint32_t next;
        uint32_t key;
        uint32_t value;
    };

    void rebuild(uint32_t newBucketCount);

    uint32_t bucketCount_;
    std::vector<uint32_t> buckets_;
    std::vector<Node> nodes_;
};

} // namespace zell
