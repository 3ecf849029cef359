// Packing a project folder: each record read back through the runtime's own readers says what the
// manifest said, the fingerprint follows the settings, and missing files name the line asking for them.
#include <gtest/gtest.h>

#include "platform/byte_order.h"
#include "platform/common/pe_resources.h"
#include "platform/files.h"
#include "script/compiler/compiler.h"
#include "shell/digest.h"
#include "shell/identifier_record.h"
#include "shell/movie_list.h"
#include "shell/package.h"
#include "shell/resource_blob.h"
#include "shell/settings_record.h"
#include "tests/support/scratch.h"
#include "tools/builder/project_builder.h"

namespace velmo::builder {
namespace {

using testing::Bytes;

constexpr shell::SystemTime kBuildTime{2025, 3, 1, 4, 5, 6, 7, 8};

// A project folder "Game" in a scratch folder, with a movie in it.
class Project {
public:
    Project() : folder_(scratch_.Path() + "Game\\") {
        if (!platform::CreateFolder(scratch_.Path() + "Game")) throw std::runtime_error("cannot create project");
        Write("movie.swf", Bytes("FWS movie"));
    }
    const std::string& Folder() const { return folder_; }
    void Write(const std::string& path, const std::vector<uint8_t>& bytes) const {
        for (size_t slash = path.find('\\'); slash != std::string::npos; slash = path.find('\\', slash + 1))
            (void)platform::CreateFolder(folder_ + path.substr(0, slash));
        if (!platform::WriteWholeFile(folder_ + path, bytes)) throw std::runtime_error("cannot write " + path);
    }
    BuildResult Build(const std::string& manifest, const std::string& output = "") const {
        Write("velmo.toml", Bytes(manifest));
        return BuildProject({folder_, "", kBuildTime, output});
    }
    std::string Error(const std::string& manifest, const std::string& output = "") const {
        try {
            (void)Build(manifest, output);
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        return "<no error>";
    }

private:
    testing::ScratchFolder scratch_;
    std::string folder_;
};

std::vector<uint8_t> Resource(const std::vector<uint8_t>& image, const std::string& type, const std::string& name) {
    platform::MemoryByteSource source(image);
    const platform::PeResourceTable table = platform::ReadPeResources(source);
    const platform::PeResource* r = table.Find(platform::ResourceKey::Parse(type), platform::ResourceKey::Parse(name));
    if (!r) return {};
    return platform::ReadPeResourceData(source, *r).value_or(std::vector<uint8_t>());
}

std::vector<uint8_t> Record(const std::vector<uint8_t>& image, const std::string& name) {
    return shell::DecodeResourceBlob(Resource(image, "MOVORA", name));
}

const char* const kFullManifest = R"([application]
identifier = "Acme/Game\\V2.0"
guid = "{01234567-89AB-CDEF-0123-456789ABCDEF}"
[movie]
file = "movie.swf"
[about]
product = "Game"
company = "Acme"
background = "art/about.bmp"
[appearance]
regions = ["masks/round.msk"]
border = ["single", "resizable"]
[window]
size = "custom"
width = 800
height = 600
[flash_player]
installer = "player.exe"
version = [10, 1, 2, 3]
[scripts]
Initialize = "init.qvc"
)";

TEST(ProjectBuilder, RecordsReadBackThroughTheRuntimeReaders) {
    Project p;
    p.Write("art\\about.bmp", Bytes("BM bitmap bytes"));
    p.Write("masks\\round.msk", Bytes("MASK"));
    p.Write("player.exe", Bytes("MZ installer"));
    const std::vector<uint8_t> module = script::compiler::CompileString("return true;", 0).module;
    p.Write("init.qvc", module);
    const BuildResult built = p.Build(kFullManifest);
    const std::vector<uint8_t>& app = built.application;

    builder::Manifest expected = ParseManifest(kFullManifest, "Game");
    expected.settings.build.buildTime = kBuildTime;
    shell::SettingsRecord settings;
    ASSERT_TRUE(shell::ReadSettingsRecord(Record(app, "ST"), settings));
    EXPECT_EQ(settings, expected.settings);

    const std::optional<shell::IdentifierRecord> id = shell::ReadIdentifierRecord(Resource(app, "MOVORA", "ID"), "x");
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(id->identifier, "Acme/Game\\V2.0");
    EXPECT_EQ(id->guidText, "{01234567-89AB-CDEF-0123-456789ABCDEF}");

    // "ML": flags 14, the name as a count of UTF-16 units with the NUL, then 260 zero bytes.
    std::vector<uint8_t> ml = {14, 0, 0, 0, 10, 0, 0, 0};
    for (char c : std::string("movie.swf")) ml.insert(ml.end(), {static_cast<uint8_t>(c), 0});
    ml.insert(ml.end(), 2 + 260, 0);
    EXPECT_EQ(Record(app, "ML"), ml);

    // "RG": one image named by its file stem, then its size and bytes.
    std::vector<uint8_t> rg = {1, 0, 0, 0, 6, 0, 0, 0, 'r', 0, 'o', 0, 'u', 0, 'n', 0, 'd', 0, 0, 0, 4, 0, 0, 0};
    rg.insert(rg.end(), {'M', 'A', 'S', 'K'});
    EXPECT_EQ(Record(app, "RG"), rg);

    const std::vector<uint8_t> fp = Record(app, "FP");
    ASSERT_EQ(fp.size(), 276u);
    EXPECT_EQ((std::array{platform::LoadU32(&fp[0]), platform::LoadU32(&fp[4]), platform::LoadU32(&fp[8]),
                          platform::LoadU32(&fp[12])}),
              (std::array<uint32_t, 4>{10, 1, 2, 3}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&fp[16])), "player.exe");
    EXPECT_TRUE(std::all_of(fp.begin() + 16 + 10, fp.end(), [](uint8_t b) { return b == 0; }));

