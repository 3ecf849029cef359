// Package reader. The directory is walked by seeking over other entries' content, so finding an
// item reads one name per entry on the way, and files inflate through two fixed buffers. Every
// size read from the package is checked against the bytes its folder has left before it is used.
#include "shell/package.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/byte_order.h"
#include "platform/environment.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "platform/text.h"
#include "shell/run_folder.h"
#include "shell/shell_error.h"

namespace velmo::shell {

using platform::File;
using platform::SeekFrom;

namespace {

bool ReadU32(File& file, uint32_t& value) {
    uint8_t bytes[4];
    if (file.Read(bytes, 4) != 4) return false;
    value = platform::LoadU32(bytes);
    return true;
}

// Reads a name of `units` UTF-16 code units (NUL included) and converts it. A name without its NUL,
// with a NUL inside, or longer than the limit comes back empty, which no lookup matches; an
// overlong one is skipped unread, so no allocation ever follows a stored count.
bool ReadName(File& file, uint32_t units, std::string& name) {
    name.clear();
    if (units == 0) return true;
    if (units - 1 > kMaxEntryNameChars) return file.Seek(2 * int64_t{units}, SeekFrom::Current) >= 0;
    uint8_t raw[2 * (kMaxEntryNameChars + 1)];
    if (file.Read(raw, 2 * size_t{units}) != 2 * size_t{units}) return false;
    if (platform::LoadU16(&raw[2 * (units - 1)]) != 0) return true;
    std::u16string text16;
    for (uint32_t i = 0; i + 1 < units; ++i) {
        const char16_t c = platform::LoadU16(&raw[2 * i]);
        if (c == 0) return true;
        text16.push_back(c);
    }
    name = platform::Utf16ToAnsi(text16);
    return true;
}

// An entry header: type, name and content size, with `available` reduced by what was read.
struct EntryHeader {
    uint32_t type = 0;
    std::string name;
    uint32_t size = 0;
};

// Reads an entry header out of a folder with `available` bytes left; false when the folder is
// damaged (the header does not fit).
bool ReadEntryHeader(File& file, EntryHeader& entry, int64_t& available) {
    uint32_t units = 0;
    if (!ReadU32(file, entry.type)) return false;
    available -= 4;
    if (available <= 0 || !ReadU32(file, units)) return false;
    available -= 4 + 2 * int64_t{units};
    if (available <= 0 || !ReadName(file, units, entry.name)) return false;
    return ReadU32(file, entry.size);
}

bool Skip(File& file, uint32_t sizeBytes) { return file.Seek(sizeBytes, SeekFrom::Current) >= 0; }

enum class PackageState { None, Damaged, Ok };

// Locates the package. Ok leaves the file positioned at the root folder's content, whose size is
// checked to lie inside the package so that every size below it is bounded by the file. `why`
// receives what is wrong whenever the file looks as if it meant to carry a package (a trailer
// flag of 1, as the builder writes it, or the package mark where the trailer points) but the
// runtime cannot use it, even where the runtime then goes on as if there were none.
PackageState OpenPackageRoot(File& file, uint32_t& rootSize, std::string& why) {
    uint32_t flag = 0, length = 0;
    if (file.Seek(-4, SeekFrom::End) < 0 || !ReadU32(file, flag) || flag == 0) return PackageState::None;
    const int64_t trailer = file.Seek(-8, SeekFrom::End);
    const bool claimed = flag == 1;
    if (trailer < 0 || !ReadU32(file, length) || length > trailer) {
        if (claimed) why = "the trailer's package length reaches before the start of the file";
        return PackageState::None;
    }
    uint8_t magic[4];
    if (file.Seek(trailer - length, SeekFrom::Begin) < 0 || file.Read(magic, 4) != 4 || magic[0] != 'Q' ||
        magic[1] != 'V' || magic[2] != 'R' || magic[3] != 0) {
        if (claimed) why = "no package starts where the trailer's length points";
        return PackageState::None;
    }
    EntryHeader root;
    int64_t available = int64_t{length} - 4;
    if (!ReadEntryHeader(file, root, available) || root.type == 0) {
        why = "the root entry is cut short or is no folder";
        return PackageState::None;
    }
    if (!platform::AnsiEqualNoCase(root.name, "Application")) {
        why = "the root folder is named '" + root.name + "', not 'Application'";
        return PackageState::None;
    }
    if (int64_t{root.size} + 4 > available) {
        why = "the root folder's size (" + std::to_string(root.size) + " bytes) is larger than the package";
        return PackageState::Damaged;
    }
    rootSize = root.size;
    return PackageState::Ok;
}

std::vector<std::string> SplitComponents(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c != '\\') {
            part.push_back(c);
        } else if (!part.empty()) {
            parts.push_back(std::move(part));
            part.clear();
        }
    }
    if (!part.empty()) parts.push_back(std::move(part));
    return parts;
}

