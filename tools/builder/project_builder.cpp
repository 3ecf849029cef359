// Every resource the runtime expects ("ID", "ST", "CS", "ML", "RG") is always written, so that
// an application never depends on how the runtime treats a missing record.
#include "tools/builder/project_builder.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>

#include "platform/byte_order.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "platform/text.h"
#include "script/compiler/compiler.h"
#include "script/runtime/module_reader.h"
#include "script/runtime/module_verifier.h"
#include "shell/movie_cipher.h"
#include "shell/digest.h"
#include "shell/identifier_record.h"
#include "shell/menu_definition.h"
#include "tools/builder/blob_writer.h"
#include "tools/builder/menu_text.h"
#include "tools/builder/package_writer.h"
#include "tools/builder/records_writer.h"

namespace velmo::builder {

namespace {
// ": " and the system's text for the failure just seen, for messages that name a file.
std::string SystemReason() { return ": " + platform::SystemErrorText(platform::LastErrorCode()); }
}  // namespace

namespace {

std::vector<uint8_t> ReadNamedFile(const std::string& projectFolder, const NamedFile& file) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(platform::JoinPath(projectFolder, file.path), bytes))
        throw ManifestError(kManifestFileName, file.line, file.namedBy + ": cannot read \"" + file.path + "\"");
    return bytes;
}

void CheckNamedFiles(const Manifest& manifest, const std::string& projectFolder) {
    for (const NamedFile& file : manifest.namedFiles) {
        const std::string path = platform::JoinPath(projectFolder, file.path);
        if (platform::FolderExists(path))
            throw ManifestError(kManifestFileName, file.line, file.namedBy + ": \"" + file.path + "\" is a folder");
        if (!platform::FileExists(path))
            throw ManifestError(kManifestFileName, file.line,
                                file.namedBy + ": \"" + file.path + "\" is not in the project folder");
    }
}

ImageResource Blob(const char* type, const std::string& name, const std::vector<uint8_t>& data) {
    return {type, name, 0, EncodeResourceBlob(data)};
}

// A ".qvs" script is compiled; anything else must already be a module the runtime would accept.
// Either way a script that would fail at start-up fails the build instead.
std::vector<uint8_t> ScriptModule(const std::string& projectFolder, const ScriptResource& script) {
    const std::vector<uint8_t> bytes = ReadNamedFile(projectFolder, script.file);
    const std::string& path = script.file.path;
    const bool isSource = path.size() > 4 && platform::AnsiEqualNoCase(path.substr(path.size() - 4), ".qvs");
    if (isSource) {
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        const script::compiler::CompileResult compiled = script::compiler::CompileString(text, 0);
        if (!compiled.ok)
            throw ManifestError(
                kManifestFileName, script.file.line,
                "[scripts] " + script.name + ": \"" + path + "\" does not compile:\n" + compiled.diagnostics);
        return compiled.module;
    }
    const std::optional<script::Module> module = script::ReadModuleMemory(bytes);
    const script::ModuleCheck check = module ? script::VerifyModule(*module) : script::ModuleCheck{};
    if (!module || !check.ok)
        throw ManifestError(kManifestFileName, script.file.line,
                            "[scripts] " + script.name + ": \"" + path + "\" is not a valid compiled module" +
                                (module ? " (" + check.reason + ")" : std::string()));
    return bytes;
}

// Whether `path` lies below `folder` (both final paths, as the system spells them).
bool IsBelow(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() + 1 && platform::SamePath(path.substr(0, folder.size()), folder) &&
           (path[folder.size()] == '/' || path[folder.size()] == '\\');
}

// A link is packed as what it points at, so it must point inside the project: a link out of it
// would pack files the author never put there (a home folder, the whole disk). A link to a folder
// that holds the link would be entered for ever.
void CheckLink(const std::string& path, const std::string& relativePath, const std::string& projectFinal) {
    const std::optional<std::string> target = platform::FinalPath(path);
    if (!target || !IsBelow(*target, projectFinal))
        throw std::runtime_error("refusing to pack the link " + relativePath + ": it points outside the project");
    const std::optional<std::string> holder = platform::FinalPath(std::string(platform::FolderPart(path)));
    if (platform::FolderExists(*target) && holder &&
        (platform::SamePath(*holder, *target) || IsBelow(*holder, *target)))
        throw std::runtime_error("refusing to pack the link " + relativePath + ": it points at a folder that holds it");
}

