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
#include <ostream>
#include <string>
#include <vector>

#include "wavbytes.h"

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

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeWav(const std::string& path, const std::vector<std::complex<float>>& samples,
                     const WavLayout& layout = {}) {
    writeFile(path, wavBytes(layout, floatBytes(samples)));
}

// A fresh folder as the current directory for the duration of one test.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("rx-") + info->test_suite_name() + "-" + info->name();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') c = '_';
        folder_ = std::filesystem::path(::testing::TempDir()) / name;
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        std::filesystem::current_path(folder_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder_);
    }
    std::filesystem::path folder_;

private:
    std::filesystem::path previous_;
};

}  // namespace orv::receiver
