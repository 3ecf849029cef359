// File helpers built on the File interface, the same on every target.
#include "platform/files.h"

namespace velmo::platform {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::unique_ptr<File> file = OpenFile(path, FileMode::ReadShared);
    if (!file) return false;
    const int64_t size = file->Size();
    if (size < 0) return false;
    bytes.resize(static_cast<size_t>(size));
    return file->Read(bytes.data(), bytes.size()) == bytes.size();
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<File> file = OpenFile(path, FileMode::CreateReadWrite);
    return file && file->Write(bytes.data(), bytes.size());
}

}  // namespace velmo::platform
