#pragma once
// The tool set's version, one for every program: project(VERSION) in the top
// CMakeLists.txt.
#include <string>
#include <string_view>

namespace orv {

std::string_view projectVersion();

// True when an argument before a "--" is "--version".
bool versionRequested(int argc, char** argv);

// "<program> <version>\n", the one line of --version.
std::string versionLine(std::string_view program);

}  // namespace orv
