// The host class framework seen from scripts and from host code, through two test classes: Probe
// (per-instance native data with an event, members of every kind, a constant, a member that tries
// to shadow "toString") and Twin (instances for one handle share a counted native record).
#include "host/framework/host_class.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/framework/event_handlers.h"
#include "host/framework/shared_records.h"
#include "host/make_engine.h"
#include "platform/text.h"
#include "script/runtime/convert.h"
#include "script/runtime/engine.h"
#include "script/runtime/internal/heap.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/properties.h"

namespace velmo::host {
namespace {

using script::ClassRecord;
using script::Interpreter;
using script::Tag;
using script::Value;

// ---- Probe ----

struct ProbeData {
    EventHandlers handlers{1};
    Value self;
    int64_t size = 0;
};
struct ProbeState : HostClassState {
    explicit ProbeState(Interpreter& interp) : classHandlers(interp, 1) {}
    EventHandlers classHandlers;  // the class value's own onPing
};
EventOutcome lastOutcome;  // what the last ping saw

void Add(HostCall& call) {
    const auto ab = call.args.RequiredIntegers<2>();
    if (!ab) return call.Fail();
    call.ReturnInteger((*ab)[0] + (*ab)[1]);
}
void Name(HostCall& call) {
    const std::optional<std::string> ansi = AnsiArg(call.args, 1);
    if (!ansi) return call.Fail();
    call.ReturnAnsi("<" + *ansi + ">");
}
void IsReady(HostCall& call) {
    if (const std::optional<bool> b = call.args.Boolean(1)) call.ReturnBoolean(*b);
}
void SetSize(HostCall& call) {
    const std::optional<int64_t> n = call.args.Integer(1);
    if (!n || !call.Native<ProbeData>()) return call.Fail();
    call.Native<ProbeData>()->size = *n;
    call.ReturnBoolean(true);
}
void Ping(HostCall& call) {
    const std::optional<int64_t> n = call.args.Integer(1);
    if (!n) return call.Fail();
    ProbeData* data = call.Native<ProbeData>();
    const EventHandlers& handlers = data ? data->handlers : ClassStateAs<ProbeState>(call.cls)->classHandlers;
    const Value self = data ? data->self : call.interp.GlobalByName("Probe");
    lastOutcome = FireEvent(call.interp, handlers, 0, self, {Value::Integer(*n)});
    call.Return(lastOutcome.resultTemp);
}
void Shadow(HostCall& call) { call.ReturnAnsi("shadowed"); }
void Size(HostProperty& access) {
    ProbeData* data = access.Native<ProbeData>();
    if (!data) return;
    if (!access.isSet) return access.Return(Value::Integer(data->size));
    if (access.Incoming().Is(Tag::Integer)) data->size = access.Incoming().AsInteger();
}
void Version(HostProperty& access) {
    if (!access.isSet) access.Return(Value::Integer(3));
}

constexpr HostMember kProbeMembers[] = {
    Method("add", Failure::Undefined, &Add),     Method("name", Failure::Null, &Name),
    Method("isReady", Failure::False, &IsReady), PropertyMember("size", &Size),
    PropertyMember("version", &Version),         Event("onPing", 0),
    Method("ping", Failure::Undefined, &Ping),   Method("toString", Failure::Null, &Shadow),
    Method("setSize", Failure::False, &SetSize),
};
constexpr HostConstant kProbeConstants[] = {{"$PROBE_BLEND", 524288}, {"$PROBE_NONE", 0}};

void ProbeConstruct(Interpreter& interp, ClassRecord& cls, Value* args, Value* result) {
    auto data = std::make_unique<ProbeData>();
    if (const std::optional<int64_t> n = script::Args(args).Integer(1)) data->size = *n;
    *result = script::NewHostValue(interp, &cls, data.get());
    data.release()->self = *result;
}
EventHandlers* ProbeEvents(ClassRecord& cls, void* native) {
    if (native) return &static_cast<ProbeData*>(native)->handlers;
    return &ClassStateAs<ProbeState>(cls)->classHandlers;
}
std::unique_ptr<HostClassState> MakeProbeState(Interpreter& interp) { return std::make_unique<ProbeState>(interp); }

constexpr HostClassSpec kProbeSpec{.name = "Probe",
                                   .displayName = "Probing",
                                   .members = kProbeMembers,
                                   .constants = kProbeConstants,
                                   .construct = &ProbeConstruct,
                                   .finalizeData = &DeleteNative<ProbeData>,
                                   .events = &ProbeEvents,
                                   .makeState = &MakeProbeState};

// ---- Twin ----

int twinRecordsDestroyed = 0;
struct TwinRecord : SharedRecord {
    using SharedRecord::SharedRecord;
    ~TwinRecord() override { ++twinRecordsDestroyed; }
    EventHandlers handlers{1};
};
struct TwinState : HostClassState {
    SharedRecordTable table;
};
std::unique_ptr<SharedRecord> MakeTwinRecord(uint64_t handle) { return std::make_unique<TwinRecord>(handle); }

void TwinConstruct(Interpreter& interp, ClassRecord& cls, Value* args, Value* result) {
    const std::optional<int64_t> handle = script::Args(args).Integer(1);
    if (!handle) return DefaultConstruct(interp, cls, args, result);
    SharedHolder* holder =
        ClassStateAs<TwinState>(cls)->table.NewHolder(static_cast<uint64_t>(*handle), &MakeTwinRecord);
    *result = script::NewHostValue(interp, &cls, holder);
}
void TwinFinalize(ClassRecord& cls, void* native) { ClassStateAs<TwinState>(cls)->table.FreeHolder(native); }
EventHandlers* TwinEvents(ClassRecord&, void* native) {
    TwinRecord* record = SharedRecordOf<TwinRecord>(native);
    return record ? &record->handlers : nullptr;
}
void Touch(HostCall& call) {
    if (EventHandlers* handlers = TwinEvents(call.cls, call.native))
        call.Return(FireEvent(call.interp, *handlers, 0, Value::Null()).resultTemp);
}
std::unique_ptr<HostClassState> MakeTwinState(Interpreter&) { return std::make_unique<TwinState>(); }

constexpr HostMember kTwinMembers[] = {Event("onTouch", 0), Method("touch", Failure::Undefined, &Touch)};
constexpr HostClassSpec kTwinSpec{.name = "Twin",
                                  .members = kTwinMembers,
                                  .construct = &TwinConstruct,
                                  .finalizeData = &TwinFinalize,
                                  .events = &TwinEvents,
                                  .emptyEvent = EmptyEvent::Null,
                                  .makeState = &MakeTwinState};

class HostFramework : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = MakeEngine({});
        ASSERT_TRUE(engine_);
        Interp().SetTraceSink([this](std::string_view line) { trace_.emplace_back(line); });
        RegisterHostClass(Interp(), kProbeSpec);
        RegisterHostClass(Interp(), kTwinSpec);
        twinRecordsDestroyed = 0;
    }
    Interpreter& Interp() { return engine_->Interp(); }
    // Runs `source`, expecting it to complete, and gives the trace it wrote.
    std::vector<std::string> Run(std::string_view source) {
        trace_.clear();
        EXPECT_EQ(engine_->RunSourceText(source), 1) << engine_->ErrorText();
        return trace_;
    }
    // Drops the globals through which the loaded modules' anonymous functions stay reachable, so
    // that only the framework's marking keeps a handler alive.
    void DropFunctionGlobals() {
        for (uint32_t i = 0; i <= Interp().AnonymousFunctions(); ++i)
            Interp().GlobalByName("@F_" + std::to_string(i)) = Value::Undefined();
    }

