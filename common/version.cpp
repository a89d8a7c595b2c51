#include "orv/version.h"

namespace orv {

std::string_view projectVersion() { return ORVANE_VERSION; }

bool versionRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") return false;  // what follows is data, e.g. orvane-tx's text
        if (arg == "--version") return true;
    }
    return false;
}

std::string versionLine(std::string_view program) {
    return std::string(program) + " " + std::string(projectVersion()) + "\n";
}

}  // namespace orv
