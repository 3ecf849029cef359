// INI files without the system's private-profile calls: the text is read once, changed in memory
// and written back whole by Flush, and the bytes are what the system would have written for the
// same calls.
#include "platform/ini_file.h"

#include "platform/common/ini_text.h"
#include "platform/files.h"

namespace velmo::platform {

namespace {

class TextIniFile final : public IniFile {
public:
    explicit TextIniFile(std::string path) : path_(std::move(path)) {
        std::vector<uint8_t> bytes;
        if (ReadWholeFile(path_, bytes))
            doc_ = IniDocument::Parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

    std::vector<std::string> SectionNames() override { return doc_.SectionNames(); }
    std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) override {
        return doc_.Read(section, key).value_or(fallback);
    }
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) override {
        doc_.Write(section, key, value);
        changed_ = true;
        return true;
    }
    bool DeleteSection(const std::string& section) override {
        changed_ = doc_.DeleteSection(section) || changed_;
        return true;
    }
    bool Flush() override {
        if (!changed_) return true;
        const std::string text = doc_.Text();
        changed_ = !WriteWholeFile(path_, std::vector<uint8_t>(text.begin(), text.end()));
        return !changed_;
    }

private:
    std::string path_;
    IniDocument doc_;
    bool changed_ = false;
};

}  // namespace

std::unique_ptr<IniFile> OpenIniFile(const std::string& path) { return std::make_unique<TextIniFile>(path); }

}  // namespace velmo::platform
