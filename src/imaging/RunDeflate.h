#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A zlib stream (deflate, one block with its own Huffman codes) of data handed over as runs of
// equal bytes. Layer images are long runs of 0 and 255 with few grey pixels between them, so
// the stream is built from the runs alone: a run costs a few codes whatever its length, the
// check sum of a run is computed in closed form, and the black part of a layer costs next to
// nothing. Each run is coded as zlib's run-length strategy would code it (a literal, then
// matches at distance 1), so the stream is as small as that strategy's.
class RunDeflate
{
public:
    // Appends `length` bytes of `value`.
    void add(uint8_t value, uint64_t length);
    // Appends the runs of `n` bytes at `bytes`.
    void addBytes(const uint8_t *bytes, std::size_t n);

    uint64_t size() const { return m_total; }

    // The zlib stream of everything added (header, one final block, Adler-32).
    std::vector<uint8_t> finish();

private:
    struct Run
    {
        uint8_t value;
        uint64_t length;
    };
    std::vector<Run> m_runs;
    uint64_t m_total = 0;
};
