// velmo inspect: what an application carries, as the runtime would find it. Exit status 0 for an
// application (a PE image whose resource directory reads, with or without a package), 1 for a file
// that cannot be opened, is no PE image or whose resource directory or package is damaged, the
// damage named on standard error after the listing of what could be read.
#include <cstdio>

#include "platform/common/file_byte_source.h"
#include "platform/common/pe_resources.h"
#include "platform/last_error.h"
#include "shell/package.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace velmo::tools {

const CommandSpec kInspectSpec = {
    "inspect", "APP.exe", "list an application's resources and packaged files; exit 1 when it is damaged", {}};

namespace {

// The damage, empty when the resources read; `isPe` false for a file that is no PE image.
std::string PrintResources(const std::string& path, bool& isPe) {
    std::unique_ptr<platform::File> file = platform::OpenFile(path, platform::FileMode::ReadShared);
    platform::FileByteSource image(std::move(file));
    const platform::PeResourceTable table = platform::ReadPeResources(image);
    isPe = table.status != platform::PeStatus::NotPe;
    switch (table.status) {
        case platform::PeStatus::NotPe: std::printf("resources: none (not a PE image)\n"); return "not a PE image";
        case platform::PeStatus::NoResources: std::printf("resources: none\n"); return {};
        case platform::PeStatus::Damaged:
            std::printf("resources: damaged resource directory\n");
            return "the resource directory is damaged";
        case platform::PeStatus::Ok: break;
    }
    std::printf("resources:\n");
    for (const platform::PeResource& r : table.resources)
        std::printf("  %-10s %-16s language %-5u %u bytes\n", r.type.ToString().c_str(), r.name.ToString().c_str(),
                    r.language, r.sizeBytes);
    return {};
}

std::string PrintPackage(const std::string& path) {
    const shell::PackageReport report = shell::InspectPackage(path);
    if (!report.isOk) {
        std::printf("package: %s\n", report.damage.empty() ? "none" : "damaged");
        return report.damage.empty() ? std::string() : "damaged package: " + report.damage;
    }
    std::printf("package:\n");
    for (const shell::PackageListing& e : report.entries)
        std::printf("  %s%s  (%u bytes stored)\n", e.path.c_str(), e.isFolder ? "\\" : "", e.storedBytes);
    return {};
}

}  // namespace

int InspectCommand(const Args& args) {
    ParseOutcome parsed = ParseCommandLine(kInspectSpec, args);
    if (!parsed.line) return parsed.status;
    if (parsed.line->operands.size() != 1) return UsageError(kInspectSpec, "one APP.exe needed");
    const std::string& path = parsed.line->operands[0];
    if (!platform::OpenFile(path, platform::FileMode::ReadShared))
        return Fail(1, "cannot open " + path + ": " + platform::SystemErrorText(platform::LastErrorCode()));
    if (!platform::FileExists(path)) return Fail(1, "cannot inspect " + path + ": it is a folder");
    bool isPe = false;
    const std::string resourceDamage = PrintResources(path, isPe);
    // A file that is no PE image has no package to speak of either.
    const std::string packageDamage = isPe ? PrintPackage(path) : std::string();
    std::fflush(stdout);
    int status = 0;
    for (const std::string& damage : {resourceDamage, packageDamage})
        if (!damage.empty()) status = Fail(1, path + ": " + damage);
    return status;
}

}  // namespace velmo::tools
