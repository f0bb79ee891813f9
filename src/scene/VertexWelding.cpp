#include "scene/VertexWelding.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t floatBits(float f)
{
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

// Bit pattern with -0 folded onto +0, so bit equality is float equality for finite values.
uint32_t canonicalBits(float f)
{
    const uint32_t b = floatBits(f);
    return b == 0x80000000u ? 0u : b;
}

// Unsigned integer whose order is the order of the (canonical, finite) float.
uint32_t orderedKey(uint32_t canonical)
{
    return (canonical & 0x80000000u) ? ~canonical : (canonical | 0x80000000u);
}

uint64_t hashPoint(uint32_t x, uint32_t y, uint32_t z)
{
    uint64_t h = uint64_t(x) * 0x9E3779B97F4A7C15ull;
    h ^= uint64_t(y) * 0xC2B2AE3D27D4EB4Full;
    h ^= uint64_t(z) * 0x165667B19E3779F9ull;
    h ^= h >> 31;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    return h;
}

std::size_t nextPowerOfTwo(std::size_t v)
{
    std::size_t p = 1;
    while (p < v)
        p <<= 1;
    return p;
}

struct SortEntry
{
    uint32_t x, y, z;   // ordered keys
    uint32_t id;
};

// Least-significant-digit radix sort on the 96-bit key (z, then y, then x, 16 bits per
// pass). Keys are distinct, so no tie order is needed; passes whose digit is the same
// for every entry are skipped.
void radixSort(std::vector<SortEntry> &entries)
{
    const std::size_t n = entries.size();
    if (n < 2)
        return;
    std::vector<SortEntry> buffer(n);
    std::vector<uint32_t> count(65536);
    SortEntry *src = entries.data();
    SortEntry *dst = buffer.data();
    for (int pass = 0; pass < 6; ++pass) {
        const int field = 2 - pass / 2;          // z, y, x
        const int shift = (pass % 2) * 16;
        auto digit = [field, shift](const SortEntry &e) {
            const uint32_t k = field == 0 ? e.x : field == 1 ? e.y : e.z;
            return (k >> shift) & 0xFFFFu;
        };
        std::fill(count.begin(), count.end(), 0u);
        for (std::size_t i = 0; i < n; ++i)
            ++count[digit(src[i])];
        if (count[digit(src[0])] == n)
            continue;
        uint32_t sum = 0;
        for (uint32_t &c : count) {
            const uint32_t t = c;
            c = sum;
            sum += t;
        }
        for (std::size_t i = 0; i < n; ++i)
            dst[count[digit(src[i])]++] = src[i];
        std::swap(src, dst);
    }
    if (src != entries.data())
        std::memcpy(entries.data(), src, n * sizeof(SortEntry));
}

} // namespace

VertexWelder::VertexWelder(std::size_t expectedRecords)
{
    m_indices.reserve(expectedRecords);
    // A closed mesh has about one distinct point per six records; the table keeps at
    // most half of its slots filled.
    const std::size_t capacity = nextPowerOfTwo(std::max<std::size_t>(1024, expectedRecords / 3));
    m_points.reserve(std::min(expectedRecords, capacity / 2) * 3);
    m_slots.assign(capacity, Slot{0, 0, 0, 0});
    m_mask = capacity - 1;
}

void VertexWelder::grow()
{
    const std::size_t capacity = m_slots.size() * 2;
    m_slots.assign(capacity, Slot{0, 0, 0, 0});
    m_mask = capacity - 1;
    const std::size_t n = distinctCount();
    for (std::size_t id = 0; id < n; ++id) {
        const float *p = &m_points[3 * id];
        const uint32_t kx = canonicalBits(p[0]), ky = canonicalBits(p[1]), kz = canonicalBits(p[2]);
        uint64_t i = hashPoint(kx, ky, kz) & m_mask;
        while (m_slots[i].idPlusOne != 0)
            i = (i + 1) & m_mask;
        m_slots[i] = Slot{kx, ky, kz, uint32_t(id) + 1};
    }
}