    EXPECT_EQ(Record(app, "BK"), Bytes("BM bitmap bytes"));
    EXPECT_EQ(shell::DecodeResourceBlob(Resource(app, "VELMO", "Initialize")), module);

    // The package holds every file but the manifest.
    testing::ScratchFolder out;
    const std::string file = out.Write("app.exe", app);
    const auto listing = shell::ListPackage(file);
    ASSERT_TRUE(listing.has_value());
    std::vector<std::string> paths;
    for (const shell::PackageListing& e : *listing) paths.push_back(e.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"art", "art\\about.bmp", "init.qvc", "masks", "masks\\round.msk",
                                               "movie.swf", "player.exe"}));
    EXPECT_EQ(built.packagedFiles, 5u);
}

TEST(ProjectBuilder, FingerprintChangesWithTheSettingsAndNothingElse) {
    Project p;
    const std::string base = "[movie]\nfile = \"movie.swf\"\n";
    const std::vector<uint8_t> first = p.Build(base).application;
    const std::vector<uint8_t> cs = Resource(first, "MOVORA", "CS");
    ASSERT_EQ(cs.size(), 16u);
    const shell::Md5Digest digest = shell::Md5(Record(first, "ST"));
    EXPECT_TRUE(std::equal(cs.begin(), cs.end(), digest.begin()));
    EXPECT_EQ(Resource(first, "MOVORA", "RG"), Resource(p.Build(base).application, "MOVORA", "RG"));
    EXPECT_TRUE(Record(first, "RG") == (std::vector<uint8_t>{0, 0, 0, 0}));  // always present, empty
    EXPECT_TRUE(Resource(first, "MOVORA", "FP").empty());
    EXPECT_TRUE(Resource(first, "MOVORA", "BK").empty());

    p.Write("data.xml", Bytes("<level/>"));  // packed content is not a setting
    EXPECT_EQ(Resource(p.Build(base).application, "MOVORA", "CS"), cs);
    EXPECT_NE(Resource(p.Build(base + "[window]\nkeep_ratio = true\n").application, "MOVORA", "CS"), cs);
    EXPECT_NE(Resource(p.Build(base + "[about]\nversion = \"1.1\"\n").application, "MOVORA", "CS"), cs);
    // The build time is stored with the settings, so a new build time is a new fingerprint.
    EXPECT_NE(Resource(p.Build(base + "[build]\ntime = \"2025-03-01T05:06:07Z\"\n").application, "MOVORA", "CS"), cs);
}

