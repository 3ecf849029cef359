// velmo inspect: what an application carries, as the runtime would find it.
#include <cstdio>

#include "platform/common/file_byte_source.h"
#include "platform/common/pe_resources.h"
#include "shell/package.h"
#include "tools/commands.h"

namespace velmo::tools {

namespace {

void PrintResources(const std::string& path) {
    std::unique_ptr<platform::File> file = platform::OpenFile(path, platform::FileMode::ReadShared);
    platform::FileByteSource image(std::move(file));
    const platform::PeResourceTable table = platform::ReadPeResources(image);
    switch (table.status) {
        case platform::PeStatus::NotPe: std::printf("resources: none (not a PE image)\n"); return;
        case platform::PeStatus::NoResources: std::printf("resources: none\n"); return;
        case platform::PeStatus::Damaged: std::printf("resources: damaged resource directory\n"); return;
        case platform::PeStatus::Ok: break;
    }
    std::printf("resources:\n");
    for (const platform::PeResource& r : table.resources)
        std::printf("  %-10s %-16s language %-5u %u bytes\n", r.type.ToString().c_str(), r.name.ToString().c_str(),
                    r.language, r.sizeBytes);
}

void PrintPackage(const std::string& path) {
    const std::optional<std::vector<shell::PackageListing>> entries = shell::ListPackage(path);
    if (!entries) {
        std::printf("package: none or damaged\n");
        return;
    }
    std::printf("package:\n");
    for (const shell::PackageListing& e : *entries)
        std::printf("  %s%s  (%u bytes stored)\n", e.path.c_str(), e.isFolder ? "\\" : "", e.storedBytes);
}

}  // namespace

int InspectCommand(const Args& args) {
    if (args.size() != 1) return Fail(kExitUsage, "usage: velmo inspect APP.exe");
    if (!platform::FileExists(args[0])) return Fail(1, "cannot open " + args[0]);
    PrintResources(args[0]);
    PrintPackage(args[0]);
    return 0;
}

}  // namespace velmo::tools