inline void VertexWelder::addKeyed(float x, float y, float z, uint32_t kx, uint32_t ky, uint32_t kz, uint64_t hash)
{
    for (uint64_t i = hash & m_mask;; i = (i + 1) & m_mask) {
        Slot &s = m_slots[i];
        if (s.idPlusOne == 0) {
            const uint32_t id = uint32_t(distinctCount());
            s = Slot{kx, ky, kz, id + 1};
            m_points.push_back(x);
            m_points.push_back(y);
            m_points.push_back(z);
            m_indices.push_back(id);
            if (distinctCount() * 2 > m_slots.size())
                grow();
            return;
        }
        if (s.x == kx && s.y == ky && s.z == kz) {
            m_indices.push_back(s.idPlusOne - 1);
            return;
        }
    }
}

void VertexWelder::add(float x, float y, float z)
{
    const uint32_t kx = canonicalBits(x), ky = canonicalBits(y), kz = canonicalBits(z);
    addKeyed(x, y, z, kx, ky, kz, hashPoint(kx, ky, kz));
}

void VertexWelder::add(const float *xyz, std::size_t count)
{
    // Hashes for a block of records first, then the lookups, each one prefetching the slot
    // of a record a few places ahead: the table is far larger than the caches.
    constexpr std::size_t kBlock = 256;
    constexpr std::size_t kAhead = 12;
    uint64_t hashes[kBlock];
    for (std::size_t start = 0; start < count; start += kBlock) {
        const std::size_t n = std::min(kBlock, count - start);
        const float *p = xyz + 3 * start;
        for (std::size_t k = 0; k < n; ++k)
            hashes[k] = hashPoint(canonicalBits(p[3 * k]), canonicalBits(p[3 * k + 1]), canonicalBits(p[3 * k + 2]));
        for (std::size_t k = 0; k < std::min(n, kAhead); ++k)
            __builtin_prefetch(&m_slots[hashes[k] & m_mask]);
        for (std::size_t k = 0; k < n; ++k) {
            if (k + kAhead < n)
                __builtin_prefetch(&m_slots[hashes[k + kAhead] & m_mask]);
            const float *q = p + 3 * k;
            addKeyed(q[0], q[1], q[2], canonicalBits(q[0]), canonicalBits(q[1]), canonicalBits(q[2]), hashes[k]);
        }
    }
}

Mesh VertexWelder::finish(ProgressMeter *progress)
{
    const std::size_t n = distinctCount();
    m_slots = std::vector<Slot>();   // free the table before the sort needs its memory

    std::vector<SortEntry> order(n);
    for (std::size_t id = 0; id < n; ++id) {
        const float *p = &m_points[3 * id];
        order[id] = {orderedKey(canonicalBits(p[0])), orderedKey(canonicalBits(p[1])),
                     orderedKey(canonicalBits(p[2])), uint32_t(id)};
    }
    radixSort(order);

    std::vector<float> vertices(3 * n);
    std::vector<uint32_t> number(n);
    for (std::size_t k = 0; k < n; ++k) {
        const uint32_t id = order[k].id;
        number[id] = uint32_t(k);
        std::memcpy(&vertices[3 * k], &m_points[3 * std::size_t(id)], 3 * sizeof(float));
    }
    order = std::vector<SortEntry>();
    m_points = std::vector<float>();

    std::vector<uint32_t> indices = std::move(m_indices);
    m_indices = std::vector<uint32_t>();
    const std::size_t records = indices.size();
    ProgressMeter silent;
    ProgressSpan span(progress ? *progress : silent, 90, 100, records);
    constexpr std::size_t kBlock = 1 << 16;
    for (std::size_t start = 0; start < records; start += kBlock) {
        const std::size_t stop = std::min(records, start + kBlock);
        for (std::size_t k = start; k < stop; ++k)
            indices[k] = number[indices[k]];
        span.update(stop);
    }
    std::vector<uint32_t> reversed = reverseWinding(indices);
    span.finish();
    return Mesh(std::move(vertices), std::move(indices), std::move(reversed));
}

Mesh weldVertices(const std::vector<float> &records)
{
    VertexWelder welder(records.size() / 3);
    for (std::size_t k = 0; k + 2 < records.size(); k += 3)
        welder.add(records[k], records[k + 1], records[k + 2]);
    return welder.finish();
}
