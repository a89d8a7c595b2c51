#pragma once
// A fresh temporary folder that is the current folder for the lifetime of the
// object, as the launcher addresses every file relative to the current folder.
#include <filesystem>
#include <string>

namespace orv::launcher {

class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes bytes to a file relative to the folder; returns its path.
    std::filesystem::path write(const std::string& name, const std::string& bytes,
                                bool executable = false) const;
    std::string read(const std::string& name) const;  // empty when missing

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

}  // namespace orv::launcher
