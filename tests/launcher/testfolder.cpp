#include "testfolder.h"

#include <fstream>
#include <iterator>
#include <random>

namespace orv::launcher {

TestFolder::TestFolder() : previous_(std::filesystem::current_path()) {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("launcher-test-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
}

TestFolder::~TestFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TestFolder::write(const std::string& name, const std::string& bytes,
                                        bool executable) const {
    std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
    if (executable) {
        std::filesystem::permissions(file, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
    }
    return file;
}

std::string TestFolder::read(const std::string& name) const {
    std::ifstream file(path_ / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace orv::launcher
