#include "imaging/RunDeflate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <queue>

namespace {

constexpr uint32_t adlerBase = 65521;
constexpr int endOfBlock = 256;
constexpr int literalCodes = 286;

// Length codes 257…285: the smallest length of each and its number of extra bits.
constexpr std::array<int, 29> lengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> lengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// The order in which the code-length code's lengths are stored.
constexpr std::array<int, 19> codeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

int lengthIndex(int length)   // 3…258
{
    if (length == 258)
        return 28;
    int i = 27;
    while (lengthBase[i] > length)
        --i;
    return i;
}

// Calls sink.literal(value, count) and sink.match(length, count) for a run, as zlib's
// run-length strategy codes it: a literal unless the byte before has the same value, then
// matches at distance 1 of at most 258 bytes, and literals for what is too short to match.
template <class Sink>
void runTokens(Sink &sink, int &last, uint8_t value, uint64_t n)
{
    if (n == 0)
        return;
    if (last != value) {
        sink.literal(value, 1);
        --n;
        last = value;
    }
    if (n < 3) {
        sink.literal(value, n);
        return;
    }
    uint64_t full = n / 258;
    uint64_t rest = n % 258;
    if (rest > 0 && rest < 3 && full > 0) {
        --full;   // 259 or 260 left: two matches instead of a match and one or two literals
        rest += 258;
    }
    sink.match(258, full);
    if (rest >= 259) {
        sink.match(int(rest - 3), 1);
        sink.match(3, 1);
    } else if (rest >= 3) {
        sink.match(int(rest), 1);
    } else {
        sink.literal(value, rest);
    }
}

struct Counter
{
    std::vector<uint64_t> freq = std::vector<uint64_t>(literalCodes, 0);
    void literal(uint8_t value, uint64_t count) { freq[value] += count; }
    void match(int length, uint64_t count)
    {
        if (count)
            freq[257 + lengthIndex(length)] += count;
    }
};

// Code lengths of a Huffman code for the frequencies, none longer than maxBits. Symbols of
// frequency 0 get length 0; a single used symbol gets length 1.
std::vector<uint8_t> huffmanLengths(const std::vector<uint64_t> &frequencies, int maxBits)
{
    const std::size_t n = frequencies.size();
    std::vector<uint8_t> lengths(n, 0);
    std::vector<uint64_t> f = frequencies;
    for (;;) {
        std::vector<int> used;
        for (std::size_t s = 0; s < n; ++s) {
            if (f[s] > 0)
                used.push_back(int(s));
        }
        if (used.empty())
            return lengths;
        if (used.size() == 1) {
            lengths[std::size_t(used[0])] = 1;
            return lengths;
        }
        // Nodes 0…m−1 are the used symbols, then the merged ones; parent links give depths.
        const std::size_t m = used.size();
        std::vector<int> parent(2 * m - 1, -1);
        using Item = std::pair<uint64_t, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
        for (std::size_t k = 0; k < m; ++k)
            queue.push({f[std::size_t(used[k])], int(k)});
        int next = int(m);
        while (queue.size() > 1) {
            const Item a = queue.top();
            queue.pop();
            const Item b = queue.top();
            queue.pop();
            parent[std::size_t(a.second)] = parent[std::size_t(b.second)] = next;
            queue.push({a.first + b.first, next++});
        }
        int deepest = 0;
        for (std::size_t k = 0; k < m; ++k) {
            int depth = 0;
            for (int p = parent[k]; p >= 0; p = parent[std::size_t(p)])
                ++depth;
            lengths[std::size_t(used[k])] = uint8_t(depth);
            deepest = std::max(deepest, depth);
        }
        if (deepest <= maxBits)
            return lengths;
        // Flatter frequencies give a shallower tree; all equal gives the shallowest.
        for (uint64_t &x : f) {
            if (x > 0)
                x = std::max<uint64_t>(1, x >> 1);
        }
        std::fill(lengths.begin(), lengths.end(), 0);
    }
}

// Canonical codes for the lengths, bit-reversed for writing least significant bit first.
std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t> &lengths)
{
    std::array<uint32_t, 16> count{}, next{};
    for (uint8_t l : lengths)
        ++count[l];
    count[0] = 0;
    uint32_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + count[std::size_t(bits) - 1]) << 1;
        next[std::size_t(bits)] = code;
    }
    std::vector<uint32_t> codes(lengths.size(), 0);
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        const int l = lengths[s];
        if (l == 0)
            continue;
        const uint32_t c = next[std::size_t(l)]++;
        uint32_t reversed = 0;
        for (int b = 0; b < l; ++b)
            reversed |= ((c >> b) & 1u) << (l - 1 - b);
        codes[s] = reversed;
    }
    return codes;
}