// Every file of the project that the [package] patterns and the default rule keep, except the
// manifest (it holds nothing the runtime reads) and the application being written (packing it
// would put the previous build into the next one), whatever the patterns say.
std::vector<PackageItem> PackageItems(const Manifest& manifest, const std::string& projectFolder,
                                      const std::string& outputPath) {
    const std::string manifestPath = platform::JoinPath(projectFolder, kManifestFileName);
    const PackageFilter filter(manifest.packageInclude, manifest.packageExclude);
    const std::string projectFinal = platform::FinalPath(projectFolder).value_or(projectFolder);
    return CollectFolder(projectFolder, [&](const std::string& path, const std::string& relativePath,
                                            const platform::FolderEntry& entry) {
        if (!filter.Keeps(relativePath)) return false;
        if (!entry.isFolder &&
            (platform::SamePath(path, manifestPath) || (!outputPath.empty() && platform::SamePath(path, outputPath))))
            return false;
        if (entry.isLink) CheckLink(path, relativePath, projectFinal);
        return true;
    });
}

// Replaces the movie's package item by its enciphered form, held in memory while the package is
// written (a movie is read whole to be enciphered; other files still stream).
void EncipherPackedMovie(std::vector<PackageItem>& items, const Manifest& manifest) {
    const std::string& name = manifest.movieList.movieName;
    std::vector<PackageItem>* level = &items;
    PackageItem* found = nullptr;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find_first_of("/\\", start), name.size());
        const std::string part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        const auto it = std::find_if(level->begin(), level->end(), [&](const PackageItem& item) {
            return platform::AnsiEqualNoCase(item.name, part);
        });
        found = it == level->end() ? nullptr : &*it;
        if (!found) break;
        level = &found->children;
    }
    if (!found || found->isFolder)
        throw std::runtime_error("[movie] key: the movie \"" + name +
                                 "\" is not in the package, so it cannot be enciphered");
    std::vector<uint8_t> plain;
    if (!found->sourcePath.empty() && !platform::ReadWholeFile(found->sourcePath, plain))
        throw std::runtime_error("cannot read " + found->sourcePath + SystemReason());
    if (found->sourcePath.empty()) plain = found->data;
    found->data = shell::EncipherMovie(plain, manifest.movieKey);
    found->sourcePath.clear();
    found->sizeBytes = found->data.size();
}

// An output path that names the manifest, a file the manifest names, or any other existing file
// that is not an application (one that does not start with "MZ") would destroy part of the project.
void CheckOutputPath(const Manifest& manifest, const std::string& projectFolder, const std::string& outputPath) {
    if (outputPath.empty()) return;
    const auto refuse = [&](const std::string& what) {
        throw std::runtime_error("refusing to write " + outputPath + ": it would overwrite " + what);
    };
    if (platform::SamePath(outputPath, platform::JoinPath(projectFolder, kManifestFileName)))
        refuse(std::string("the project's ") + kManifestFileName);
    for (const NamedFile& file : manifest.namedFiles)
        if (platform::SamePath(outputPath, platform::JoinPath(projectFolder, file.path)))
            refuse("\"" + file.path + "\", which " + file.namedBy + " names");
    std::unique_ptr<platform::File> existing = platform::OpenFile(outputPath, platform::FileMode::ReadShared);
    char magic[2] = {};
    if (existing && (existing->Read(magic, 2) != 2 || magic[0] != 'M' || magic[1] != 'Z'))
        refuse("a file that is not an application");
}

size_t CountFiles(const std::vector<PackageItem>& items) {
    size_t count = 0;
    for (const PackageItem& item : items) count += item.isFolder ? CountFiles(item.children) : 1;
    return count;
}

}  // namespace

