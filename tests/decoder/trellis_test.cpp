// The forward pass on every vector path against the plain loop, bit for bit:
// best metric and every stored entry, soft values up to the limit included.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "decoder/trellis.h"

namespace orv::decoder {
namespace {

TEST(TrellisPaths, EveryVectorPathGivesThePlainLoopsBits) {
    struct Case {
        const char* polynomial;
        std::int64_t bytes;
    };
    const std::vector<VectorPath> paths = bestTrellisPath() == VectorPath::Avx2
                                              ? std::vector<VectorPath>{VectorPath::Sse2, VectorPath::Avx2}
                                              : std::vector<VectorPath>{bestTrellisPath()};
    std::mt19937_64 rng(5);
    for (const Case c :
         {Case{"61,53", 2}, Case{"1,77777", 1}, Case{"171,133", 3},
          Case{"42631,47245,56507,73363,77267,64537", 2},
          Case{"42631,47245,56507,73363,77267,64537,51271,61351", 1}, Case{"0x5b,0x65,0x7f", 4}}) {
        const TrellisCode code(*parseMessageCode(c.polynomial), c.bytes);
        for (const int spread : {20, 400}) {  // 400: many values held at the limit
            std::vector<std::int16_t> soft(std::size_t(code.steps * code.rate));
            for (auto& v : soft) v = quantized(double(std::int64_t(rng() % (2 * spread + 1)) - spread), 1);
            StoredTrellis plain;
            storeTrellis(code, soft, VectorPath::Plain, plain);
            for (const VectorPath path : paths) {
                StoredTrellis vector;
                storeTrellis(code, soft, path, vector);
                EXPECT_EQ(vector.bestMetric, plain.bestMetric) << c.polynomial << " " << vectorPathName(path);
                EXPECT_EQ(bestMetric(code, soft, path), plain.bestMetric) << c.polynomial;
                EXPECT_EQ(std::memcmp(vector.entries.get(), plain.entries.get(), 2 * code.entryCount()), 0)
                    << c.polynomial << " " << vectorPathName(path) << " spread " << spread;
            }
        }
    }
}

}  // namespace
}  // namespace orv::decoder