// Deletes a partly written file unless Keep() was called; closes it first.
class PartialFile {
public:
    PartialFile(std::string path, std::unique_ptr<File> file) : path_(std::move(path)), file_(std::move(file)) {}
    ~PartialFile() {
        file_.reset();
        if (!kept_) (void)platform::DeleteFile(path_);
    }
    File& Get() { return *file_; }
    void Keep() { kept_ = true; }

private:
    std::string path_;
    std::unique_ptr<File> file_;
    bool kept_ = false;
};

struct Inflater {
    z_stream stream{};
    Inflater() {
        const int rc = inflateInit(&stream);
        if (rc != Z_OK) throw CompressionError(rc);
    }
    ~Inflater() { inflateEnd(&stream); }
};

// Inflates `compressed` bytes into `out`; false when the input ends early, the stream is cut short
// or the output cannot be written. Bytes after the end of the stream are read and ignored.
bool InflateStream(File& in, File& out, uint32_t compressed, uint32_t& crc) {
    Inflater z;
    // On the heap: too large for the stack of every thread, and left uninitialised, as zlib and the
    // reads fill them before anything reads them.
    const std::unique_ptr<uint8_t[]> input = std::make_unique_for_overwrite<uint8_t[]>(kInflateInputBytes);
    const std::unique_ptr<uint8_t[]> output = std::make_unique_for_overwrite<uint8_t[]>(kInflateOutputBytes);
    int rc = Z_OK;
    // One inflate call into the output buffer, written out and added to the CRC.
    const auto pump = [&]() -> bool {
        z.stream.next_out = output.get();
        z.stream.avail_out = static_cast<uInt>(kInflateOutputBytes);
        rc = inflate(&z.stream, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) throw CompressionError(rc);
        const size_t produced = kInflateOutputBytes - z.stream.avail_out;
        if (produced > 0 && !out.Write(output.get(), produced)) return false;
        crc = static_cast<uint32_t>(crc32(crc, output.get(), static_cast<uInt>(produced)));
        return true;
    };
    while (compressed > 0) {
        const size_t got = in.Read(input.get(), std::min<size_t>(kInflateInputBytes, compressed));
        if (got == 0) return false;
        compressed -= static_cast<uint32_t>(got);
        if (rc == Z_STREAM_END) continue;
        z.stream.next_in = input.get();
        z.stream.avail_in = static_cast<uInt>(got);
        do {
            if (!pump()) return false;
        } while (rc == Z_OK && z.stream.avail_out == 0);  // a full buffer may leave output pending
    }
    // All input is in; a stream that still wants more was cut short.
    while (rc == Z_OK && z.stream.avail_out == 0)
        if (!pump()) return false;
    return rc == Z_STREAM_END;
}

std::string ExtractFolder(const std::string& destination, File& file, uint32_t folderSize, int depth);

