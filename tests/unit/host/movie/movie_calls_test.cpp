// Movie calls end to end on a real engine: handles (two per object, release through one, forged
// numbers), every command's reply, argument fix-up, event handlers set by the movie and proxies
// of movie functions behind the version gate.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/make_engine.h"
#include "host/movie/handle_registry.h"
#include "host/movie/movie_calls.h"
#include "host/movie/movie_functions.h"
#include "script/runtime/heap_limits.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"
#include "tests/support/scratch.h"

namespace velmo::host {
namespace {

using script::Tag;
using script::Value;

std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }
std::u16string Wide(std::string_view s) { return std::u16string(s.begin(), s.end()); }

// A host class for the tests: instances carry an int; "ping" answers its argument count,
// "isProbe" whether its first argument is a Probe; property "size" reads and writes the int, and
// "onPing" keeps the handler in the global "seenHandler".
int finalized = 0;
void FinalizeProbe(script::ClassRecord&, void* data) {
    ++finalized;
    delete static_cast<int*>(data);
}
void ConstructProbe(script::Interpreter& interp, script::ClassRecord& cls, Value* args, Value* result) {
    const bool sized = args[0].AsInteger() >= 1 && args[1].Is(Tag::Integer);
    *result = script::NewHostValue(interp, &cls, new int(sized ? static_cast<int>(args[1].AsInteger()) : 0));
}
bool ProbeMethod(script::Interpreter& interp, script::ClassRecord& cls, void*, uint32_t nameId, Value* result,
                 Value* args) {
    if (nameId == interp.Intern("ping")) *result = Value::Integer(args[0].AsInteger());
    else if (nameId == interp.Intern("isProbe"))
        *result =
            Value::Boolean(args[0].AsInteger() >= 1 && args[1].Is(Tag::HostObject) && args[1].AsHost()->cls == &cls);
    else return false;
    return true;
}
bool ProbeProperty(script::Interpreter& interp, script::ClassRecord&, void* self, uint32_t nameId, bool isSet,
                   Value* io) {
    if (nameId == interp.Intern("onPing") && isSet) {
        interp.GlobalByName("seenHandler") = *io;
        return true;
    }
    if (nameId != interp.Intern("size") || !self) return false;
    int& size = *static_cast<int*>(self);
    if (isSet && io->Is(Tag::Integer)) size = static_cast<int>(io->AsInteger());
    if (!isSet) *io = Value::Integer(size);
    return true;
}

class MovieCalls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine_);
        finalized = 0;
        script::ClassRecord* cls = script::NewClass(interp(), "Probe");
        cls->Construct = &ConstructProbe;
        cls->CallMethod = &ProbeMethod;
        cls->Property = &ProbeProperty;
        cls->FinalizeData = &FinalizeProbe;
        script::PublishClass(interp(), "Probe", cls);
        context_.engine = [this] { return engine_.get(); };
        context_.runCommand = [this](std::string_view command, std::string_view text) {
            commands_.push_back(std::string(command) + "|" + std::string(text));
            interp().Result() = Value::Integer(42);
        };
        context_.callMovie = [this](std::u16string_view request) -> std::optional<std::u16string> {
            requests_.push_back(Narrow(request));
            return movieReply_;
        };
        context_.flashGateOpen = true;
    }
    script::Interpreter& interp() { return engine_->Interp(); }

    std::string Call(std::string_view name, std::string_view arguments) {
        const std::string request = "<invoke name=\"" + std::string(name) + "\" returntype=\"xml\"><arguments>" +
                                    std::string(arguments) + "</arguments></invoke>";
        const std::optional<std::u16string> reply = HandleMovieCall(context_, Wide(request));
        return reply ? Narrow(*reply) : "<none>";
    }
    // The handle in a "<number>H</number>" reply.
    static std::string HandleIn(const std::string& reply) {
        EXPECT_EQ(reply.rfind("<number>", 0), 0u) << reply;
        return reply.substr(8, reply.find('<', 8) - 8);
    }
    std::string NewProbe(int size) {
        return HandleIn(Call("velmo_new", "<string>Probe</string><number>" + std::to_string(size) + "</number>"));
    }

    std::unique_ptr<script::Engine> engine_ = MakeEngine();
    MovieCallContext context_;
    std::vector<std::string> commands_;
    std::vector<std::string> requests_;
    std::optional<std::u16string> movieReply_;
};

TEST_F(MovieCalls, OneObjectSentTwiceHasTwoHandlesAndReleasingOneFinalizesIt) {
    const Value probe = script::NewHostValue(interp(), interp().GlobalByName("Probe").AsHost()->cls, new int(5));
    interp().GlobalByName("keep") = probe;
    HandleRegistry& handles = HandlesOf(interp());
    const std::optional<uint32_t> first = handles.PinForMovie(probe);
    const std::optional<uint32_t> second = handles.PinForMovie(probe);
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(handles.Unpin(Value::Integer(*first)));
    EXPECT_EQ(finalized, 1);
    EXPECT_FALSE(handles.Unpin(Value::Integer(*first)));  // released once only
    const std::optional<Value> other = handles.Lookup(Value::Integer(*second));
    ASSERT_TRUE(other);
    EXPECT_EQ(other->AsHost()->nativeData, nullptr);
    interp().Collect();  // the sweep finds nothing more to finalize
    EXPECT_EQ(finalized, 1);
}

