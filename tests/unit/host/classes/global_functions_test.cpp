// The global host functions against a projector that records what they asked of it, the URI
// coding on its own, the application folder's text, and an event handler set by the movie that
// reaches the movie again through _call. What scripts see without a projector (URI texts and
// failures, _call's lists) is covered by tests/scripts/host-functions.
#include "tests/support/projector_engine.h"
#include "host/classes/global_functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/classes/uri_coding.h"
#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "host/framework/shared_records.h"
#include "host/make_engine.h"
#include "host/movie/movie_calls.h"
#include "platform/profile.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::host {
namespace {

using script::Tag;
using script::Value;

std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }
std::u16string Wide(std::string_view s) { return std::u16string(s.begin(), s.end()); }

// ---- The URI coding ----

TEST(UriCoding, EncodingKeepsItsSetAndEscapesUtf8InUpperCase) {
    const std::u16string encodeUriSet = std::u16string(kUriUnescapedSet) + std::u16string(kUriReservedSet);
    EXPECT_EQ(EncodeUriText(u"a b&c;/?#", kUriUnescapedSet), u"a%20b%26c%3B%2F%3F%23");
    EXPECT_EQ(EncodeUriText(u"a b&c;/?#", encodeUriSet), u"a%20b&c;/?#");
    // One, two, three and four octets; the pair at the top of the range.
    EXPECT_EQ(EncodeUriText(u"\u007f\u00e9\u20ac\U0001F600\U0010FFFF", kUriUnescapedSet),
              u"%7F%C3%A9%E2%82%AC%F0%9F%98%80%F4%8F%BF%BF");
    EXPECT_EQ(EncodeUriText(std::u16string(1, u'\0'), kUriUnescapedSet), u"%00");
    // Lone surrogates, at the end, before an ordinary character, and a trail without a lead.
    for (const std::u16string& text : {std::u16string{u'a', char16_t{0xD800}}, std::u16string{char16_t{0xD83D}, u'x'},
                                       std::u16string{char16_t{0xDE00}, u'x'}})
        EXPECT_FALSE(EncodeUriText(text, encodeUriSet));
}

TEST(UriCoding, DecodingAcceptsOnlyWellFormedSequences) {
    EXPECT_EQ(DecodeUriText(u"%3b%41%2F", kUriReservedSet), u"%3bA%2F");  // kept as written
    EXPECT_EQ(DecodeUriText(u"%3b%41%2F", {}), u";A/");
    EXPECT_EQ(DecodeUriText(u"%c3%A9%E2%82%AC%F0%9F%98%80x", {}), u"\u00e9\u20ac\U0001F600x");
    EXPECT_EQ(DecodeUriText(u"%F4%8F%BF%BF", {}), u"\U0010FFFF");
    EXPECT_EQ(DecodeUriText(u"no escapes", {}), u"no escapes");
    // Escapes cut short or not hexadecimal; sequences cut or broken; continuation octets as leads;
    // overlong forms; an encoded surrogate; past U+10FFFF; the five- and six-octet forms.
    const std::u16string_view malformed =
        u"% %4 %4G a% %E2%82 %E2%82% %C3 %C3%41 %80 %BF %C0%80 %E0%80%80 %F0%80%80%80 %ED%A0%80 %F4%90%80%80 "
        u"%F8%88%80%80%80 %FC%84%80%80%80%80 %FF";
    for (size_t at = 0, end = 0; at < malformed.size(); at = end + 1) {
        end = std::min(malformed.find(u' ', at), malformed.size());
        EXPECT_FALSE(DecodeUriText(malformed.substr(at, end - at), {})) << Narrow(malformed.substr(at, end - at));
    }
}