TEST(ProjectBuilder, MissingOrWrongFilesAreReportedWithTheLineNamingThem) {
    Project p;
    EXPECT_EQ(p.Error("[movie]\nfile = \"intro.swf\"\n"),
              "velmo.toml:2: [movie] file: \"intro.swf\" is not in the project folder");
    p.Write("art\\x.bmp", Bytes("BM"));
    EXPECT_EQ(p.Error("[movie]\nfile = \"movie.swf\"\n[scripts]\nInitialize = \"art\"\n"),
              "velmo.toml:4: [scripts] Initialize: \"art\" is a folder");
    p.Write("bad.qvc", Bytes("module bytes"));
    EXPECT_EQ(p.Error("[movie]\nfile = \"movie.swf\"\n[scripts]\nInitialize = \"bad.qvc\"\n"),
              "velmo.toml:4: [scripts] Initialize: \"bad.qvc\" is not a valid compiled module");
    p.Write("bad.qvs", Bytes("x = (;"));
    EXPECT_EQ(p.Error("[movie]\nfile = \"movie.swf\"\n[scripts]\nInitialize = \"bad.qvs\"\n"),
              "velmo.toml:4: [scripts] Initialize: \"bad.qvs\" does not compile:\n"
              "error: line 0: syntax error: invalid expression\r\n");
    p.Write("not.bmp", Bytes("GIF89a and more bytes"));
    EXPECT_EQ(p.Error("[movie]\nfile = \"movie.swf\"\n[about]\nbackground = \"not.bmp\"\n"),
              "velmo.toml:4: [about] background: \"not.bmp\" is not a BMP file");
    EXPECT_EQ(p.Error("[movie]\nfile = \"movie.swf\"\ncolour = 1\n"), "velmo.toml:3: unknown key 'colour' in [movie]");

    testing::ScratchFolder empty;
    try {
        (void)BuildProject({empty.Path(), "", kBuildTime, ""});
        ADD_FAILURE() << "a folder without velmo.toml was packed";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("has no readable velmo.toml"), std::string::npos);
    }
    EXPECT_THROW((void)BuildProject({empty.Path() + "missing", "", kBuildTime, ""}), std::runtime_error);
}

TEST(ProjectBuilder, SourceScriptsAreCompiledIntoTheirModules) {
    Project p;
    p.Write("init.QVS", Bytes("return true;"));
    const auto built = p.Build("[movie]\nfile = \"movie.swf\"\n[scripts]\nInitialize = \"init.QVS\"\n");
    const std::vector<uint8_t> module = shell::DecodeResourceBlob(Resource(built.application, "VELMO", "Initialize"));
    ASSERT_EQ(module.size(), 72u);  // the module of `return true;`
    EXPECT_EQ(std::string(module.begin(), module.begin() + 4), "QX1b");
}

// Packing again into the project folder must not pack the last build, version-control state or
// editor back-ups, and must never overwrite what the project is made of.
TEST(ProjectBuilder, TheOutputHiddenFilesAndBackupsStayOutAndProjectFilesAreNeverOverwritten) {
    Project p;
    const std::string manifest = "[movie]\nfile = \"movie.swf\"\n";
    p.Write("data\\level.txt", Bytes("level"));
    p.Write(".git\\config", Bytes("[core]"));
    p.Write(".hidden", Bytes("x"));
    p.Write("notes.txt~", Bytes("x"));
    p.Write("old.BAK", Bytes("x"));
    p.Write("data\\.level.txt.swp", Bytes("x"));
    p.Write("app.exe", Bytes("MZ the previous build"));
    EXPECT_EQ(p.Build(manifest, p.Folder() + "app.exe").packagedFiles, 2u);  // movie.swf, data\level.txt
    EXPECT_EQ(p.Build(manifest).packagedFiles, 3u);  // written elsewhere: app.exe is just a file

    const std::string refused = "refusing to write ";
    EXPECT_EQ(p.Error(manifest, p.Folder() + "velmo.toml").rfind(refused, 0), 0u);
    EXPECT_NE(p.Error(manifest, p.Folder() + "movie.swf").find("which [movie] file names"), std::string::npos);
    EXPECT_NE(p.Error(manifest, p.Folder() + "data\\level.txt").find("not an application"), std::string::npos);
    EXPECT_EQ(p.Error(manifest, p.Folder() + "new.exe"), "<no error>");
    for (const char* name : {".git", "a~", "x.bak", "x.Swp"}) EXPECT_TRUE(IsLeftOutOfPackage(name)) << name;
    for (const char* name : {"movie.swf", "a.b", "bak", "a.swp.txt"}) EXPECT_FALSE(IsLeftOutOfPackage(name)) << name;
}

