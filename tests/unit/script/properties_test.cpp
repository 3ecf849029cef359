// Property access, method resolution, construction, classes and the protected calls, with script
// functions played by C++ bodies through the interpreter's function runner.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "script/library/core_classes.h"
#include "script/runtime/calls.h"
#include "script/runtime/convert.h"
#include "script/runtime/errors.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/objects.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script {
namespace {

using Body = std::function<Value(Interpreter&, Value thisValue, Value* args)>;
std::map<uint32_t, Body>& Bodies() {
    static std::map<uint32_t, Body> bodies;
    return bodies;
}

void RunBody(Interpreter& interp, FunctionRecord* f, Value thisValue, Value* args, Value& result) {
    result = Bodies().at(f->code->nameId)(interp, thisValue, args);
}

class Script : public ::testing::Test {
protected:
    Script() {
        library::RegisterObjectClass(interp);
        library::RegisterFunctionClass(interp);
        interp.SetFunctionRunner(&RunBody);
        interp.SetTraceSink([this](std::string_view line) { trace.emplace_back(line); });
    }
    ~Script() override { Bodies().clear(); }

    Value Function(const std::string& name, Body body) {
        CodeRecord* code = interp.GetHeap().New<CodeRecord>();
        code->nameId = interp.Intern(name);
        Bodies()[code->nameId] = std::move(body);
        FunctionRecord* f = interp.GetHeap().New<FunctionRecord>();
        f->code = code;
        return Value::Function(f);
    }
    Value NewObj() { return Value::Object(NewObject(interp)); }
    uint32_t Id(std::string_view name) { return interp.Intern(name); }
    Value Get(const Value& v, std::string_view name) {
        Value out;
        GetProperty(interp, v, Id(name), out);
        return out;
    }

