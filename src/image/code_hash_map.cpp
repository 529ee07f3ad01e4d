#include "image/code_hash_map.h"

namespace zell {

uint32_t& CodeHashMap::insert(uint32_t key, uint32_t value)
{
    if (uint32_t* existing = find(key)) {
        *existing = value;
        return *existing;
    }
    if (buckets_.empty())
        buckets_.assign(bucketCount_, kNone);
    else if (nodes_.size() > (bucketCount_ / 8) * 7)
        rebuild(2 * bucketCount_ - 1);
    uint32_t& head = buckets_[key % bucketCount_];
    nodes_.push_back({head, key, value});
    head = uint32_t(nodes_.size() - 1);
    return nodes_.back().value;
}

void CodeHashMap::clear()
{
    nodes_.clear();
    nodes_.shrink_to_fit();
    buckets_.clear();
    buckets_.shrink_to_fit();
}

void CodeHashMap::rebuild(uint32_t newBucketCount)
{
    bucketCount_ = newBucketCount;
    buckets_.assign(bucketCount_, kNone);
    for (uint32_t n = 0; n < nodes_.size(); ++n) {
        uint32_t& head = buckets_[nodes_[n].key % bucketCount_];
        nodes_[n].next = head;
        head = n;
    }
}

} // namespace zell