// Extracts one child of a folder being extracted; the file position is at its content.
void ExtractChild(const std::string& destination, File& file, const EntryHeader& entry, int depth) {
    if (!IsSafeEntryName(entry.name)) return;
    if (entry.type == 0) (void)InflateEntryToFile(destination + entry.name, file, entry.size);
    else if (depth < kMaxPackageDepth)
        (void)ExtractFolder(destination + entry.name + '\\', file, entry.size, depth + 1);
}

std::string ExtractFolder(const std::string& destination, File& file, uint32_t folderSize, int depth) {
    (void)platform::CreateFolder(destination);  // an existing folder is the normal case
    int64_t remaining = folderSize;
    while (remaining > 4) {
        EntryHeader entry;
        if (!ReadEntryHeader(file, entry, remaining) || remaining < int64_t{entry.size} + 4) break;
        const int64_t content = file.Seek(0, SeekFrom::Current);
        if (content < 0) break;
        ExtractChild(destination, file, entry, depth);
        // Children leave the position anywhere when damaged; the next sibling is at a known place.
        if (file.Seek(content + entry.size, SeekFrom::Begin) < 0) break;
        remaining -= 4 + int64_t{entry.size};
    }
    return destination;
}

// The folder's name for a damage report: its package path, or "the root folder".
std::string FolderName(const std::string& prefix) {
    return prefix.empty() ? "the root folder" : "folder '" + prefix.substr(0, prefix.size() - 1) + "'";
}

bool ListEntries(File& file, const std::string& prefix, uint32_t folderSize, int depth,
                 std::vector<PackageListing>& out, std::string& why) {
    int64_t remaining = folderSize;
    while (remaining > 4) {
        EntryHeader entry;
        if (!ReadEntryHeader(file, entry, remaining)) {
            why = "an entry header in " + FolderName(prefix) + " is cut short";
            return false;
        }
        const std::string path = prefix + entry.name;
        if (remaining < int64_t{entry.size} + 4) {
            why = "'" + path + "' (" + std::to_string(entry.size) + " bytes) is larger than what is left of " +
                  FolderName(prefix);
            return false;
        }
        const int64_t content = file.Seek(0, SeekFrom::Current);
        out.push_back({path, entry.type != 0, entry.size});
        if (entry.type != 0 && depth >= kMaxPackageDepth) {
            why = "folders nest deeper than " + std::to_string(kMaxPackageDepth) + " at '" + path + "'";
            return false;
        }
        if (entry.type != 0 && !ListEntries(file, path + '\\', entry.size, depth + 1, out, why)) return false;
        if (content < 0 || file.Seek(content + entry.size, SeekFrom::Begin) < 0) {
            why = "'" + path + "' reaches past the end of the file";
            return false;
        }
        remaining -= 4 + int64_t{entry.size};
    }
    return true;
}

}  // namespace

PackageReport InspectPackage(const std::string& archiveFile) {
    PackageReport report;
    std::unique_ptr<File> file = platform::OpenFile(archiveFile, platform::FileMode::ReadShared);
    uint32_t rootSize = 0;
    if (!file) {
        report.damage = "cannot open the file: " + platform::SystemErrorText(platform::LastErrorCode());
        return report;
    }
    if (OpenPackageRoot(*file, rootSize, report.damage) != PackageState::Ok) return report;
    if (ListEntries(*file, "", rootSize, 0, report.entries, report.damage)) report.isOk = true;
    else report.entries.clear();
    return report;
}

std::optional<std::vector<PackageListing>> ListPackage(const std::string& archiveFile) {
    PackageReport report = InspectPackage(archiveFile);
    if (!report.isOk) return std::nullopt;
    return std::move(report.entries);
}

namespace {

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with or without an extension, name devices on Windows:
// "extracting" to one would write to the device instead of a file.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
        return true;
    return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

}  // namespace