    std::vector<std::string> trace_;  // the sink writes here until the engine is gone
    std::unique_ptr<script::Engine> engine_;
};

using Lines = std::vector<std::string>;

TEST_F(HostFramework, MembersDispatchByPositionAndToStringAnswersFirst) {
    EXPECT_EQ(
        Run("p = new Probe(4);\n"
            "trace(p.add(2, 3)); trace(p.name(\"\xC3\xA9t\xC3\xA9\")); trace(p.isReady(true));\n"
            "trace(p.size, \" \", p.version);\n"
            "trace(p.toString()); trace(Probe.toString()); trace(\"\" + p);\n"),
        (Lines{"5", "<\xC3\xA9t\xC3\xA9>", "true", "4 3", "[object Probing]", "[object Probing]", "[object Probing]"}));
    // Properties are handled both ways; a read-only one keeps its value but the store is handled.
    EXPECT_EQ(Run("p.size = 9; p.version = 8; trace(p.size, \" \", p.version);\n"
                  "p.size = \"x\"; trace(p.size);"),
              (Lines{"9 3", "9"}));
    // Names the class does not know fall through to the instance's own properties.
    EXPECT_EQ(Run("p.extra = 1; trace(p.extra); p.own = function () { return 11; }; trace(p.own());"),
              (Lines{"1", "11"}));
}

