// capture_deflate_test.cpp -- the PNG writer's deflate stream, checked against zlib itself
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/deflate_runs.h"

namespace {

std::vector<std::uint8_t> noise(std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::uint8_t& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(seed >> 16);
    }
    return bytes;
}

// Hands out the rows of a buffer, and dirties the 16 spare bytes after each, as
// a filler storing whole vectors may.
RowFiller rows_of(const std::vector<std::uint8_t>& raw, std::size_t row_bytes)
{
    return [&raw, row_bytes](std::size_t index, std::uint8_t* row) {
        std::copy_n(raw.data() + index * row_bytes, row_bytes, row);
        std::fill_n(row + row_bytes, 16, std::uint8_t{0x5A});
    };
}

// Compresses `raw` as rows of `row_bytes`, checks the bound, and inflates it
// again with zlib, which also checks the Adler-32 at the end.
void expect_inflates_back(const std::vector<std::uint8_t>& raw, std::size_t row_bytes,
                          const char* what)
{
    SCOPED_TRACE(testing::Message() << what << ", rows of " << row_bytes);
    ASSERT_EQ(raw.size() % row_bytes, std::size_t{0});
    const std::size_t bound = deflate_rows_bound(row_bytes, raw.size() / row_bytes);
    // Bytes past the bound are set, to show a write beyond it.
    std::vector<std::uint8_t> stream(bound + 64, 0xA5);
    std::size_t size = deflate_rows(row_bytes, raw.size() / row_bytes, rows_of(raw, row_bytes), stream.data());
    ASSERT_GT(size, std::size_t{0});
    ASSERT_LE(size, bound);
    for (std::size_t i = bound; i < stream.size(); ++i) {
        ASSERT_EQ(stream[i], 0xA5) << "written past the bound at " << i;
    }
    std::vector<std::uint8_t> back(raw.size() + 1);
    uLongf back_size = static_cast<uLongf>(back.size());
    ASSERT_EQ(uncompress(back.data(), &back_size, stream.data(), static_cast<uLong>(size)), Z_OK);
    ASSERT_EQ(back_size, raw.size());
    back.resize(back_size);
    EXPECT_TRUE(back == raw);
}

TEST(CaptureDeflate, EveryShapeOfInputInflatesBack)
{
    // Noise is the worst case for the bound: literals only, under a flat code.
    expect_inflates_back(noise(2401 * 40, 1), 2401, "noise");
    // Rows around the sixteen-byte scan and its tail, each ending in a run that
    // reaches its last byte; three such rows, and one alone.
    for (std::size_t size : {1, 2, 3, 4, 5, 15, 16, 18, 19, 20, 31, 35, 36, 100}) {
        expect_inflates_back(noise(size, 7), size, "short noise");
        std::vector<std::uint8_t> ending_in_run = noise(size * 3, 9);
        for (std::size_t row = 0; row < 3; ++row) {
            for (std::size_t i = size / 2; i < size; ++i) {
                ending_in_run[row * size + i] = static_cast<std::uint8_t>(40 + row);
            }
        }
        expect_inflates_back(ending_in_run, size, "runs to each row's end");
        ending_in_run.resize(size);
        expect_inflates_back(ending_in_run, size, "one row ending in a run");
    }
    // Runs of every length from 1 to 600, each of a new value, and one long flat
    // stretch: copies split at 258 with no tail of 1 or 2.
    std::vector<std::uint8_t> runs;
    for (std::size_t length = 1; length <= 600; ++length) {
        runs.insert(runs.end(), length, static_cast<std::uint8_t>(length));
    }
    runs.insert(runs.end(), 100000, 0);
    runs.resize(runs.size() / 2401 * 2401 + 2401, 0);
    expect_inflates_back(runs, 2401, "runs");
}

// Byte counts that follow the Fibonacci numbers make the plain Huffman tree far
// deeper than any limit; the code must be flattened, and a stream that mixes
// such literals with runs must still decode.
TEST(CaptureDeflate, SkewedCountsGetAFlattenedCode)
{
    std::vector<std::uint8_t> bytes;
    std::uint32_t a = 1;
    std::uint32_t b = 1;
    for (std::uint8_t symbol = 0; symbol < 26; ++symbol) {
        for (std::uint32_t i = 0; i < a; ++i) {
            // Spread out, so that they stay literals rather than runs.
            bytes.push_back(static_cast<std::uint8_t>(symbol * 9));
            bytes.push_back(static_cast<std::uint8_t>(i));
        }
        std::uint32_t next = a + b;
        a = b;
        b = next;
    }
    bytes.resize(bytes.size() / 100 * 100);
    expect_inflates_back(bytes, 100, "skewed");
}

}  // namespace
