#include "support/scratchfolder.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace orv::testsupport {

ScratchFolder::ScratchFolder(std::string_view prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    if (kept_) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path ScratchFolder::write(std::string_view name, std::string_view bytes,
                                           bool executable) const {
    const std::filesystem::path target = path_ / name;
    std::filesystem::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (executable)
        std::filesystem::permissions(target, std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
    return target;
}

std::string ScratchFolder::read(std::string_view name) const { return readFile(path_ / name); }

bool ScratchFolder::exists(std::string_view name) const {
    return std::filesystem::exists(std::filesystem::symlink_status(path_ / name));
}

EnteredFolder::EnteredFolder(const std::filesystem::path& folder)
    : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

EnteredFolder::~EnteredFolder() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace orv::testsupport
