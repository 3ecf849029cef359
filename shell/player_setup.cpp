// Every failure here ends the preparation quietly (a line in the verbose log at most): the control
// host then falls back to the registered control, and only its failure is shown to the user.
#include "shell/player_setup.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/byte_order.h"
#include "platform/cabinet.h"
#include "platform/clock.h"
#include "platform/common/file_byte_source.h"
#include "platform/common/pe_resources.h"
#include "platform/files.h"
#include "platform/text.h"
#include "shell/package.h"
#include "shell/resource_blob.h"
#include "shell/run_folder.h"
#include "shell/shell_error.h"

namespace velmo::shell {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && platform::AnsiEqualNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// The system's millisecond tick, which only has to differ between runs that start close together:
// the low 32 bits of the clock serve as well.
uint32_t Tick() { return static_cast<uint32_t>(platform::CurrentTimeMs()); }

std::optional<std::string> NewTempName(std::string_view extension) {
    return MakeTempName(TempBaseFolder(), Tick(), extension,
                        [](const std::string& p) { return platform::PathExists(p); });
}

}  // namespace

std::optional<FlashPlayerRecord> ParseFlashPlayerRecord(std::span<const uint8_t> bytes) {
    if (bytes.size() != kFlashPlayerRecordBytes) return std::nullopt;
    FlashPlayerRecord record;
    for (size_t i = 0; i < record.version.size(); ++i) record.version[i] = platform::LoadU32(bytes.data() + 4 * i);
    const std::span<const uint8_t> name = bytes.subspan(16, kInstallerNameBytes);
    size_t length = 0;
    while (length < name.size() && name[length] != 0) ++length;
    if (length == name.size()) return std::nullopt;  // no terminator: the name would run past the record
    record.installer.assign(reinterpret_cast<const char*>(name.data()), length);
    return record;
}

std::optional<std::string> MakeTempName(const std::string& base, uint32_t tick, std::string_view extension,
                                        const std::function<bool(const std::string&)>& exists) {
    for (uint32_t i = 0; i < kMaxTempCandidates; ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%04X%u", tick, i);
        std::string candidate = base + number + std::string(extension);
        if (!exists(candidate)) return candidate;
    }
    return std::nullopt;
}

PlayerSetup::PlayerSetup(Log log, InstallerRunner runInstaller)
    : log_(std::move(log)), runInstaller_(std::move(runInstaller)) {
    if (!runInstaller_)
        runInstaller_ = [](const std::string& installer) {
            return platform::RunProgramAndWait(installer, {"/Q", "/S"}, kInstallerWaitMs);
        };
}

void PlayerSetup::Note(const std::string& line) const {
    if (log_) log_("player: " + line);
}

const std::string& PlayerSetup::PrivatePlayerPath() {
    if (!done_) {
        done_ = true;
        Prepare();
    }
    return playerPath_;
}

void PlayerSetup::Prepare() {
    const std::optional<std::vector<uint8_t>> bytes = LoadResourceBlobIfPresent("FP", "MOVORA");
    if (!bytes) return Note("no \"FP\" record");
    const std::optional<FlashPlayerRecord> record = ParseFlashPlayerRecord(*bytes);
    if (!record)
        return Note("\"FP\" record of " + std::to_string(bytes->size()) + " bytes ignored (it must have " +
                    std::to_string(kFlashPlayerRecordBytes) + ")");
    const std::optional<std::string> name = NewTempName(".tmp");
    if (!name) return Note("no free temporary name");
    playerPath_ = *name;

    std::string installer;
    try {
        installer = ExtractPackageFile(record->installer);
    } catch (const ShellError& error) {
        ReportError(error);  // a damaged package entry, as for any other extraction
    }
    if (installer.empty()) {
        playerPath_.clear();
        return Note("installer \"" + record->installer + "\" not in the package");
    }

    std::unique_ptr<platform::File> file = platform::OpenFile(installer, platform::FileMode::ReadShared);
    if (!file) return Note("installer " + installer + " cannot be opened");
    platform::FileByteSource image(std::move(file));
    const platform::PeResourceTable table = platform::ReadPeResources(image);
    if (table.status == platform::PeStatus::NotPe || table.status == platform::PeStatus::Damaged)
        return Note("installer " + installer + " is no program file");
    const platform::PeResource* cabinet =
        table.Find(platform::ResourceKey::Parse("#10"), platform::ResourceKey::Parse("CABINET"));
    if (cabinet) {
        const std::optional<std::vector<uint8_t>> data = platform::ReadPeResourceData(image, *cabinet);
        if (data && ExpandInstallerCabinet(*data)) {
            extracted_ = true;
            Note(platform::FileExists(playerPath_) ? "control taken out of the installer into " + playerPath_
                                                   : "the installer's cabinet holds no control file");
        }
        return;
    }
    // No cabinet: the installer has to install the control itself, and registers it.
    (void)platform::DeleteFile(playerPath_);
    switch (runInstaller_(installer)) {
        case platform::ProgramWait::Ended: Note("installer " + installer + " ran silently"); break;
        case platform::ProgramWait::TimedOut: Note("installer " + installer + " still running; not waited for"); break;
        case platform::ProgramWait::NotStarted: Note("installer " + installer + " cannot be started"); break;
    }
}

// Every ".ocx" file of the cabinet goes to the player path, so the last one stays there. A
// cabinet that fails part way leaves no control file: what a failed expansion wrote is removed.
bool PlayerSetup::ExpandInstallerCabinet(const std::vector<uint8_t>& data) {
    const std::optional<std::string> cabinet = NewTempName(".cab");
    if (!cabinet) {
        Note("no free temporary name for the cabinet");
        return false;
    }
    if (!platform::WriteWholeFile(*cabinet, data)) {
        (void)platform::DeleteFile(*cabinet);
        Note("the cabinet cannot be written to " + *cabinet);
        return false;
    }
    const bool expanded = platform::ExpandCabinet(*cabinet, [this](const platform::CabinetEntry& entry) {
        return EndsWithNoCase(entry.name, ".ocx") ? playerPath_ : std::string();
    });
    (void)platform::DeleteFile(*cabinet);
    if (!expanded) {
        (void)platform::DeleteFile(playerPath_);
        Note("the installer's cabinet cannot be expanded");
    }
    return expanded;
}

}  // namespace velmo::shell