TEST_F(MovieCalls, ForgedHandlesAreRefusedWithoutBeingFollowed) {
    const uint32_t handle = *HandlesOf(interp()).PinForMovie(interp().GlobalByName("Probe"));
    const HandleRegistry& handles = HandlesOf(interp());
    EXPECT_TRUE(handles.Lookup(Value::Integer(handle)));
    EXPECT_FALSE(handles.Lookup(Value::Integer(handle + (int64_t{1} << 32))));
    EXPECT_FALSE(handles.Lookup(Value::Number(handle)));
    EXPECT_FALSE(handles.Lookup(Value::Integer(handle + 1000)));
    EXPECT_FALSE(handles.Lookup(Value::Integer(-1)));
    // A pinned value that is no host object is no target either.
    const uint32_t plain = *HandlesOf(interp()).PinForMovie(Value::Integer(3));
    EXPECT_FALSE(handles.Lookup(Value::Integer(plain)));

    EXPECT_EQ(Call("velmo_delete", "<number>123456789</number>"), "<false/>");
    EXPECT_EQ(Call("velmo_delete", ""), "<false/>");
    EXPECT_EQ(Call("velmo_call", "<number>98765</number><string>ping</string>"), "<undefined/>");
}

TEST_F(MovieCalls, ObjectCommandsReplyWithTheirResults) {
    const std::string h = NewProbe(7);
    const std::string target = "<number>" + h + "</number>";
    EXPECT_EQ(Call("velmo_call", target + "<string>ping</string><true/><null/>"), "<number>2</number>");
    EXPECT_EQ(Call("VELMO_GETPROP", target + "<string>size</string>"), "<number>7</number>");
    EXPECT_EQ(Call("velmo_setprop", target + "<string>size</string><number>9</number>"), "<undefined/>");
    EXPECT_EQ(Call("velmo_getprop", target + "<string>size</string>"), "<number>9</number>");
    EXPECT_EQ(Call("velmo_call2", target + "<string>ping</string><array><property id=\"3\"><true/></property></array>"),
              "<number>4</number>");  // elements 0 to length - 1, gaps included
    EXPECT_EQ(Call("velmo_call2", target + "<string>ping</string><number>1</number>"), "<undefined/>");
    EXPECT_EQ(Call("velmo_call", target), "<undefined/>");  // too few arguments
    // Handed back wrapped in an object, a handle stands for its host object again.
    EXPECT_EQ(Call("velmo_call", target + "<string>isProbe</string><object><property id=\"Identifier\">" + target +
                                     "</property></object>"),
              "<true/>");
    EXPECT_EQ(Call("velmo_delete", target), "<true/>");
    EXPECT_EQ(finalized, 1);
    EXPECT_EQ(Call("velmo_delete", target), "<false/>");
    EXPECT_EQ(Call("velmo_new", "<string>NoSuchClass</string>"), "<undefined/>");
}

TEST_F(MovieCalls, AGlobalNameServesAsTargetWithoutAHandle) {
    EXPECT_EQ(Call("velmo_call", "<string>Object</string><string>toSource</string>"), "<string>new Object()</string>");
    EXPECT_EQ(Call("velmo_call", "<string>Probe</string><string>ping</string><number>1</number>"),
              "<number>1</number>");
    EXPECT_EQ(Call("velmo_call", "<string>NotThere</string><string>ping</string>"), "<undefined/>");
}

TEST_F(MovieCalls, TextCommandsGoToTheCommandChannel) {
    EXPECT_EQ(Call("Velmo_Run", "<string>a = 1;</string>"), "<number>42</number>");
    EXPECT_EQ(Call("exec", "<string>notepad</string>"), "<number>42</number>");
    ASSERT_EQ(commands_.size(), 2u);
    EXPECT_EQ(commands_[0], "Velmo_Run|a = 1;");
    EXPECT_EQ(commands_[1], "exec|notepad");
    EXPECT_EQ(Call("velmo_eval", "<number>1</number>"), "<undefined/>");
    EXPECT_EQ(commands_.size(), 2u);
}

TEST_F(MovieCalls, OtherNamesCallGlobalScriptFunctions) {
    ASSERT_EQ(engine_->RunSourceText("function add(a, b) { return a + b; }"), 1);
    EXPECT_EQ(Call("add", "<number>2</number><number>3</number>"), "<number>5</number>");
    EXPECT_EQ(Call("add", "<string>a</string><string></string>"), "<string>a</string>");
    EXPECT_EQ(Call("missing", "<number>1</number>"), "<undefined/>");
    EXPECT_EQ(engine_->ErrorText(), "Warning: call a undefined function");
    // Requests without a name, without arguments, or that do not parse.
    EXPECT_EQ(Narrow(*HandleMovieCall(context_, u"<invoke returntype=\"xml\"><arguments/></invoke>")), "<undefined/>");
    EXPECT_EQ(Narrow(*HandleMovieCall(context_, u"<invoke name=\"add\"/>")), "<undefined/>");
    EXPECT_EQ(Narrow(*HandleMovieCall(context_, u"<invoke name=\"add\"><arguments></x>")), "<undefined/>");
    context_.engine = [] { return static_cast<script::Engine*>(nullptr); };
    EXPECT_FALSE(HandleMovieCall(context_, u"<invoke name=\"add\"><arguments/></invoke>"));
}

