#pragma once
// Shared by the receiver tests: WAV files written byte by byte, a scratch
// folder that is the current directory for one test, and a model of the
// converter's transform.
#include <gtest/gtest.h>

#include <cctype>
#include <complex>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/scratchfolder.h"
#include "support/wavbytes.h"

namespace orv::receiver {

// Parameterised cases print as their name instead of a byte dump.
template <class Case>
requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

using testsupport::floatBytes;
using testsupport::put16;
using testsupport::put32;
using testsupport::wavBytes;
using testsupport::WavLayout;

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string readFile(const std::string& path) { return testsupport::readFile(path); }

inline void writeWav(const std::string& path, const std::vector<std::complex<float>>& samples,
                     const WavLayout& layout = {}) {
    writeFile(path, wavBytes(layout, floatBytes(samples)));
}

// A fresh folder as the current directory for the duration of one test.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.emplace("rx-test");
        entered_.emplace(folder_->path());
    }
    void TearDown() override {
        entered_.reset();
        folder_.reset();
    }

private:
    std::optional<testsupport::ScratchFolder> folder_;
    std::optional<testsupport::EnteredFolder> entered_;
};

}  // namespace orv::receiver
