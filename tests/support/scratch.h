#pragma once
// Test support: a scratch folder removed with everything in it, and a scoped environment variable.

#include <optional>
#include <string>
#include <vector>

namespace velmo::testing {

// A fresh folder under the system's temporary folder, its path ending in '\'; removed on destruction.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::string path_;
};

// Sets (or with nullopt removes) an environment variable and restores it on destruction.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();

private:
    std::string name_;
    std::optional<std::string> saved_;
};

std::vector<uint8_t> Bytes(const std::string& text);
std::string ReadText(const std::string& path);

}  // namespace velmo::testing
