#pragma once
// Builds an application from a project folder: reads velmo.toml, writes the records and scripts as
// resources, packs every other file of the folder, and puts both into a PE image (a resource-only
// one, or a copy of the Windows runtime).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "shell/settings_record.h"
#include "tools/builder/manifest.h"
#include "tools/builder/package_filter.h"
#include "tools/builder/package_writer.h"
#include "tools/builder/pe_writer.h"

namespace velmo::builder {

inline constexpr const char* kRecordType = "MOVORA";
inline constexpr const char* kScriptType = "VELMO";

// The resources of an application described by `manifest`, with the named files read from
// `projectFolder`. The manifest's build time is used as it is. Throws std::runtime_error.
std::vector<ImageResource> BuildResources(const Manifest& manifest, const std::string& projectFolder);

struct BuildOptions {
    std::string projectFolder;
    std::string runtimeImage;                    // a PE executable to add the resources to; empty for none
    std::optional<shell::SystemTime> buildTime;  // when velmo.toml gives none; the current UTC time otherwise
    // Where the application will be written: never packed, and refused when it would overwrite a
    // file of the project. Empty when the caller writes it elsewhere (tests).
    std::string outputPath;
};

struct BuildResult {
    std::vector<uint8_t> application;  // BuildProject only: the image with the package behind it
    uint64_t applicationBytes = 0;
    std::vector<ImageResource> resources;
    size_t packagedFiles = 0;
    uint64_t packageBytes = 0;
};

// The application in memory. Throws ManifestError for a faulty manifest or a missing named file
// (with the line that names it), std::runtime_error for anything else.
BuildResult BuildProject(const BuildOptions& options);

// Writes the application to `options.outputPath`, the package streamed file by file, so memory
// stays small whatever the project holds. The bytes go to a temporary file beside the output, which
// replaces the output only once it is complete: a failed or interrupted build leaves the previous
// application (or nothing) in place. Throws as BuildProject does.
BuildResult PackProject(const BuildOptions& options, const PackageProgress& progress = nullptr);

// The current time in UTC, as the build record stores it.
shell::SystemTime CurrentUtcTime();

// The last component of `folder`, which names the project in its defaults; "Application" when the
// folder is given as "." or "..".
std::string ProjectName(const std::string& folder);

}  // namespace velmo::builder
