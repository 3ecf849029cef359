#pragma once
// A ByteSource over an open file, for reading images that are not loaded by the system.

#include <memory>

#include "platform/common/pe_resources.h"
#include "platform/files.h"

namespace velmo::platform {

class FileByteSource final : public ByteSource {
public:
    explicit FileByteSource(std::unique_ptr<File> file) : file_(std::move(file)), size_(file_->Size()) {}
    uint64_t Size() const override { return size_ < 0 ? 0 : static_cast<uint64_t>(size_); }
    bool ReadAt(uint64_t offset, void* buffer, size_t sizeBytes) override {
        if (offset > Size() || sizeBytes > Size() - offset) return false;
        if (file_->Seek(static_cast<int64_t>(offset), SeekFrom::Begin) < 0) return false;
        return file_->Read(buffer, sizeBytes) == sizeBytes;
    }

private:
    std::unique_ptr<File> file_;
    int64_t size_;
};

}  // namespace velmo::platform