// The application written to a file, package streamed file by file, holds exactly the bytes of the
// one built in memory; a file larger than one piece of the stream is cut up and must join again.
TEST(ProjectBuilder, PackingToAFileWritesTheSameBytesAsBuildingInMemory) {
    Project p;
    std::vector<uint8_t> large(700 * 1024);
    uint32_t seed = 12345;
    for (uint8_t& b : large) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    p.Write("data\\large.bin", large);
    p.Write("data\\empty.txt", {});
    const std::vector<uint8_t> inMemory = p.Build("[movie]\nfile = \"movie.swf\"\n").application;
    const std::string output = p.Folder() + "app.exe";
    size_t calls = 0, lastFiles = 0;
    const BuildResult written = PackProject({p.Folder(), "", kBuildTime, output}, [&](size_t files, uint64_t) {
        ++calls;
        lastFiles = files;
    });
    std::vector<uint8_t> onDisk;
    ASSERT_TRUE(platform::ReadWholeFile(output, onDisk));
    EXPECT_EQ(onDisk, inMemory);
    EXPECT_EQ(written.applicationBytes, onDisk.size());
    EXPECT_EQ(lastFiles, 3u);
    EXPECT_GT(calls, 3u);  // the large file reports its pieces too
    EXPECT_FALSE(platform::PathExists(output + ".velmo-part"));
}

// include brings back what the default rule leaves out, exclude leaves out more and wins over
// include; patterns without '/' match names at any depth, '**' spans folders, case is ignored.
TEST(PackageFilter, ExcludeWinsOverIncludeWhichWinsOverTheDefaultRule) {
    const struct {
        const char* pattern;
        const char* path;
        bool matches;
    } rows[] = {
        {"*.txt", "a.txt", true},
        {"*.txt", "docs/A.TXT", true},
        {"*.txt", "a.txt/b", false},
        {"docs/*.txt", "docs/a.txt", true},
        {"docs/*.txt", "x/docs/a.txt", false},
        {"**/a", "x/y/a", true},
        {"**/a", "a", true},
        {"d/**", "d/x/y", true},
        {"?.bin", "ab.bin", false},
        {"data/old.bak", "data/old.bak", true},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXcYb", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(MatchesPackagePattern(row.pattern, row.path), row.matches) << row.pattern << " " << row.path;

    const PackageFilter filter({".htaccess", "*.bak"}, {"scripts", "keep.bak"});
    EXPECT_TRUE(filter.Keeps(".htaccess"));
    EXPECT_FALSE(filter.Keeps(".git"));
    EXPECT_TRUE(filter.Keeps("data/x.bak"));
    EXPECT_FALSE(filter.Keeps("keep.bak"));
    EXPECT_FALSE(filter.Keeps("scripts"));
    EXPECT_FALSE(filter.Keeps("notes~"));
    EXPECT_TRUE(filter.Keeps("movie.swf"));
}

TEST(ProjectBuilder, PackagePatternsThatCannotNameAProjectPathAreManifestErrors) {
    Project p;
    const std::string base = "[movie]\nfile = \"movie.swf\"\n[package]\n";
    for (const char* bad : {"include = [\"\"]", "exclude = [\"../x\"]", "include = [\"/abs\"]", "exclude = [\"C:x\"]",
                            "include = \"*.txt\"", "exclude = [\"a/../b\"]"})
        EXPECT_NE(p.Error(base + bad + "\n").find("velmo.toml:4:"), std::string::npos) << bad;
    EXPECT_EQ(p.Error(base + "include = [\"a\\\\b\", \"**/*.dat\"]\nexclude = []\n"), "<no error>");
}

TEST(ProjectBuilder, ProjectNameIsTheFolderNameWhicheverSeparatorEndsIt) {
    EXPECT_EQ(ProjectName("examples/demo"), "demo");
    EXPECT_EQ(ProjectName("C:\\work\\Game\\"), "Game");
    EXPECT_EQ(ProjectName("Game//"), "Game");
    EXPECT_EQ(ProjectName("."), "Application");
}

}  // namespace
}  // namespace velmo::builder