TEST(AppFolder, EndsInTheSeparatorOfItsSystem) {
    EXPECT_EQ(AppFolderOf("C:\\Program Files\\App\\app.exe"), "C:\\Program Files\\App\\");
    EXPECT_EQ(AppFolderOf("C:\\app.exe"), "C:\\");
    EXPECT_EQ(AppFolderOf("C:/tools/app.exe"), "C:/tools\\");  // a final "/" becomes "\"
    EXPECT_EQ(AppFolderOf("app.exe"), "\\");                   // a missing separator is added
    EXPECT_EQ(AppFolderOf("/usr/local/bin/velmo"), "/usr/local/bin/");
    EXPECT_EQ(AppFolderOf("/opt/odd\\name/velmo"), "/opt/odd\\name/");  // "\" is a name's letter there
    EXPECT_EQ(AppFolderOf("/velmo"), "/");
}

// ---- A recording projector ----

class MemoryProfile : public platform::Profile {
public:
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string&, const std::string&) override { return {}; }
    bool WriteBinary(const std::string&, const std::string&, std::span<const uint8_t>) override { return false; }
    std::optional<std::string> ReadString(const std::string& section, const std::string& value) override {
        const auto it = strings.find(section + "|" + value);
        if (it == strings.end()) return std::nullopt;
        return it->second;
    }
    bool WriteString(const std::string& section, const std::string& value, const std::string& text) override {
        strings[section + "|" + value] = text;
        return true;
    }
    std::optional<uint32_t> ReadInteger(const std::string&, const std::string&) override { return {}; }
    bool WriteInteger(const std::string&, const std::string&, uint32_t) override { return false; }
    std::map<std::string, std::string> strings;
};

class RecordingProjector : public Projector {
public:
    std::vector<std::string> MovieCollection() const override { return movies; }
    void Apply(SettingsChange change) override { applied.push_back(change); }
    uintptr_t MainWindow() const override { return frame; }
    void RunCommand(const std::string& command, const std::string& argument) override {
        commands.push_back(command + "|" + argument);
    }
    std::string ExtractAttachedFile(const std::string& packagePath) override {
        asked.push_back(packagePath);
        return packagePath == "data/a.txt" ? "/run/_extra/data/a.txt" : "";
    }
    platform::Profile* Profile() override { return hasProfile ? &profile : nullptr; }
    bool PumpMessages() override { return !closing; }

    std::vector<std::string> movies;
    std::vector<SettingsChange> applied;
    uintptr_t frame = 0;
    std::vector<std::string> commands;
    std::vector<std::string> asked;
    MemoryProfile profile;
    bool hasProfile = true;
    bool closing = false;
};

// ---- A stand-in Window class: values of one handle share a record, whose "onPing" event the
// method "ping(n)" fires with (n, "pong").

struct FakeWindowRecord : SharedRecord {
    using SharedRecord::SharedRecord;
    EventHandlers handlers{1};
};
struct FakeWindowState : HostClassState {
    SharedRecordTable table;
};
void FakeWindowConstruct(script::Interpreter& interp, script::ClassRecord& cls, Value* args, Value* result) {
    const std::optional<int64_t> handle = script::Args(args).Integer(1);
    if (!handle) {
        *result = Value::Null();
        return;
    }
    SharedHolder* holder = ClassStateAs<FakeWindowState>(cls)->table.NewHolder(
        static_cast<uint64_t>(*handle), [](uint64_t h) { return std::make_unique<FakeWindowRecord>(h); });
    *result = script::NewHostValue(interp, &cls, holder);
}
void FakeWindowFinalize(script::ClassRecord& cls, void* native) {
    ClassStateAs<FakeWindowState>(cls)->table.FreeHolder(native);
}
EventHandlers* FakeWindowEvents(script::ClassRecord&, void* native) {
    FakeWindowRecord* record = SharedRecordOf<FakeWindowRecord>(native);
    return record ? &record->handlers : nullptr;
}
void Ping(HostCall& call) {
    const std::optional<int64_t> n = call.args.Integer(1);
    EventHandlers* handlers = FakeWindowEvents(call.cls, call.native);
    if (!n || !handlers) return call.Fail();
    const Value pong = script::StringValue(call.interp, u"pong");
    call.Return(FireEvent(call.interp, *handlers, 0, Value::Null(), {Value::Integer(*n), pong}).resultTemp);
}
std::unique_ptr<HostClassState> MakeFakeWindowState(script::Interpreter&) {
    return std::make_unique<FakeWindowState>();
}
constexpr HostMember kFakeWindowMembers[] = {Event("onPing", 0), Method("ping", Failure::Undefined, &Ping)};
constexpr HostClassSpec kFakeWindowSpec{.name = "Window",
                                        .members = kFakeWindowMembers,
                                        .construct = &FakeWindowConstruct,
                                        .finalizeData = &FakeWindowFinalize,
                                        .events = &FakeWindowEvents,
                                        .makeState = &MakeFakeWindowState};

class GlobalFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = testing::EngineOver(projector_);
        ASSERT_TRUE(engine_);
    }
    script::Interpreter& interp() { return engine_->Interp(); }
    Value Global(std::string_view name) { return interp().GlobalByName(name); }
    void Run(std::string_view source) { ASSERT_EQ(engine_->RunSourceText(source), 1) << engine_->ErrorText(); }
    std::string Text(std::string_view name) {
        const Value v = Global(name);
        return v.Is(Tag::String) ? Narrow(script::Text(v.AsString())) : "<not a string>";
    }

    RecordingProjector projector_;
    std::unique_ptr<script::Engine> engine_;
};

TEST_F(GlobalFunctions, SetWindowlessRecordsTheShapeAndAppliesIt) {
    shell::Appearance& look = projector_.Settings().appearance;
    Run("setWindowless('masks\\\\round.bmp');");
    EXPECT_EQ(look.windowShape, shell::kShapeClip);
    EXPECT_EQ(look.clipShapeImage, "masks\\round.bmp");
    Run("setWindowless(1);");
    EXPECT_EQ(look.windowShape, shell::kShapeTransparent);
    Run("setWindowless(0);");
    EXPECT_EQ(look.windowShape, shell::kShapeRectangle);
    Run("setWindowless(new Object());");
    EXPECT_EQ(look.windowShape, shell::kShapeTransparent);
    Run("r = setWindowless();");
    EXPECT_EQ(look.windowShape, shell::kShapeRectangle);
    EXPECT_EQ(look.clipShapeImage, "masks\\round.bmp");  // only a new path replaces it
    EXPECT_TRUE(Global("r").Is(Tag::Undefined));
    EXPECT_EQ(projector_.applied, std::vector<SettingsChange>(5, SettingsChange::WindowShape));
}

TEST_F(GlobalFunctions, MoviesFilesAndScriptsComeFromTheProjector) {
    Run("m = getMovies(); n = m.length;");
    EXPECT_EQ(Global("n").AsInteger(), 0);
    projector_.movies = {"intro.swf", "C:\\movies\\main.swf"};
    Run("m = getMovies(); n = m.length; a = m[0]; b = m[1];");
    EXPECT_EQ(Global("n").AsInteger(), 2);
    EXPECT_EQ(Text("a"), "intro.swf");
    EXPECT_EQ(Text("b"), "C:\\movies\\main.swf");

    Run("f = getAdditionalFile('data/a.txt'); g = getAdditionalFile('nothing'); h = getAdditionalFile(12);"
        "i = getAdditionalFile();");
    EXPECT_EQ(Text("f"), "/run/_extra/data/a.txt");
    EXPECT_TRUE(Global("g").Is(Tag::Null));
    EXPECT_TRUE(Global("i").Is(Tag::Null));
    EXPECT_EQ(projector_.asked, (std::vector<std::string>{"data/a.txt", "nothing", "12", ""}));

    Run("r = invoke('Setup'); invoke(5); invoke();");
    EXPECT_EQ(projector_.commands, std::vector<std::string>{"Velmo_Run|Setup"});
    EXPECT_TRUE(Global("r").Is(Tag::Undefined));
}

