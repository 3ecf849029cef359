// What Linux tells of a drive without privileges: the model from the device's "model" (or an
// SD card's "name"), the serial number and firmware revision where the device folder or the
// device manager's record has them (many SATA disks show a serial only through the latter, a
// virtual disk often neither: those texts stay empty), removable or fixed from the "removable"
// flag, and no buffer size (0). The geometry is what the size in 512-byte sectors gives under
// the usual translation of 255 heads and 63 sectors per track.
#include <algorithm>
#include <array>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

#include "platform/disk_info.h"
#include "platform/os/posix/sys_block.h"

namespace velmo::platform {

namespace {

constexpr int kTranslatedHeads = 255, kTranslatedSectors = 63;
constexpr std::array<std::string_view, 8> kNotDrives = {"loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd"};

std::optional<std::string> ReadLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// The first of `files` that reads; empty when none does.
std::string FirstOf(const std::filesystem::path& folder, std::initializer_list<const char*> files) {
    for (const char* name : files)
        if (std::optional<std::string> text = ReadLine(folder / name)) return *text;
    return {};
}

// A property of the device manager's record ("E:NAME=value" lines); empty when absent.
std::string UdevProperty(const std::filesystem::path& record, std::string_view name) {
    std::ifstream in(record);
    const std::string prefix = "E:" + std::string(name) + "=";
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    return {};
}

std::string Cut(std::string text, size_t limit) {
    if (text.size() > limit) text.resize(limit);
    return text;
}

bool IsDrive(const std::string& name) {
    return std::none_of(kNotDrives.begin(), kNotDrives.end(),
                        [&](std::string_view prefix) { return name.rfind(prefix, 0) == 0; });
}

}  // namespace

std::optional<DriveIdentity> ReadSysBlockIdentity(const std::string& sysBlock, const std::string& udevData, int drive) {
    std::error_code error;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(sysBlock, error))
        if (IsDrive(entry.path().filename().string())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    if (drive < 0 || static_cast<size_t>(drive) >= names.size()) return std::nullopt;

    const std::filesystem::path folder = std::filesystem::path(sysBlock) / names[static_cast<size_t>(drive)];
    const std::filesystem::path device = folder / "device";
    const std::filesystem::path record = std::filesystem::path(udevData) / ("b" + FirstOf(folder, {"dev"}));
    DriveIdentity id;
    id.model = Cut(FirstOf(device, {"model", "name"}), 40);
    id.serial = FirstOf(device, {"serial"});
    if (id.serial.empty()) id.serial = UdevProperty(record, "ID_SERIAL_SHORT");
    id.serial = Cut(id.serial, 20);
    id.revision = FirstOf(device, {"rev", "firmware_rev"});
    if (id.revision.empty()) id.revision = UdevProperty(record, "ID_REVISION");
    id.revision = Cut(id.revision, 8);
    const std::string removable = FirstOf(folder, {"removable"});
    id.driveType = removable == "1" ? "Removable" : removable == "0" ? "Fixed" : "Unknown";
    const std::string size = FirstOf(folder, {"size"});
    if (!size.empty() && size.find_first_not_of("0123456789") == std::string::npos && size.size() <= 19) {
        const long long cylinders = std::stoll(size) / (kTranslatedHeads * kTranslatedSectors);
        id.cylinders = static_cast<int32_t>(std::min<long long>(cylinders, INT32_MAX));
        id.heads = kTranslatedHeads;
        id.sectors = kTranslatedSectors;
    }
    return id;
}

std::optional<DriveIdentity> ReadDriveIdentity(int drive) {
    return ReadSysBlockIdentity("/sys/block", "/run/udev/data", drive);
}

}  // namespace velmo::platform