TEST_F(HostFramework, WrongArgumentsYieldThePresetFailureSilently) {
    EXPECT_EQ(Run("p = new Probe(4);\n"
                  "trace(typeof p.add(1)); trace(typeof p.add(\"1\", 2)); trace(typeof p.add(1.5, 2));\n"
                  "trace(p.name() == null, \" \", typeof p.name(5)); trace(p.isReady()); trace(p.isReady(1));\n"
                  "trace(p.setSize(\"7\")); trace(p.setSize()); trace(p.size);\n"
                  "trace(Probe.setSize(2));\n"),
              (Lines{"undefined", "undefined", "undefined", "true object", "false", "false", "false", "false", "4",
                     "false"}));
}

TEST_F(HostFramework, ConstantsAreOrdinaryIntegerGlobals) {
    EXPECT_EQ(Run("trace($PROBE_BLEND, \" \", typeof $PROBE_BLEND, \" \", $PROBE_NONE);\n"
                  "$PROBE_BLEND = 1; trace($PROBE_BLEND);"),
              (Lines{"524288 number 0", "1"}));
}

TEST_F(HostFramework, CallingTheClassDoesWhatConstructionDoes) {
    EXPECT_EQ(Run("a = Probe(6); b = new Probe(6);\n"
                  "trace(a.size, \" \", b.size, \" \", a.toString() == b.toString());\n"
                  "c = Twin(); trace(c.toString());"),
              (Lines{"6 6 true", "[object Twin]"}));
}

TEST_F(HostFramework, EventsTakeOnlyFunctionsAndUnsetOnesReadAsTheClassSays) {
    EXPECT_EQ(Run("p = new Probe(); t = new Twin(3);\n"
                  "trace(typeof p.onPing, \" \", t.onTouch == null, \" \", typeof t.onTouch);\n"
                  "trace(typeof p.ping(1));\n"
                  "p.onPing = function (n) { trace(\"ping \", n, \" \", this.size); return n * 2; };\n"
                  "p.onPing = 5; p.onPing = null; p.setSize(8);\n"
                  "trace(typeof p.onPing); trace(p.ping(21));"),
              (Lines{"undefined true object", "undefined", "function", "ping 21 8", "42"}));
}

TEST_F(HostFramework, FailingHandlersEndOnlyThemselves) {
    const Lines lines =
        Run("function down() { return down(); }\n"
            "p = new Probe();\n"
            "p.onPing = function (n) { throw \"boom\"; };\n"
            "try { trace(\"went on \", typeof p.ping(1)); } catch (e) { trace(\"caught \", e); }\n"
            "p.onPing = function (n) { return down(); };\n"
            "try { trace(\"went on \", typeof p.ping(2)); } catch (e) { trace(\"caught \", e); }\n"
            "p.onPing = function (n) { return n + 1; };\n"
            "trace(p.ping(2));");
    EXPECT_EQ(lines, (Lines{"went on undefined", "went on undefined", "3"}));

    // From host code: the failure is reported, nothing unwinds, and the stack is as it was.
    ASSERT_EQ(engine_->RunSourceText("p.onPing = function (n) { throw n; }; q = p;"), 1);
    const size_t sp = Interp().StackPointer();
    const Value probe = Interp().GlobalByName("q");
    const EventOutcome outcome = FireEvent(Interp(), static_cast<ProbeData*>(probe.AsHost()->nativeData)->handlers, 0,
                                           probe, {Value::Integer(1)});
    EXPECT_TRUE(outcome.fired);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_TRUE(outcome.resultTemp.Is(Tag::Undefined));
    EXPECT_EQ(Interp().StackPointer(), sp);
}