TEST_F(GlobalFunctions, ProfileValuesAndMessagePumping) {
    Run("writeProfile('S', 'n', 12); writeProfile('S', 'o', new Object()); writeProfile('S', 'e', '');"
        "writeProfile('S', 'missing'); writeProfile(1, 'x', 'y');"
        "n = readProfile('S', 'n'); o = readProfile('S', 'o'); e = readProfile('S', 'e');"
        "m = readProfile('S', 'missing'); w = readProfile('S');");
    EXPECT_EQ(Text("n"), "12");
    EXPECT_EQ(Text("o"), "[object Object]");
    EXPECT_TRUE(Global("e").Is(Tag::Undefined));  // written, but empty reads as absent
    EXPECT_TRUE(Global("m").Is(Tag::Undefined));
    EXPECT_TRUE(Global("w").Is(Tag::Undefined));
    EXPECT_EQ(projector_.profile.strings.size(), 3u);
    projector_.hasProfile = false;
    Run("writeProfile('S', 'n', 13); n = readProfile('S', 'n');");
    EXPECT_TRUE(Global("n").Is(Tag::Undefined));
    EXPECT_EQ(projector_.profile.strings["S|n"], "12");

    Run("p = processMsg();");
    EXPECT_TRUE(Global("p").AsBoolean());
    projector_.closing = true;
    Run("p = processMsg();");
    EXPECT_TRUE(Global("p").Is(Tag::Boolean));
    EXPECT_FALSE(Global("p").AsBoolean());
}

TEST_F(GlobalFunctions, TheMainWindowNeedsAFrameAndAWindowClass) {
    Run("w = getMainWnd();");
    EXPECT_TRUE(Global("w").Is(Tag::Null));  // no frame
    projector_.frame = 0x5150;
    Run("w = getMainWnd();");
    EXPECT_TRUE(Global("w").Is(Tag::Null));  // no Window class yet

    RegisterHostClass(interp(), kFakeWindowSpec);
    Run("w = getMainWnd(); same = getMainWnd() == w; w = null;");
    EXPECT_TRUE(Global("same").AsBoolean());
    const Value kept = Global("$_MOVORA_MAIN_WINDOW_");
    ASSERT_TRUE(kept.Is(Tag::HostObject));
    interp().Collect();  // the global keeps the object, and with it the record
    EXPECT_EQ(ClassStateAs<FakeWindowState>(*kept.AsHost()->cls)->table.Size(), 1u);
    // Another frame (or a script that stored something else there) gets a new object.
    projector_.frame = 0x6160;
    Run("v = getMainWnd(); stored = v == $_MOVORA_MAIN_WINDOW_;"
        "$_MOVORA_MAIN_WINDOW_ = 5; u = getMainWnd(); again = u == v;");
    EXPECT_TRUE(Global("stored").AsBoolean());
    EXPECT_TRUE(Global("v").Is(Tag::HostObject));
    EXPECT_FALSE(Global("again").AsBoolean());
    EXPECT_NE(Global("v").AsHost(), kept.AsHost());
}

// The movie sets a handler on a host object's event; firing the event calls the movie's function
// with the event's arguments, through the handler text and _call.
TEST_F(GlobalFunctions, AMovieHandlerReachesTheMovieThroughCall) {
    RegisterHostClass(interp(), kFakeWindowSpec);
    Run("win = new Window(77);");
    std::vector<std::string> requests;
    MovieCallContext context;
    context.engine = [this] { return engine_.get(); };
    context.callMovie = [&requests](std::u16string_view request) -> std::optional<std::u16string> {
        requests.push_back(Narrow(request));
        return u"<string>handled</string>";
    };
    context.flashGateOpen = true;
    const std::string seh =
        "<invoke name=\"velmo_seh\" returntype=\"xml\"><arguments><string>win</string>"
        "<string>onPing</string><string>onWindowPing</string></arguments></invoke>";
    ASSERT_EQ(Narrow(*HandleMovieCall(context, Wide(seh))), "<undefined/>");
    EXPECT_TRUE(requests.empty());

    Run("r = win.ping(5);");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0],
              "<invoke name=\"onWindowPing\" returntype=\"xml\"><arguments><number>5</number>"
              "<string>pong</string></arguments></invoke>");
    EXPECT_EQ(Text("r"), "handled");  // the movie's reply is the handler's result
}

}  // namespace
}  // namespace velmo::host
