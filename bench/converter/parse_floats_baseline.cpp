// The floor for parsing a raw FFT dump: the whole text in memory, one bare
// std::from_chars per number, separators skipped. Prints a checksum so the
// work cannot be dropped.
#include <charconv>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    // One block read, so the floor is the parse and not the stream.
    std::string text;
    if (std::FILE* f = std::fopen(argc > 1 ? argv[1] : "fftdata.txt", "rb")) {
        std::fseek(f, 0, SEEK_END);
        text.resize(static_cast<std::size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        text.resize(std::fread(text.data(), 1, text.size(), f));
        std::fclose(f);
    }
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
