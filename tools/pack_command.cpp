// velmo pack: writes an application image from a project folder. For now every file of the
// project goes into the attached package behind a resource-only image.
#include <cstdio>
#include <stdexcept>

#include "platform/files.h"
#include "tools/builder/package_writer.h"
#include "tools/builder/pe_writer.h"
#include "tools/commands.h"

namespace velmo::tools {

int PackCommand(const Args& args) {
    std::string project, output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            output = args[++i];
        else if (project.empty() && !args[i].empty() && args[i][0] != '-')
            project = args[i];
        else
            return Fail(kExitUsage, "usage: velmo pack PROJECT -o APP.exe");
    }
    if (project.empty() || output.empty()) return Fail(kExitUsage, "usage: velmo pack PROJECT -o APP.exe");
    if (!platform::FolderExists(project)) return Fail(1, "no project folder " + project);
    try {
        std::vector<uint8_t> image = builder::WriteResourceImage({});
        const std::vector<uint8_t> package = builder::WritePackage(builder::CollectFolder(project));
        image.insert(image.end(), package.begin(), package.end());
        if (!platform::WriteWholeFile(output, image)) return Fail(1, "cannot write " + output);
    } catch (const std::runtime_error& error) {
        return Fail(1, error.what());
    }
    std::printf("wrote %s\n", output.c_str());
    return 0;
}

}  // namespace velmo::tools
