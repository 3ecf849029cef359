// The Win32 system services against the real system calls (under wine in CI): registry profile,
// system error texts, ANSI conversion and file share modes.
#include <gtest/gtest.h>

#include <cctype>

#include "platform/files.h"
#include "platform/guid.h"
#include "platform/last_error.h"
#include "platform/movie_reads.h"
#include "platform/os/win32/handles.h"  // the Win32 declarations come with it
#undef DeleteFile                       // the platform layer has its own
#include "platform/os/win32/registry.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tests/support/scratch.h"

namespace velmo::platform {
namespace {

// A key of its own under HKEY_CURRENT_USER\Software, removed with everything below it at the end.
struct TestKey {
    std::string name = "VelmoTest" + Utf16ToAnsi(NewGuidText());
    ~TestKey() { (void)win32::RemoveUserSoftwareKey(name); }
};

TEST(Win32Profile, ValuesRoundTripByTypeAndNamesIgnoreCase) {
    TestKey key;
    const std::vector<uint8_t> bytes = {0, 1, 0xFF, 0, 0x80};
    {
        auto p = OpenProfile(key.name, "Product\\V1.0");
        ASSERT_TRUE(p->WriteBinary("Settings", "Options", bytes));
        ASSERT_TRUE(p->WriteString("Settings", "Caption", "My caf\xE9"));
        ASSERT_TRUE(p->WriteString("Settings", "Empty", ""));
        ASSERT_TRUE(p->WriteInteger("Settings", "Count", 0xFFFFFFFFu));
    }
    auto p = OpenProfile(key.name, "product\\v1.0");
    EXPECT_EQ(p->ReadBinary("SETTINGS", "options"), bytes);
    EXPECT_EQ(p->ReadString("settings", "CAPTION"), "My caf\xE9");
    EXPECT_EQ(p->ReadString("Settings", "Empty"), "");
    EXPECT_EQ(p->ReadInteger("Settings", "Count"), 0xFFFFFFFFu);

    EXPECT_EQ(p->ReadInteger("Settings", "Caption"), std::nullopt);  // stored with another type
    EXPECT_EQ(LastErrorCode(), kErrorInvalidData);
    EXPECT_EQ(p->ReadString("Settings", "Options"), std::nullopt);
    EXPECT_EQ(p->ReadBinary("Settings", "Missing"), std::nullopt);
    EXPECT_EQ(LastErrorCode(), kErrorFileNotFound);
    EXPECT_EQ(p->ReadBinary("No such section", "Options"), std::nullopt);

    ASSERT_TRUE(p->WriteInteger("Settings", "COUNT", 7));  // replaces, in place of a second value
    EXPECT_EQ(p->ReadInteger("Settings", "count"), 7u);

    ASSERT_TRUE(win32::RemoveUserSoftwareKey(key.name));
    EXPECT_EQ(p->ReadInteger("Settings", "Count"), std::nullopt);
    EXPECT_FALSE(win32::RemoveUserSoftwareKey(""));
}

TEST(Win32LastError, SystemTextsAreTrimmedAndKeepTheLastError) {
    SetLastErrorCode(kErrorAccessDenied);
    const std::string text = SystemErrorText(kErrorFileNotFound);
    EXPECT_EQ(LastErrorCode(), kErrorAccessDenied);
    ASSERT_FALSE(text.empty());
    EXPECT_LE(text.size(), 255u);
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(text.find("System error"), std::string::npos);  // the system's text, not our fallback
    EXPECT_NE(SystemErrorText(kErrorFileNotFound), SystemErrorText(kErrorPathNotFound));
    EXPECT_EQ(SystemErrorText(0x2000FFFFu), "System error 536936447.");
}

TEST(Win32Text, AnsiRoundTripsAndCaseFoldingKeepsEmbeddedNuls) {
    std::string ascii;
    for (char c = ' '; c < 0x7F; ++c) ascii += c;
    EXPECT_EQ(AnsiToUtf16(ascii), std::u16string(ascii.begin(), ascii.end()));
    EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(ascii)), ascii);
    EXPECT_EQ(AnsiToUtf16(""), u"");
    EXPECT_EQ(Utf16ToAnsi(u"a\xD800"
                          "b"),
              "a?b");  // the code page's default character
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(AnsiToUtf16(withNul), std::u16string(u"a\0b", 3));

    EXPECT_TRUE(AnsiEqualNoCase("Application", "aPPLICATION"));
    EXPECT_TRUE(AnsiEqualNoCase("", ""));
    EXPECT_FALSE(AnsiEqualNoCase("", "a"));
    EXPECT_FALSE(AnsiEqualNoCase(withNul, std::string("a\0c", 3)));  // lstrcmpiA would stop at the NUL
    EXPECT_FALSE(AnsiEqualNoCase("movie.swf", "movie.swf2"));
}

