// psffont FONT.psf[.gz] OUT.cpp: writes the plot surface's glyph table.
#include <zlib.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "orv/startup.h"
#include "tools/psffont/psfparse.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::fputs(
            "usage: psffont FONT.psf[.gz] OUT.cpp\n"
            "\n"
            "Writes the plot surface's glyph table, one 8 x 16 glyph per byte, as C++.\n",
            stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs("usage: psffont FONT.psf[.gz] OUT.cpp\n", stderr);
        return 2;
    }
    // gzread passes an uncompressed file through unchanged.
    gzFile in = gzopen(argv[1], "rb");
    if (!in) {
        std::fprintf(stderr, "psffont: cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    unsigned char buf[4096];
    int n;
    while ((n = gzread(in, buf, sizeof buf)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    const bool readOk = n == 0;
    gzclose(in);
    if (!readOk) {
        std::fprintf(stderr, "psffont: cannot read %s\n", argv[1]);
        return 1;
    }
    const orv::Outcome<orv::tools::Font> parsed = orv::tools::parseFont(bytes);
    if (!parsed) {
        std::fprintf(stderr, "psffont: %s: %s\n", argv[1], parsed.error().c_str());
        return parsed.exitCode();
    }
    const std::string source = orv::tools::glyphSource(orv::tools::glyphsByByte(*parsed), argv[1]);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::fprintf(stderr, "psffont: cannot write %s\n", argv[2]);
        return 1;
    }
    const bool written = std::fwrite(source.data(), 1, source.size(), out) == source.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "psffont: cannot write %s\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