class BitWriter
{
public:
    explicit BitWriter(std::vector<uint8_t> &out) : m_out(out) {}
    // count ≤ 32
    void put(uint64_t bits, int count)
    {
        m_acc |= bits << m_used;
        m_used += count;
        if (m_used >= 32) {
            const uint32_t word = uint32_t(m_acc);
            const uint8_t bytes[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
            m_out.insert(m_out.end(), bytes, bytes + 4);
            m_acc >>= 32;
            m_used -= 32;
        }
    }
    // Pads the last byte with zero bits.
    void align()
    {
        while (m_used > 0) {
            m_out.push_back(uint8_t(m_acc));
            m_acc >>= 8;
            m_used = std::max(0, m_used - 8);
        }
        m_acc = 0;
    }

private:
    std::vector<uint8_t> &m_out;
    uint64_t m_acc = 0;
    int m_used = 0;
};

struct Writer
{
    BitWriter &bits;
    const std::vector<uint8_t> &lengths;
    const std::vector<uint32_t> &codes;
    // The distance code (distance 1: code 0 of one bit, written as 0).
    static constexpr int distanceBits = 1;

    void literal(uint8_t value, uint64_t count)
    {
        for (uint64_t k = 0; k < count; ++k)
            bits.put(codes[value], lengths[value]);
    }
    void match(int length, uint64_t count)
    {
        if (count == 0)
            return;
        const int i = lengthIndex(length);
        const int symbol = 257 + i;
        const uint64_t word = uint64_t(codes[std::size_t(symbol)])
                              | (uint64_t(length - lengthBase[std::size_t(i)]) << lengths[std::size_t(symbol)]);
        const int wordBits = lengths[std::size_t(symbol)] + lengthExtra[std::size_t(i)];
        for (uint64_t k = 0; k < count; ++k) {
            bits.put(word, wordBits);
            bits.put(0, distanceBits);
        }
    }
};

// T(L) = L·(L + 1) / 2 modulo the Adler base.
uint64_t triangleMod(uint64_t l)
{
    const uint64_t a = (l % 2 == 0) ? (l / 2) % adlerBase : l % adlerBase;
    const uint64_t b = (l % 2 == 0) ? (l + 1) % adlerBase : ((l + 1) / 2) % adlerBase;
    return a * b % adlerBase;
}

// Where the run of `value` that starts at `from` ends, eight bytes at a time.
std::size_t runEnd(const uint8_t *p, std::size_t from, std::size_t n, uint8_t value)
{
    const uint64_t pattern = 0x0101010101010101ull * value;
    std::size_t i = from;
    while (i + 8 <= n) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        const uint64_t diff = word ^ pattern;
        if (diff)
            return i + std::size_t(__builtin_ctzll(diff) / 8);   // little-endian: the first byte is lowest
        i += 8;
    }
    while (i < n && p[i] == value)
        ++i;
    return i;
}

} // namespace

void RunDeflate::add(uint8_t value, uint64_t length)
{
    if (length == 0)
        return;
    m_total += length;
    if (!m_runs.empty() && m_runs.back().value == value)
        m_runs.back().length += length;
    else
        m_runs.push_back({value, length});
}

void RunDeflate::addBytes(const uint8_t *bytes, std::size_t n)
{
    std::size_t i = 0;
    while (i < n) {
        const uint8_t v = bytes[i];
        const std::size_t end = runEnd(bytes, i + 1, n, v);
        add(v, end - i);
        i = end;
    }
}

