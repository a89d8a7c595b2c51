// The floor for parsing a raw FFT dump: the whole text in memory, one bare
// std::from_chars per number, separators skipped. Prints a checksum so the
// work cannot be dropped.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    std::ifstream in(argc > 1 ? argv[1] : "fftdata.txt", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const char* p = text.data();
    const char* const end = p + text.size();
    double sum = 0;
    long count = 0;
    while (p < end) {
        while (p < end && (*p == ',' || *p == ' ' || *p == '\r' || *p == '\n')) ++p;
        float value = 0;
        const auto r = std::from_chars(p, end, value);
        if (r.ec != std::errc()) {
            ++p;
            continue;
        }
        p = r.ptr;
        sum += value;
        ++count;
    }
    std::fputs((std::to_string(count) + " numbers, sum " + std::to_string(sum) + "\n").c_str(), stdout);
}