std::vector<ImageResource> BuildResources(const Manifest& manifest, const std::string& projectFolder) {
    std::vector<ImageResource> resources;
    resources.push_back({kRecordType, "ID", 0, shell::WriteIdentifierRecord(manifest.identifier, manifest.guid)});
    const std::vector<uint8_t> settings = shell::WriteSettingsRecord(manifest.settings);
    resources.push_back(Blob(kRecordType, "ST", settings));
    // The runtime keeps the user's changed settings until this fingerprint changes.
    const shell::Md5Digest fingerprint = shell::Md5(settings);
    resources.push_back({kRecordType, "CS", 0, std::vector<uint8_t>(fingerprint.begin(), fingerprint.end())});
    resources.push_back(Blob(kRecordType, "ML", WriteMovieList(manifest.movieList)));

    std::vector<RegionImage> regions;
    for (const NamedFile& file : manifest.regionImages)
        regions.push_back({RegionImageName(file.path), ReadNamedFile(projectFolder, file)});
    resources.push_back(Blob(kRecordType, "RG", WriteRegionImages(regions)));

    if (manifest.flashPlayer)
        resources.push_back(Blob(kRecordType, "FP", WriteFlashPlayerRecord(*manifest.flashPlayer)));
    if (manifest.aboutBackground) {
        const std::vector<uint8_t> bitmap = ReadNamedFile(projectFolder, *manifest.aboutBackground);
        if (bitmap.size() < 14 || bitmap[0] != 'B' || bitmap[1] != 'M')
            throw ManifestError(kManifestFileName, manifest.aboutBackground->line,
                                "[about] background: \"" + manifest.aboutBackground->path + "\" is not a BMP file");
        resources.push_back(Blob(kRecordType, "BK", bitmap));
    }
    for (const ScriptResource& script : manifest.scripts)
        resources.push_back(Blob(kScriptType, script.name, ScriptModule(projectFolder, script)));
    for (const MenuResource& menu : manifest.menus) {
        const std::vector<uint8_t> bytes = ReadNamedFile(projectFolder, menu.file);
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        std::string shown = menu.file.path;  // as the author wrote it in the manifest, '/' between parts
        std::replace(shown.begin(), shown.end(), '\\', '/');
        resources.push_back(
            Blob(shell::kMenuResourceType, menu.name, shell::WriteMenuDefinition(ParseMenuText(text, shown))));
    }
    return resources;
}

shell::SystemTime CurrentUtcTime() {
    using namespace std::chrono;
    const sys_time<milliseconds> now = floor<milliseconds>(system_clock::now());
    const sys_days today = floor<days>(now);
    const year_month_day date{today};
    const hh_mm_ss<milliseconds> time{now - today};
    return {static_cast<uint16_t>(static_cast<int>(date.year())),
            static_cast<uint16_t>(static_cast<unsigned>(date.month())),
            static_cast<uint16_t>(weekday{today}.c_encoding()),
            static_cast<uint16_t>(static_cast<unsigned>(date.day())),
            static_cast<uint16_t>(time.hours().count()),
            static_cast<uint16_t>(time.minutes().count()),
            static_cast<uint16_t>(time.seconds().count()),
            static_cast<uint16_t>(time.subseconds().count())};
}

std::string ProjectName(const std::string& folder) {
    std::string name = folder;
    while (!name.empty() && (name.back() == '\\' || name.back() == '/')) name.pop_back();
    name = platform::FileNamePart(name);
    if (name.empty() || name == "." || name == "..") return "Application";
    return name;
}