TEST_F(MovieCalls, SettingAnEventHandlerMakesAProxyAndAHandlerFunction) {
    const std::string h = NewProbe(1);
    EXPECT_EQ(Call("velmo_seh", "<number>" + h + "</number><string>onPing</string><string>movieFn</string>"),
              "<undefined/>");
    EXPECT_TRUE(interp().GlobalByName("movieFn").Is(Tag::HostObject));
    const Value handler = interp().GlobalByName("f" + h + "_onPing");
    ASSERT_TRUE(handler.Is(Tag::Function));
    const Value seen = interp().GlobalByName("seenHandler");
    ASSERT_TRUE(seen.Is(Tag::Function));
    EXPECT_EQ(seen.AsFunction(), handler.AsFunction());
    // Names that would not stay inside the handler's text set nothing.
    interp().GlobalByName("seenHandler") = Value::Undefined();
    Call("velmo_seh", "<number>" + h + "</number><string>onPing</string><string>x'); evil(); ('</string>");
    Call("velmo_seh", "<number>" + h + "</number><string>on Ping</string><string>movieFn</string>");
    EXPECT_TRUE(interp().GlobalByName("seenHandler").Is(Tag::Undefined));
}

// The function name may be the very global that names the target: registering its proxy drops the
// last reference to the object while the handler's text still has to run. Under the stressed
// collector that text collects, so the target must stay pinned until the command is done.
TEST(MovieCallTargets, ATargetWhoseGlobalIsReplacedMidCommandStaysAlive) {
    const testing::ScopedEnvironment stress(script::kGcStressVariable, "1");
    const std::unique_ptr<script::Engine> engine = MakeEngine();
    ASSERT_TRUE(engine);
    script::Interpreter& interp = engine->Interp();
    script::ClassRecord* cls = script::NewClass(interp, "Probe");
    cls->Construct = &ConstructProbe;
    cls->Property = &ProbeProperty;
    cls->FinalizeData = &FinalizeProbe;
    script::PublishClass(interp, "Probe", cls);
    ASSERT_EQ(engine->RunSourceText("P = new Probe(3);"), 1) << engine->ErrorText();
    finalized = 0;
    MovieCallContext context;
    context.engine = [&engine] { return engine.get(); };
    context.flashGateOpen = true;
    const std::string request =
        "<invoke name=\"velmo_seh\" returntype=\"xml\"><arguments><string>P</string>"
        "<string>onPing</string><string>P</string></arguments></invoke>";
    EXPECT_EQ(Narrow(*HandleMovieCall(context, Wide(request))), "<undefined/>");
    EXPECT_TRUE(interp.GlobalByName("P").Is(Tag::HostObject));          // now the movie function's proxy
    EXPECT_TRUE(interp.GlobalByName("seenHandler").Is(Tag::Function));  // set on the old Probe
    EXPECT_EQ(finalized, 0);
    interp.Collect();
    EXPECT_EQ(finalized, 1);  // unpinned once the command ended
}

TEST_F(MovieCalls, ProxiesCallTheMovieOnlyBehindAnOpenGate) {
    ASSERT_TRUE(RegisterMovieFunction(interp(), context_, u"movieFn"));
    EXPECT_FALSE(RegisterMovieFunction(interp(), context_, u""));
    movieReply_ = u"<number>7</number>";
    ASSERT_EQ(engine_->RunSourceText("r = movieFn(1, 'a&b');"), 1) << engine_->ErrorText();
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(requests_[0],
              "<invoke name=\"movieFn\" returntype=\"xml\"><arguments><number>1</number>"
              "<string>a&amp;b</string></arguments></invoke>");
    ASSERT_TRUE(interp().GlobalByName("r").Is(Tag::Integer));
    EXPECT_EQ(interp().GlobalByName("r").AsInteger(), 7);

    movieReply_.reset();  // the movie has no such callback
    ASSERT_EQ(engine_->RunSourceText("r = movieFn();"), 1);
    EXPECT_TRUE(interp().GlobalByName("r").Is(Tag::Undefined));

    context_.flashGateOpen = false;
    movieReply_ = u"<number>7</number>";
    ASSERT_EQ(engine_->RunSourceText("r = movieFn(2);"), 1);
    EXPECT_TRUE(interp().GlobalByName("r").Is(Tag::Undefined));
    EXPECT_EQ(requests_.size(), 2u);  // the closed gate never reached the control
}

}  // namespace
}  // namespace velmo::host
