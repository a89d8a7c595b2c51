#pragma once
// A fresh folder under the temporary folder for one test, removed with all it
// holds; EnteredFolder makes a folder the current one for its lifetime, for
// code that addresses its files relative to the current folder.
#include <filesystem>
#include <string>
#include <string_view>

namespace orv::testsupport {

class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view prefix = "orvane-test");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }
    // Writes bytes to a file relative to the folder (making its folders); returns its path.
    std::filesystem::path write(std::string_view name, std::string_view bytes, bool executable = false) const;
    std::string read(std::string_view name) const;  // empty when missing
    bool exists(std::string_view name) const;       // also a dangling link
    void keep() { kept_ = true; }                   // left in place when destroyed

private:
    std::filesystem::path path_;
    bool kept_ = false;
};

class EnteredFolder {
public:
    explicit EnteredFolder(const std::filesystem::path& folder);
    ~EnteredFolder();
    EnteredFolder(const EnteredFolder&) = delete;
    EnteredFolder& operator=(const EnteredFolder&) = delete;

private:
    std::filesystem::path previous_;
};

// The bytes of a file, empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

}  // namespace orv::testsupport