bool IsSafeEntryName(const std::string& name) {
    if (name.empty() || IsDeviceName(name)) return false;
    bool onlyDots = true;
    for (char c : name) {
        if (c == '\\' || c == '/' || c == ':' || c == '\0') return false;
        onlyDots = onlyDots && (c == '.' || c == ' ');
    }
    return !onlyDots;
}

int64_t FindPackageEntry(File& file, const std::string& name, uint32_t& size, int64_t available,
                         std::string* storedName) {
    const bool wantable = IsSafeEntryName(name);
    while (available > 4) {
        EntryHeader entry;
        if (!ReadEntryHeader(file, entry, available)) return -1;
        size = entry.size;
        if (available < int64_t{entry.size} + 4) return -1;
        if (wantable && IsSafeEntryName(entry.name) && platform::AnsiEqualNoCase(entry.name, name)) {
            if (storedName) *storedName = entry.name;
            return entry.type;
        }
        if (!Skip(file, entry.size)) return -1;
        available -= 4 + int64_t{entry.size};
    }
    return -1;
}

std::string InflateEntryToFile(const std::string& destination, File& file, uint32_t entrySize) {
    if (platform::FileExists(destination)) return Skip(file, entrySize) ? destination : std::string();
    if (entrySize < 4) return "";
    std::unique_ptr<File> out = platform::OpenFile(destination, platform::FileMode::CreateReadWrite);
    if (!out) return "";
    PartialFile partial(destination, std::move(out));
    uint32_t crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
    uint32_t stored = 0;
    if (!InflateStream(file, partial.Get(), entrySize - 4, crc) || !ReadU32(file, stored) || stored != crc) return "";
    partial.Keep();
    return destination;
}

std::string ExtractPackageFolder(const std::string& destination, File& file, uint32_t folderSize) {
    return ExtractFolder(destination, file, folderSize, 0);
}

std::string FindBesideExecutable(const std::string& relativePath) {
    const std::string folder(platform::FolderPart(platform::ModuleFileName()));
    // The same names the package refuses: "..", a drive, a device or a stream must not reach
    // outside the executable's folder (a leading separator still means the folder itself).
    std::string relative;
    for (const std::string& component : SplitComponents(relativePath)) {
        if (!IsSafeEntryName(component)) return "";
        relative = platform::JoinPath(relative, component);
    }
    const std::string path = relative.empty() && !folder.empty() ? folder + '\\' : platform::JoinPath(folder, relative);
    return platform::PathExists(path) ? path : std::string();
}

std::string ExtractPackageFile(const std::string& packagePath, const std::string& archiveFile) {
    std::string path = packagePath;
    for (char& c : path)
        if (c == '/') c = '\\';
    const std::string archive = archiveFile.empty() ? platform::ModuleFileName() : archiveFile;
    std::unique_ptr<File> file = platform::OpenFile(archive, platform::FileMode::ReadShared);
    uint32_t folderSize = 0;
    std::string why;  // the runtime goes on without saying; tools report it (InspectPackage)
    const PackageState state = file ? OpenPackageRoot(*file, folderSize, why) : PackageState::None;
    if (state == PackageState::None) return FindBesideExecutable(path);
    if (state == PackageState::Damaged) return "";

    std::string destination = ExtraFolder();
    if (destination.empty()) return "";  // no run folder: nowhere safe to extract to
    (void)platform::CreateFolder(destination);
    for (const std::string& component : SplitComponents(path)) {
        uint32_t size = 0;
        std::string stored;
        const int64_t type = FindPackageEntry(*file, component, size, folderSize, &stored);
        if (type < 0) return "";
        // The entry's own spelling: however a caller cases the path, one item is one local file,
        // also where the file system tells case apart.
        destination += stored;
        if (type == 0) return InflateEntryToFile(destination, *file, size);
        destination += '\\';
        (void)platform::CreateFolder(destination);
        folderSize = size;
    }
    return ExtractPackageFolder(destination, *file, folderSize);
}

}  // namespace velmo::shell
