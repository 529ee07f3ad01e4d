#include "operations/frame_order.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace zell {
namespace {

std::vector<int> identity(int count)
{
    std::vector<int> order(size_t(std::max(count, 0)));
    std::iota(order.begin(), order.end(), 0);
    return order;
}

bool validRows(int count, std::span<const int> rows)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] < 0 || rows[i] >= count || (i > 0 && rows[i] <= rows[i - 1]))
            return false;
    }
    return true;
}

} // namespace

std::vector<int> movedOrder(int count, std::span<const int> rows, int delta, int* applied)
{
    if (applied)
        *applied = 0;
    if (rows.empty() || !validRows(count, rows))
        return identity(count);
    // In 64 bits: the delta to the end is INT_MAX.
    const int64_t clamped = delta >= 0 ? std::min<int64_t>(delta, int64_t(count) - rows.back() - 1)
                                       : std::max<int64_t>(delta, -int64_t(rows.front()));
    const int d = int(clamped);
    if (applied)
        *applied = d;
    std::vector<int> order(size_t(count), -1);
    std::vector<char> moved(size_t(count), 0);
    for (int r : rows) {
        order[size_t(r + d)] = r;
        moved[size_t(r)] = 1;
    }
    // The others fill the remaining places in their old order.
    for (int from = 0, to = 0; from < count; ++from) {
        if (moved[size_t(from)])
            continue;
        while (order[size_t(to)] >= 0)
            ++to;
        order[size_t(to)] = from;
    }
    return order;
}

std::vector<int> reversedOrder(int count, std::span<const int> rows)
{
    std::vector<int> order = identity(count);
    if (!validRows(count, rows))
        return order;
    for (size_t i = 0; i < rows.size(); ++i)
        order[size_t(rows[i])] = rows[rows.size() - 1 - i];
    return order;
}

} // namespace zell
