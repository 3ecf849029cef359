// SourceReader construction and block refills. A file is never read past its first NUL or its end.

#include "script/compiler/source_reader.h"

#include <cstring>

namespace velmo::script::compiler {

std::unique_ptr<SourceReader> SourceReader::FromString(std::string_view text, std::string_view name) {
    std::unique_ptr<SourceReader> reader(new SourceReader());
    reader->name_.assign(name);
    reader->text_.assign(text);  // std::string keeps a NUL after the last byte: the end marker
    reader->data_ = reader->text_.c_str();
    reader->length_ = reader->text_.size() + 1;
    reader->SkipByteOrderMark();
    return reader;
}

SourceOpenResult SourceReader::OpenFile(const std::string& path) {
    SourceOpenResult result;
    std::unique_ptr<platform::File> file = platform::OpenFile(path, platform::FileMode::ReadShared);
    if (!file) {
        result.errorText = "can't open the script file: " + path + "\n";
        return result;
    }
    std::unique_ptr<SourceReader> reader(new SourceReader());
    reader->name_ = path;
    reader->file_ = std::move(file);
    reader->block_.resize(kSourceBlockBytes + 1);
    reader->data_ = reader->block_.data();
    if (reader->FillBlock()) reader->SkipByteOrderMark();
    result.reader = std::move(reader);
    return result;
}

// Called when the current block (or string) is used up. A string always ends in its NUL, so only a
// file refills; a short block gets a NUL after its last byte so the end reads as 0.
bool SourceReader::FillBlock() {
    if (atEnd_ || !file_) {
        atEnd_ = true;
        return false;
    }
    const size_t count = file_->Read(block_.data(), kSourceBlockBytes);
    position_ = 0;
    length_ = count;
    if (count < kSourceBlockBytes) {
        block_[count] = '\0';
        length_ = count + 1;
    }
    return true;
}

// Editors on Windows start UTF-8 files with EF BB BF. Only the first bytes of the source are
// looked at; the same bytes anywhere else are read as they are. It holds no LF, so lines stay.
void SourceReader::SkipByteOrderMark() {
    static constexpr char kMark[] = "\xEF\xBB\xBF";
    if (length_ - position_ >= 3 && std::memcmp(data_ + position_, kMark, 3) == 0) position_ += 3;
}

}  // namespace velmo::script::compiler
