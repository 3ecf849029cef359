// INI files without the system's private-profile calls: every call reads the whole file and every
// change writes it back at once, so there is no cache to flush and no text differs from what the
// system would have written for the same calls.
#include "platform/ini_file.h"

#include "platform/common/ini_text.h"
#include "platform/files.h"

namespace velmo::platform {

namespace {

IniDocument Load(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return {};
    return IniDocument::Parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool Store(const std::string& path, const IniDocument& doc) {
    const std::string text = doc.Text();
    return WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

std::vector<std::string> IniSectionNames(const std::string& path) { return Load(path).SectionNames(); }

std::string IniReadString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& fallback) {
    return Load(path).Read(section, key).value_or(fallback);
}

bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
    IniDocument doc = Load(path);
    doc.Write(section, key, value);
    return Store(path, doc);
}

bool IniDeleteSection(const std::string& path, const std::string& section) {
    if (!FileExists(path)) return true;
    IniDocument doc = Load(path);
    return !doc.DeleteSection(section) || Store(path, doc);
}

void IniFlush(const std::string&) {}

}  // namespace velmo::platform