TEST_F(HostFramework, HandlersSurviveCollectionsThroughTheirHolders) {
    Run("p = new Probe(); p.onPing = function (n) { trace(\"instance \", n); return 1; };\n"
        "Probe.onPing = function (n) { trace(\"class \", n); return 2; };");
    DropFunctionGlobals();
    const Value instanceHandler =
        static_cast<ProbeData*>(Interp().GlobalByName("p").AsHost()->nativeData)->handlers.Get(0);
    ASSERT_TRUE(instanceHandler.Is(Tag::Function));
    Interp().Collect();
    Interp().Collect();
    EXPECT_TRUE(script::Heap::LooksLive(instanceHandler.AsFunction()));
    EXPECT_EQ(Run("trace(p.ping(1) + Probe.ping(2));"), (Lines{"instance 1", "class 2", "3"}));
}

TEST_F(HostFramework, InstancesAreRecognisedByTheirPublishedClass) {
    ASSERT_EQ(engine_->RunSourceText("p = new Probe(); t = new Twin(1); o = new Object();"), 1);
    const Value p = Interp().GlobalByName("p"), t = Interp().GlobalByName("t");
    EXPECT_TRUE(IsInstanceOf(Interp(), p, "Probe"));
    EXPECT_EQ(InstanceData(Interp(), p, "Probe"), p.AsHost()->nativeData);
    EXPECT_TRUE(IsInstanceOf(Interp(), Interp().GlobalByName("Probe"), "Probe"));
    EXPECT_EQ(InstanceData(Interp(), Interp().GlobalByName("Probe"), "Probe"), nullptr);
    EXPECT_FALSE(IsInstanceOf(Interp(), t, "Probe"));
    EXPECT_FALSE(IsInstanceOf(Interp(), Interp().GlobalByName("o"), "Probe"));
    EXPECT_FALSE(IsInstanceOf(Interp(), p, "Nothing"));
    // A global replaced by another class's value must not let that class's values pass: their
    // native data is of another kind.
    ASSERT_EQ(engine_->RunSourceText("Probe = Twin;"), 1);
    EXPECT_FALSE(IsInstanceOf(Interp(), t, "Probe"));
    EXPECT_EQ(InstanceData(Interp(), t, "Probe"), nullptr);
    EXPECT_FALSE(IsInstanceOf(Interp(), p, "Probe"));
}

TEST_F(HostFramework, ValuesOfOneHandleShareOneRecordFreedOnce) {
    EXPECT_EQ(Run("a = new Twin(5); b = new Twin(5); c = new Twin(22);\n"
                  "a.onTouch = function () { trace(\"touched\"); return 1; };\n"
                  "trace(b.touch(), \" \", c.onTouch == null);"),
              (Lines{"touched", "1 true"}));
    auto* state = ClassStateAs<TwinState>(*Interp().GlobalByName("Twin").AsHost()->cls);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->table.Size(), 2u);  // 5 and 22 share a bucket but not a record
    DropFunctionGlobals();
    Run("a = null; c = null;");
    Interp().Collect();
    EXPECT_EQ(twinRecordsDestroyed, 1);
    ASSERT_NE(state->table.Find(5), nullptr);
    EXPECT_EQ(state->table.Find(5)->References(), 1u);
    EXPECT_EQ(Run("b.touch();"), Lines{"touched"});
    Run("b = null;");
    Interp().Collect();
    EXPECT_EQ(twinRecordsDestroyed, 2);
    EXPECT_EQ(state->table.Size(), 0u);
}

TEST(SharedRecordTable, CountsReferencesAndReleasesEachRecordOnce) {
    twinRecordsDestroyed = 0;
    SharedRecordTable table;
    SharedRecord* first = table.Acquire(18, &MakeTwinRecord);
    EXPECT_EQ(table.Acquire(18, &MakeTwinRecord), first);
    SharedRecord* other = table.Acquire(1, &MakeTwinRecord);
    EXPECT_NE(other, first);
    EXPECT_EQ(first->References(), 2u);
    table.Release(first);
    EXPECT_EQ(table.Find(18), first);
    table.Release(first);
    EXPECT_EQ(table.Find(18), nullptr);
    EXPECT_EQ(twinRecordsDestroyed, 1);
    table.Release(first);  // no longer held: nothing happens
    EXPECT_EQ(twinRecordsDestroyed, 1);
    EXPECT_EQ(table.Find(1), other);
    EXPECT_EQ(table.Acquire(7, [](uint64_t) { return std::unique_ptr<SharedRecord>(); }), nullptr);
    EXPECT_EQ(table.Size(), 1u);
}

}  // namespace
}  // namespace velmo::host