namespace {

// Everything of a build but the package's file contents: the resources, the image they go into,
// and the tree of files to pack.
struct BuildPlan {
    BuildResult result;
    std::vector<uint8_t> image;
    std::vector<PackageItem> items;
};

BuildPlan PlanBuild(const BuildOptions& options) {
    const std::string& folder = options.projectFolder;
    if (!platform::FolderExists(folder)) throw std::runtime_error("no project folder " + folder);
    std::vector<uint8_t> manifestBytes;
    if (!platform::ReadWholeFile(platform::JoinPath(folder, kManifestFileName), manifestBytes))
        throw std::runtime_error("the project folder " + folder + " has no readable " + kManifestFileName);
    Manifest manifest =
        ParseManifest(std::string_view(reinterpret_cast<const char*>(manifestBytes.data()), manifestBytes.size()),
                      ProjectName(folder));
    CheckNamedFiles(manifest, folder);
    CheckOutputPath(manifest, folder, options.outputPath);
    if (!manifest.hasBuildTime) manifest.settings.build.buildTime = options.buildTime.value_or(CurrentUtcTime());

    BuildPlan plan;
    plan.result.resources = BuildResources(manifest, folder);
    if (options.runtimeImage.empty()) {
        plan.image = WriteResourceImage(plan.result.resources);
    } else {
        std::vector<uint8_t> runtime;
        if (!platform::ReadWholeFile(options.runtimeImage, runtime))
            throw std::runtime_error("cannot read the runtime image " + options.runtimeImage + SystemReason());
        plan.image = AddResourcesToImage(runtime, plan.result.resources);
    }
    plan.items = PackageItems(manifest, folder, options.outputPath);
    if (!manifest.movieKey.empty()) EncipherPackedMovie(plan.items, manifest);
    plan.result.packagedFiles = CountFiles(plan.items);
    return plan;
}

// The package behind the image in the output file: patches seek back into what was written.
class FileSink final : public PackageSink {
public:
    FileSink(platform::File& file, uint64_t base, const std::string& path) : file_(file), base_(base), path_(path) {}
    void Append(const uint8_t* bytes, size_t sizeBytes) override {
        if (!file_.Write(bytes, sizeBytes)) Fail();
    }
    void PatchU32(uint64_t offset, uint32_t value) override {
        std::vector<uint8_t> word;
        platform::AppendU32(word, value);
        if (file_.Seek(static_cast<int64_t>(base_ + offset), platform::SeekFrom::Begin) < 0 ||
            !file_.Write(word.data(), word.size()) || file_.Seek(0, platform::SeekFrom::End) < 0)
            Fail();
    }

private:
    [[noreturn]] void Fail() const { throw std::runtime_error("cannot write " + path_ + SystemReason()); }
    platform::File& file_;
    uint64_t base_;
    const std::string& path_;
};

// Deletes the temporary file unless the build got as far as renaming it.
struct TemporaryFile {
    explicit TemporaryFile(std::string p) : path(std::move(p)) {}
    ~TemporaryFile() {
        if (!path.empty()) (void)platform::DeleteFile(path);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    std::string path;
};

}  // namespace

BuildResult BuildProject(const BuildOptions& options) {
    BuildPlan plan = PlanBuild(options);
    const std::vector<uint8_t> package = WritePackage(plan.items);
    plan.result.packageBytes = package.size();
    plan.result.application = std::move(plan.image);
    plan.result.application.insert(plan.result.application.end(), package.begin(), package.end());
    plan.result.applicationBytes = plan.result.application.size();
    return std::move(plan.result);
}

BuildResult PackProject(const BuildOptions& options, const PackageProgress& progress) {
    BuildPlan plan = PlanBuild(options);
    TemporaryFile temporary(options.outputPath + ".velmo-part");
    {
        std::unique_ptr<platform::File> file = platform::OpenFile(temporary.path, platform::FileMode::CreateReadWrite);
        // Messages name the application: the file beside it is only how it is written.
        if (!file) throw std::runtime_error("cannot write " + options.outputPath + SystemReason());
        if (!file->Write(plan.image.data(), plan.image.size()))
            throw std::runtime_error("cannot write " + options.outputPath + SystemReason());
        FileSink sink(*file, plan.image.size(), options.outputPath);
        plan.result.packageBytes = WritePackage(sink, plan.items, progress);
        plan.result.applicationBytes = plan.image.size() + plan.result.packageBytes;
    }
    if (!platform::RenameReplacing(temporary.path, options.outputPath))
        throw std::runtime_error("cannot write " + options.outputPath + SystemReason());
    temporary.path.clear();
    return std::move(plan.result);
}

}  // namespace velmo::builder
