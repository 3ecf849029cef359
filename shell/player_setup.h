#pragma once
// The player's private copy: when the application carries the player's installer (the "FP"
// record names it in the package), the control file is taken out of the installer's cabinet into
// a temporary file, once per run, without installing anything. Only an installer without a
// cabinet is run, silently. The result is the path the control host loads the control from, or "".
//
// Installers that pack the control in other ways (a self-extracting script installer's own data)
// are not looked into: such an installer is run silently like any other without a cabinet.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/program_start.h"

namespace velmo::shell {

inline constexpr size_t kFlashPlayerRecordBytes = 276;
inline constexpr size_t kInstallerNameBytes = 260;
// The candidates MakeTempName tries before it gives up.
inline constexpr uint32_t kMaxTempCandidates = 65535;
// How long start-up waits for a silent installer. An installer that waits for a user nobody sees
// would otherwise hold the application for ever; one still running then is left to finish, and
// start-up goes on with whatever control is registered by then.
inline constexpr uint32_t kInstallerWaitMs = 10 * 60 * 1000;

// The "FP" record: the lowest player version the movie needs (stored, compared with nothing) and
// the installer's package path.
struct FlashPlayerRecord {
    std::array<uint32_t, 4> version{};
    std::string installer;
};

// The record in `bytes` (decoded); none unless it is exactly kFlashPlayerRecordBytes long and the
// installer name ends with a NUL inside its field.
std::optional<FlashPlayerRecord> ParseFlashPlayerRecord(std::span<const uint8_t> bytes);

// The first name `base` + `tick` as at least four upper-case hex digits + a counter from 0 in
// decimal + `extension` (".tmp", ".cab") for which `exists` is false; none after
// kMaxTempCandidates candidates. `base` ends with '\'.
std::optional<std::string> MakeTempName(const std::string& base, uint32_t tick, std::string_view extension,
                                        const std::function<bool(const std::string&)>& exists);

class PlayerSetup {
public:
    using Log = std::function<void(const std::string&)>;
    // Runs the installer silently (its path given) and says how that went.
    using InstallerRunner = std::function<platform::ProgramWait(const std::string& installer)>;

    // A null runner runs the installer with "/Q /S" for at most kInstallerWaitMs.
    explicit PlayerSetup(Log log = nullptr, InstallerRunner runInstaller = nullptr);

    // Prepares the private player on the first call; every call returns the same path. It may be
    // "", and it may name no file (the cabinet held no control, or only the installer ran).
    const std::string& PrivatePlayerPath();
    // A control file was taken out of the installer.
    bool Extracted() const { return extracted_; }

private:
    void Prepare();
    bool ExpandInstallerCabinet(const std::vector<uint8_t>& data);
    void Note(const std::string& line) const;

    Log log_;
    InstallerRunner runInstaller_;
    std::string playerPath_;
    bool extracted_ = false;
    bool done_ = false;
};

}  // namespace velmo::shell