std::vector<uint8_t> RunDeflate::finish()
{
    // Check sum and symbol counts from the runs.
    uint64_t a = 1, b = 0;
    Counter counter;
    int last = -1;
    for (const Run &r : m_runs) {
        const uint64_t l = r.length % adlerBase;
        b = (b + l * a + uint64_t(r.value) * triangleMod(r.length)) % adlerBase;
        a = (a + uint64_t(r.value) * l) % adlerBase;
        runTokens(counter, last, r.value, r.length);
    }
    counter.freq[endOfBlock] = 1;
    const std::vector<uint8_t> litLengths = huffmanLengths(counter.freq, 15);
    const std::vector<uint32_t> litCodes = canonicalCodes(litLengths);
    int hlit = literalCodes;
    while (hlit > 257 && litLengths[std::size_t(hlit) - 1] == 0)
        --hlit;

    // The code lengths of both codes (the distance code: one code of one bit), run-length coded.
    std::vector<uint8_t> sequence(litLengths.begin(), litLengths.begin() + hlit);
    sequence.push_back(1);
    struct LengthSymbol
    {
        int symbol;
        int extra;
        int extraBits;
    };
    std::vector<LengthSymbol> symbols;
    for (std::size_t i = 0; i < sequence.size();) {
        const uint8_t l = sequence[i];
        std::size_t run = 1;
        while (i + run < sequence.size() && sequence[i + run] == l)
            ++run;
        i += run;
        if (l == 0) {
            while (run >= 11) {
                const std::size_t r = std::min<std::size_t>(run, 138);
                symbols.push_back({18, int(r - 11), 7});
                run -= r;
            }
            if (run >= 3) {
                symbols.push_back({17, int(run - 3), 3});
                run = 0;
            }
        } else {
            symbols.push_back({l, 0, 0});
            --run;
            while (run >= 3) {
                const std::size_t r = std::min<std::size_t>(run, 6);
                symbols.push_back({16, int(r - 3), 2});
                run -= r;
            }
        }
        for (; run > 0; --run)
            symbols.push_back({l, 0, 0});
    }
    std::vector<uint64_t> clFreq(19, 0);
    for (const LengthSymbol &s : symbols)
        ++clFreq[std::size_t(s.symbol)];
    // A code of one symbol is incomplete, which decoders refuse for this code: give it a second.
    if (std::count_if(clFreq.begin(), clFreq.end(), [](uint64_t f) { return f > 0; }) < 2)
        ++clFreq[clFreq[0] > 0 ? 1 : 0];
    const std::vector<uint8_t> clLengths = huffmanLengths(clFreq, 7);
    const std::vector<uint32_t> clCodes = canonicalCodes(clLengths);
    int hclen = 19;
    while (hclen > 4 && clLengths[std::size_t(codeLengthOrder[std::size_t(hclen) - 1])] == 0)
        --hclen;

    std::vector<uint8_t> out = {0x78, 0x01};   // deflate, 32 KiB window, fastest level; a multiple of 31
    out.reserve(4096);
    BitWriter bits(out);
    bits.put(1, 1);   // final block
    bits.put(2, 2);   // own Huffman codes
    bits.put(uint64_t(hlit - 257), 5);
    bits.put(0, 5);   // one distance code
    bits.put(uint64_t(hclen - 4), 4);
    for (int i = 0; i < hclen; ++i)
        bits.put(clLengths[std::size_t(codeLengthOrder[std::size_t(i)])], 3);
    for (const LengthSymbol &s : symbols) {
        bits.put(clCodes[std::size_t(s.symbol)], clLengths[std::size_t(s.symbol)]);
        if (s.extraBits)
            bits.put(uint64_t(s.extra), s.extraBits);
    }
    Writer writer{bits, litLengths, litCodes};
    last = -1;
    for (const Run &r : m_runs)
        runTokens(writer, last, r.value, r.length);
    bits.put(litCodes[endOfBlock], litLengths[endOfBlock]);
    bits.align();
    const uint32_t adler = uint32_t((b << 16) | a);
    const uint8_t tail[4] = {uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8), uint8_t(adler)};
    out.insert(out.end(), tail, tail + 4);
    return out;
}