TEST(Win32Files, ShareModesFoldersAndErrorsMatchTheInterface) {
    testing::ScratchFolder scratch;
    const std::string path = scratch.Write("data.bin", testing::Bytes("0123456789"));

    auto reader = OpenFile(path, FileMode::ReadShared);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(OpenFile(path, FileMode::ReadShared));        // readers share
    EXPECT_FALSE(OpenFile(path, FileMode::CreateReadWrite));  // writers are shut out
    EXPECT_EQ(reader->Seek(-1, SeekFrom::Begin), -1);
    EXPECT_EQ(reader->Seek(-3, SeekFrom::End), 7);
    char tail[8] = {};
    EXPECT_EQ(reader->Read(tail, sizeof tail), 3u);
    EXPECT_STREQ(tail, "789");
    reader.reset();

    EXPECT_FALSE(CreateFolder(scratch.Path() + "data.bin"));
    EXPECT_EQ(LastErrorCode(), kErrorAlreadyExists);
    EXPECT_FALSE(CreateFolder(scratch.Path() + "missing\\child"));
    EXPECT_EQ(LastErrorCode(), kErrorPathNotFound);
    ASSERT_TRUE(CreateFolder(scratch.Path() + "sub"));
    EXPECT_FALSE(OpenFile(scratch.Path() + "sub", FileMode::ReadShared));
    EXPECT_FALSE(DeleteFile(scratch.Path() + "sub"));
    EXPECT_EQ(LastErrorCode(), kErrorAccessDenied);
    EXPECT_TRUE(FolderExists(scratch.Path() + "sub"));
    EXPECT_FALSE(FileExists(scratch.Path() + "sub"));

    std::vector<FolderEntry> entries = ListFolder(scratch.Path());
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "data.bin");
    EXPECT_FALSE(entries[0].isFolder);
    EXPECT_EQ(entries[1].name, "sub");
    EXPECT_TRUE(entries[1].isFolder);
}

}  // namespace
}  // namespace velmo::platform

namespace velmo::platform {
namespace {

// A stand-in for a deciphered movie: the stored file's bytes with every bit of 0x5A flipped, read
// through OpenFile, as the real source reads the stored movie.
class FlippedMovie final : public PlainMovie {
public:
    explicit FlippedMovie(std::unique_ptr<File> file) : file_(std::move(file)) {}
    uint64_t Size() override { return static_cast<uint64_t>(file_->Size()); }
    size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t size) override {
        if (file_->Seek(static_cast<int64_t>(offset), SeekFrom::Begin) < 0) return 0;
        const size_t got = file_->Read(buffer, size);
        for (size_t i = 0; i < got; ++i) buffer[i] ^= 0x5A;
        return got;
    }

private:
    std::unique_ptr<File> file_;
};

std::string ReadThrough(HANDLE file, DWORD size) {
    std::string text(size, '\0');
    DWORD got = 0;
    if (!::ReadFile(file, text.data(), size, &got, nullptr)) return "<failed>";
    text.resize(got);
    return text;
}

TEST(Win32MovieReads, OpeningsOfTheMovieForReadingSeeThePlainBytesThroughEveryFileCall) {
    const testing::ScratchFolder folder;
    const std::string plain = "FWS movie bytes";
    std::vector<uint8_t> stored(plain.begin(), plain.end());
    for (uint8_t& b : stored) b ^= 0x5A;
    const std::string path = folder.Write("movie.swf", stored);
    const std::string other = folder.Write("other.bin", stored);
    ASSERT_TRUE(RedirectMovieReads({}, path, [path] {
        std::unique_ptr<File> file = OpenFile(path, FileMode::ReadShared);
        return file ? std::make_unique<FlippedMovie>(std::move(file)) : nullptr;
    }));

    // This program's own reads, through the platform layer.
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), plain);

    // The system calls themselves, by another spelling of the path.
    std::string spelled = path;
    for (char& c : spelled) c = c == '\\' ? '/' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const HANDLE file =
        ::CreateFileA(spelled.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadThrough(file, 3), "FWS");
    DWORD high = 7;
    EXPECT_EQ(::GetFileSize(file, &high), plain.size());
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(::SetFilePointer(file, -5, nullptr, FILE_END), plain.size() - 5);
    EXPECT_EQ(ReadThrough(file, 100), "bytes");
    EXPECT_EQ(::SetFilePointer(file, -100, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    LARGE_INTEGER at{};
    at.QuadPart = 4;
    LARGE_INTEGER now{};
    ASSERT_TRUE(::SetFilePointerEx(file, at, &now, FILE_BEGIN));
    EXPECT_EQ(now.QuadPart, 4);
    OVERLAPPED request{};
    request.Offset = 10;
    char five[5] = {};
    DWORD got = 0;
    ASSERT_TRUE(::ReadFile(file, five, sizeof five, &got, &request));
    EXPECT_EQ(std::string(five, got), "bytes");
    EXPECT_EQ(ReadThrough(file, 5), "movie");  // the overlapped read left the position alone
    // A module that looks the reader up by name gets the same view.
    using ReadFileFn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    const auto lookedUp = reinterpret_cast<ReadFileFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "ReadFile")));
    ASSERT_NE(lookedUp, nullptr);
    ASSERT_NE(::SetFilePointer(file, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    ASSERT_TRUE(lookedUp(file, five, 3, &got, nullptr));
    EXPECT_EQ(std::string(five, got), "FWS");
    EXPECT_TRUE(::CloseHandle(file));

    // Writers, other files, and everything once the redirection ends see the stored bytes.
    const HANDLE writer =
        ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadThrough(writer, 3), std::string(stored.begin(), stored.begin() + 3));
    EXPECT_TRUE(::CloseHandle(writer));
    ASSERT_TRUE(ReadWholeFile(other, bytes));
    EXPECT_EQ(bytes, stored);
    ASSERT_TRUE(RedirectMovieReads({}, {}, nullptr));
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, stored);
}

}  // namespace
}  // namespace velmo::platform