    Interpreter interp;
    std::vector<std::string> trace;
    Value noArgs[1] = {Value::Integer(0)};
};

TEST_F(Script, InheritanceGoesOnlyThroughProtoSlotsAndAssignmentStaysOwn) {
    const Value base = NewObj(), derived = NewObj();
    SetProperty(interp, base, Id("x"), Value::Integer(1));
    SetProperty(interp, derived, interp.idProto(), base);
    EXPECT_EQ(Get(derived, "x").AsInteger(), 1);
    SetProperty(interp, derived, Id("x"), Value::Integer(2));
    EXPECT_EQ(Get(derived, "x").AsInteger(), 2);
    EXPECT_EQ(Get(base, "x").AsInteger(), 1);
    SetProperty(interp, base, Id("prototype"), NewObj());  // "prototype" is an ordinary name
    const Value other = NewObj();
    SetProperty(interp, other, Id("prototype"), base);
    EXPECT_TRUE(Get(other, "x").Is(Tag::Undefined));
}

TEST_F(Script, MethodsResolveToFunctionsAndWarnOtherwise) {
    const Value o = NewObj();
    SetProperty(interp, o, Id("n"), Value::Integer(5));
    SetProperty(interp, o, Id("self"), Function("self", [](Interpreter&, Value t, Value*) { return t; }));
    Value out;
    CallMethod(interp, o, Id("self"), noArgs, out);
    EXPECT_EQ(out.AsObject(), o.AsObject());
    CallMethod(interp, o, Id("n"), noArgs, out);
    EXPECT_TRUE(out.Is(Tag::Undefined));
    CallMethod(interp, Value::Integer(3), Id("missing"), noArgs, out);
    EXPECT_EQ(trace,
              (std::vector<std::string>{"Warning: unknown method \"n\"", "Warning: unknown method \"missing\""}));
}

TEST_F(Script, NewSeesPropertiesAssignedToTheConstructorNotItsPrototypeObject) {
    const Value F = Function("F", [](Interpreter& in, Value t, Value*) {
        SetProperty(in, t, in.Intern("made"), Value::Boolean(true));
        return Value::Undefined();
    });
    SetProperty(interp, F, Id("greet"), Value::Integer(42));
    const Value protoObject = NewObj();
    SetProperty(interp, protoObject, Id("fromPrototype"), Value::Integer(1));
    SetProperty(interp, F, Id("prototype"), protoObject);
    Value instance;
    Construct(interp, F, noArgs, instance);
    ASSERT_TRUE(instance.Is(Tag::Object));
    EXPECT_EQ(Get(instance, "greet").AsInteger(), 42);
    EXPECT_TRUE(Get(instance, "made").AsBoolean());
    EXPECT_TRUE(Get(instance, "fromPrototype").Is(Tag::Undefined));
    Construct(interp, Value::Integer(1), noArgs, instance);
    EXPECT_TRUE(instance.Is(Tag::Null));
    EXPECT_EQ(trace.back(), "Warning: invalid constructor");
}

// A host class whose instances count finalizations and hold one Value in native data.
struct Native {
    Value held;
    int* finalized;
};
void FinalizeNative(ClassRecord&, void* data) {
    auto* n = static_cast<Native*>(data);
    ++*n->finalized;
    delete n;
}
void MarkNative(Interpreter& interp, ClassRecord&, void* data) { interp.MarkValue(static_cast<Native*>(data)->held); }
bool NoProperties(Interpreter&, ClassRecord&, void*, uint32_t, bool, Value*) { return false; }

TEST_F(Script, HostInstancesFinalizeOnceAndKeepWhatTheirDataHolds) {
    ClassRecord* cls = NewClass(interp, "Thing");
    cls->FinalizeData = &FinalizeNative;
    cls->MarkData = &MarkNative;
    PublishClass(interp, "Thing", cls);
    int finalized = 0;
    const uint32_t keep = Id("keep");
    interp.Global(keep) = NewHostValue(interp, cls, new Native{StringValue(interp, u"held text"), &finalized});
    (void)NewHostValue(interp, cls, new Native{Value::Undefined(), &finalized});  // unreachable at once
    interp.Collect();
    EXPECT_EQ(finalized, 1);
    interp.Collect();
    EXPECT_EQ(finalized, 1);
    const auto* native = static_cast<Native*>(interp.Global(keep).AsHost()->nativeData);
    EXPECT_EQ(Text(native->held.AsString()), u"held text");

    // A property set on the class value lands on the prototype every instance sees; a class with
    // no Property operation at all takes no properties.
    SetProperty(interp, interp.GlobalByName("Thing"), Id("shared"), Value::Integer(9));
    EXPECT_EQ(trace.back(), "Warning: using undefined property \"shared\"");
    cls->Property = &NoProperties;
    SetProperty(interp, interp.GlobalByName("Thing"), Id("shared"), Value::Integer(9));
    EXPECT_EQ(Get(interp.Global(keep), "shared").AsInteger(), 9);
    SetProperty(interp, interp.Global(keep), interp.idProto(), Value::Integer(5));
    EXPECT_EQ(trace.back(), "Warning: can't set property \"__proto__\" with a wrong type");
    interp.Global(keep) = Value::Undefined();
    interp.Collect();
    EXPECT_EQ(finalized, 2);
}

// Instances may need their class's data in FinalizeData, so a class dying with its instances is
// finalized last; destroying the interpreter finalizes everything still alive.
TEST(Classes, DestroyingTheInterpreterFinalizesInstancesBeforeTheirClass) {
    std::vector<std::string> events;
    {
        Interpreter interp;
        ClassRecord* cls = NewClass(interp, "Log");
        cls->classData = &events;
        cls->FinalizeData = [](ClassRecord& c, void*) {
            static_cast<std::vector<std::string>*>(c.classData)->push_back("instance");
        };
        cls->FreeClassData = [](void* data) { static_cast<std::vector<std::string>*>(data)->push_back("class"); };
        static int native = 0;
        interp.GlobalByName("kept") = NewHostValue(interp, cls, &native);
        (void)NewHostValue(interp, cls, &native);  // dies at the first collection, with its class alive
        interp.Collect();
        EXPECT_EQ(events, std::vector<std::string>{"instance"});
    }
    EXPECT_EQ(events, (std::vector<std::string>{"instance", "instance", "class"}));
}

TEST_F(Script, ProtectedCallsReportFailureAndRestoreTheStack) {
    const Value thrower =
        Function("thrower", [](Interpreter& in, Value, Value*) -> Value { RaiseError(in, Msg::CantConvertToObject); });
    const size_t sp = interp.StackPointer();
    interp.GlobalByName("thrower") = thrower;
    EXPECT_FALSE(CallGlobal(interp, "thrower", noArgs));
    EXPECT_EQ(interp.ErrorText(), "Runtime error: Can't convert to object");
    EXPECT_EQ(interp.StackPointer(), sp);
    EXPECT_FALSE(CallValue(interp, Value::Null(), Value::Integer(3), noArgs));
    EXPECT_EQ(interp.ErrorText(), "Warning: call a undefined function");
    const Value o = NewObj();
    SetProperty(interp, o, Id("n"), Value::Integer(1));
    EXPECT_FALSE(InvokeMethod(interp, o, Id("n"), noArgs));
    EXPECT_EQ(interp.ErrorText(), "Warning: unknown method \"n\"");
    interp.GlobalByName("twice") =
        Function("twice", [](Interpreter&, Value, Value* args) { return Value::Integer(2 * args[1].AsInteger()); });
    Value args[2] = {Value::Integer(1), Value::Integer(21)};
    ASSERT_TRUE(CallGlobal(interp, "twice", args));
    EXPECT_EQ(interp.Result().AsInteger(), 42);
    EXPECT_EQ(interp.ErrorText(), "");
    EXPECT_FALSE(ConstructGlobal(interp, "twice", args));  // not a class with Construct
}

// A host operation may run script that drops the last reference to the value it was called on and
// collects; native entry points and script calls keep that value, and so its class, alive until
// the operation returns. Each operation reports whether its class record is still intact.
int classMarker = 0;
void ForgetSelfish(Interpreter& in) {
    in.GlobalByName("Selfish") = Value::Undefined();
    in.GlobalByName("selfish") = Value::Undefined();
    in.Collect();
}
void ConstructSelfish(Interpreter& in, ClassRecord& cls, Value*, Value* result) {
    ForgetSelfish(in);
    *result = Value::Boolean(cls.classData == &classMarker);
}
void CallSelfish(Interpreter& in, ClassRecord& cls, void*, Value* result, Value*) {
    ForgetSelfish(in);
    *result = Value::Boolean(cls.classData == &classMarker);
}
bool SelfishMethod(Interpreter& in, ClassRecord& cls, void*, uint32_t, Value* result, Value*) {
    ForgetSelfish(in);
    *result = Value::Boolean(cls.classData == &classMarker);
    return true;
}

TEST_F(Script, HostOperationsKeepTheValueTheyWereCalledOnAlive) {
    const auto publish = [this] {
        ClassRecord* cls = NewClass(interp, "Selfish");
        cls->classData = &classMarker;
        cls->Construct = &ConstructSelfish;
        cls->Call = &CallSelfish;
        cls->CallMethod = &SelfishMethod;
        cls->FreeClassData = [](void* data) { ++*static_cast<int*>(data); };
        PublishClass(interp, "Selfish", cls);
        interp.GlobalByName("selfish") = NewHostValue(interp, cls, &classMarker);
    };
    classMarker = 0;
    const auto intact = [this] { return interp.Result().Is(Tag::Boolean) && interp.Result().AsBoolean(); };
    publish();
    ASSERT_TRUE(ConstructGlobal(interp, "Selfish", noArgs));
    EXPECT_TRUE(intact()) << "construct";
    publish();
    ASSERT_TRUE(CallGlobal(interp, "Selfish", noArgs));
    EXPECT_TRUE(intact()) << "call";
    publish();
    ASSERT_TRUE(InvokeMethod(interp, interp.GlobalByName("selfish"), Id("go"), noArgs));
    EXPECT_TRUE(intact()) << "method";
    EXPECT_EQ(classMarker, 2);  // each earlier class died once its operation had returned
    interp.Collect();
    EXPECT_EQ(classMarker, 3);  // nothing stays pinned afterwards
}

TEST_F(Script, ObjectConversionsUseToStringAndValueOfWhenTheyGivePrimitives) {
    const Value o = NewObj();
    SetProperty(interp, o, interp.idToString(),
                Function("ts", [](Interpreter&, Value, Value*) { return Value::Integer(7); }));
    EXPECT_EQ(ToText(interp, o), u"object");                         // toString must give a String
    EXPECT_EQ(ToPrimitive(interp, o, Hint::String).AsInteger(), 7);  // a string hint takes any primitive
    // Without a hint valueOf comes first (the Object class gives the object back), then ToString.
    EXPECT_FALSE(Equals(interp, o, Value::Integer(7)));
    SetProperty(interp, o, interp.idValueOf(),
                Function("vo", [](Interpreter&, Value, Value*) { return Value::Number(2.5); }));
    EXPECT_EQ(ToNumber(interp, o).AsNumber(), 2.5);
    EXPECT_TRUE(Equals(interp, o, Value::Number(2.5)));
    const Value plain = NewObj();
    EXPECT_EQ(ToText(interp, plain), u"[object Object]");  // the Object class answers
    EXPECT_EQ(ToText(interp, interp.GlobalByName("Object")), u"[type Function]");
    Value none[1] = {Value::Integer(0)};
    ASSERT_TRUE(InvokeMethod(interp, interp.GlobalByName("Object"), interp.idToSource(), none));
    EXPECT_EQ(Text(interp.Result().AsString()), u"new Object()");
    try {
        ToObject(interp, Value::Undefined());
        FAIL() << "no error";
    } catch (const ScriptUnwind&) {
        EXPECT_EQ(interp.ErrorText(), "Runtime error: Can't convert to object");
    }
}

TEST_F(Script, OwnPropertiesOfFunctionsAreMadeOnDemandAndClasslessValuesTakeNone) {
    const Value f = Function("f", [](Interpreter&, Value, Value*) { return Value::Undefined(); });
    EXPECT_EQ(f.AsFunction()->props, nullptr);
    SetProperty(interp, f, Id("tag"), Value::Integer(1));
    ASSERT_NE(f.AsFunction()->props, nullptr);
    EXPECT_EQ(Get(f, "tag").AsInteger(), 1);
    Value proto;
    ASSERT_TRUE(GetProperty(interp, f, interp.idProto(), proto));
    EXPECT_EQ(proto.AsObject(), f.AsFunction()->props);  // "__proto__" of a function is its own object
    Value toString;                                      // and that object inherits from the Function class prototype
    Value args[1] = {Value::Integer(0)};
    CallMethod(interp, f, interp.idToString(), args, toString);
    EXPECT_EQ(Text(toString.AsString()), u"[object Function]");

    SetProperty(interp, Value::Integer(5), Id("tag"), Value::Integer(1));  // Integer has no class here
    EXPECT_EQ(trace.back(), "Warning: using undefined property \"tag\"");
    Pinned pinned(interp, f);
    interp.Collect();
    EXPECT_EQ(Get(pinned.Get(), "tag").AsInteger(), 1);
}

}  // namespace
}  // namespace velmo::script
