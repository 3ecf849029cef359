// The control container's parts against the real COM and window system (under wine in CI): event
// arguments and the event interface's lookup order, the site the control sees, the movie window a
// control's window becomes, and a control file that is none.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/win32/handles.h"  // the Win32 declarations come with it
#include "platform/ui/win32/activex_events.h"
#include "platform/ui/win32/activex_site.h"

#include <olectl.h>

namespace velmo::platform::win32 {
namespace {

// {0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0} and neighbours: ids no real interface has.
constexpr IID kIidA = {0x0F1E2D3C, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0}};
constexpr IID kIidB = {0x0F1E2D3C, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF1}};
constexpr IID kIidC = {0x0F1E2D3C, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF2}};
constexpr IID kIidD = {0x0F1E2D3C, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF3}};
constexpr IID kIidE = {0x0F1E2D3C, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF4}};

VARIANT Bstr(const wchar_t* text) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text ? ::SysAllocString(text) : nullptr;
    return v;
}

TEST(ActiveXEvents, StringArgumentsArriveFirstToLastByValueOrByReference) {
    BSTR referenced = ::SysAllocString(L"by reference");
    VARIANT inner = Bstr(L"inside a variant");
    VARIANT args[3];  // last argument first, as dispatch passes them
    args[2] = Bstr(L"first");
    ::VariantInit(&args[1]);
    args[1].vt = VT_BSTR | VT_BYREF;
    args[1].pbstrVal = &referenced;
    ::VariantInit(&args[0]);
    args[0].vt = VT_VARIANT | VT_BYREF;
    args[0].pvarVal = &inner;
    const DISPPARAMS params{args, nullptr, 3, 0};
    const std::optional<std::vector<std::u16string>> got = EventStrings(params, 3);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, (std::vector<std::u16string>{u"first", u"by reference", u"inside a variant"}));
    EXPECT_FALSE(EventStrings(params, 2)) << "a different count is no event of that kind";

    VARIANT none = Bstr(nullptr);
    const DISPPARAMS nullString{&none, nullptr, 1, 0};
    ASSERT_TRUE(EventStrings(nullString, 1));
    EXPECT_EQ(EventStrings(nullString, 1)->front(), u"");

    VARIANT number;
    ::VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 7;
    const DISPPARAMS notText{&number, nullptr, 1, 0};
    EXPECT_FALSE(EventStrings(notText, 1));
    VARIANT nested;
    ::VariantInit(&nested);
    nested.vt = VT_VARIANT | VT_BYREF;
    nested.pvarVal = &args[0];  // a reference to a reference
    const DISPPARAMS tooDeep{&nested, nullptr, 1, 0};
    EXPECT_FALSE(EventStrings(tooDeep, 1));

    ::VariantClear(&args[2]);
    ::VariantClear(&inner);
    ::SysFreeString(referenced);
}

// A control as far as finding its event interface goes: each way of telling it can be present or not.
class FakeControl final : public IProvideClassInfo2, public IConnectionPointContainer {
public:
    std::optional<IID> defaultSource;  // what IProvideClassInfo2 answers
    ITypeInfo* classInfo = nullptr;    // not owned
    std::vector<IID> points;
    bool answersClassInfo2 = true;
    IUnknown* Unknown() { return static_cast<IProvideClassInfo2*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == IID_IUnknown || (iid == IID_IProvideClassInfo2 && answersClassInfo2) ||
            (iid == IID_IProvideClassInfo && (classInfo || answersClassInfo2)))
            *out = static_cast<IProvideClassInfo2*>(this);
        else if (iid == IID_IConnectionPointContainer && !points.empty())
            *out = static_cast<IConnectionPointContainer*>(this);
        else return E_NOINTERFACE;
        return S_OK;  // lives on the test's stack: no counting
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
        *info = classInfo;
        if (!classInfo) return E_NOTIMPL;
        classInfo->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID || !defaultSource) return E_NOTIMPL;
        *guid = *defaultSource;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** list) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID, IConnectionPoint** point) override {
        *point = nullptr;
        return CONNECT_E_NOCONNECTION;
    }
};

class FakePoint final : public IConnectionPoint {
public:
    explicit FakePoint(const IID& iid) : iid_(iid) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (!left) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        *iid = iid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    IID iid_;
    ULONG references_ = 1;
};

class FakePointList final : public IEnumConnectionPoints {
public:
    explicit FakePointList(std::vector<IID> iids) : iids_(std::move(iids)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (!left) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
        ULONG n = 0;
        for (; n < count && next_ < iids_.size(); ++n) out[n] = new FakePoint(iids_[next_++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints**) override { return E_NOTIMPL; }

private:
    std::vector<IID> iids_;
    size_t next_ = 0;
    ULONG references_ = 1;
};

HRESULT FakeControl::EnumConnectionPoints(IEnumConnectionPoints** list) {
    *list = new FakePointList(points);
    return S_OK;
}

// A dispatch interface of the given id, laid out in `library`.
ComPtr<ITypeInfo> DispatchType(ICreateTypeLib2* library, const wchar_t* name, const IID& iid) {
    ComPtr<ICreateTypeInfo> made;
    ComPtr<ITypeInfo> info;
    if (FAILED(library->CreateTypeInfo(const_cast<LPOLESTR>(name), TKIND_DISPATCH, made.Receive())) ||
        FAILED(made->SetGuid(iid)) || FAILED(made->LayOut()) ||
        FAILED(made->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(info.Receive()))))
        ADD_FAILURE() << "cannot make the dispatch type";
    return info;
}

// A coclass implementing kIidD by default, sourcing kIidE (not the default) and then `source` (the
// default source): the lookup must pick the one marked both default and source.
ComPtr<ITypeInfo> ClassWithSources(const IID& source) {
    ComPtr<ICreateTypeLib2> library;
    ComPtr<ITypeInfo> result;
    if (FAILED(::CreateTypeLib2(SYS_WIN64, L"velmo-test.tlb", library.Receive()))) return result;
    ComPtr<ITypeInfo> types[] = {DispatchType(library.Get(), L"Main", kIidD),
                                 DispatchType(library.Get(), L"Other", kIidE),
                                 DispatchType(library.Get(), L"Events", source)};
    const INT flags[] = {IMPLTYPEFLAG_FDEFAULT, IMPLTYPEFLAG_FSOURCE, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE};
    ComPtr<ICreateTypeInfo> coclass;
    if (FAILED(library->CreateTypeInfo(const_cast<LPOLESTR>(L"Player"), TKIND_COCLASS, coclass.Receive())) ||
        FAILED(coclass->SetGuid(kIidB)))
        return result;
    for (UINT i = 0; i < 3; ++i) {
        HREFTYPE reference = 0;
        if (!types[i].Get() || FAILED(coclass->AddRefTypeInfo(types[i].Get(), &reference)) ||
            FAILED(coclass->AddImplType(i, reference)) || FAILED(coclass->SetImplTypeFlags(i, flags[i])))
            return result;
    }
    if (SUCCEEDED(coclass->LayOut()))
        (void)coclass->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(result.Receive()));
    return result;
}

TEST(ActiveXEvents, TheEventInterfaceComesFromClassInfoThenTypeInfoThenTheFirstConnectionPoint) {
    FakeControl control;
    control.defaultSource = kIidA;
    control.points = {kIidB, kIidC};
    EXPECT_EQ(FindEventInterface(control.Unknown()), kIidA);

    // The class information is there but cannot name its source: the type information can.
    const ComPtr<ITypeInfo> coclass = ClassWithSources(kIidC);
    ASSERT_NE(coclass.Get(), nullptr) << "the system cannot build type information";
    control.defaultSource.reset();
    control.classInfo = coclass.Get();
    EXPECT_EQ(FindEventInterface(control.Unknown()), kIidC);
    control.answersClassInfo2 = false;  // an older control: only IProvideClassInfo
    EXPECT_EQ(FindEventInterface(control.Unknown()), kIidC);

    control.classInfo = nullptr;
    control.points = {kIidB, kIidC};
    EXPECT_EQ(FindEventInterface(control.Unknown()), kIidB);
    control.points.clear();
    EXPECT_EQ(FindEventInterface(control.Unknown()), std::nullopt);
    EXPECT_EQ(FindEventInterface(nullptr), std::nullopt);
}

class Receiver final : public EventReceiver {
public:
    std::vector<std::u16string> heard;
    void OnFSCommand(const std::u16string& command, const std::u16string& argument) override {
        heard.push_back(u"fscommand " + command + u" " + argument);
    }
    void OnFlashCall(const std::u16string& request) override { heard.push_back(u"flashcall " + request); }
};

HRESULT Raise(IDispatch* sink, DISPID id, std::vector<VARIANT> lastFirst) {
    DISPPARAMS params{lastFirst.data(), nullptr, static_cast<UINT>(lastFirst.size()), 0};
    const HRESULT status = sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    for (VARIANT& v : lastFirst) ::VariantClear(&v);
    return status;
}

TEST(ActiveXEvents, TheSinkDeliversThePlayersTwoEventsUntilDisconnected) {
    Receiver receiver;
    EventSink* sink = new EventSink(kIidA, &receiver);
    void* asked = nullptr;
    EXPECT_EQ(sink->QueryInterface(kIidA, &asked), S_OK) << "the connection point asks for the event interface";
    EXPECT_EQ(asked, static_cast<IDispatch*>(sink));
    sink->Release();
    EXPECT_EQ(sink->QueryInterface(kIidB, &asked), E_NOINTERFACE);

    const uint64_t before = MovieEventsDelivered();
    EXPECT_EQ(Raise(sink, kFSCommandId, {Bstr(L"arg"), Bstr(L"cmd")}), S_OK);
    EXPECT_EQ(Raise(sink, kFlashCallId, {Bstr(L"<invoke/>")}), S_OK);
    EXPECT_EQ(Raise(sink, kFSCommandId, {Bstr(L"only one")}), S_OK);  // malformed: dropped
    EXPECT_EQ(Raise(sink, 1, {Bstr(L"progress")}), S_OK);             // another event: ignored
    EXPECT_EQ(receiver.heard, (std::vector<std::u16string>{u"fscommand cmd arg", u"flashcall <invoke/>"}));
    EXPECT_EQ(MovieEventsDelivered(), before + 2) << "only delivered events end the loop's pass";

    sink->Disconnect();
    EXPECT_EQ(Raise(sink, kFSCommandId, {Bstr(L"b"), Bstr(L"a")}), S_OK);
    EXPECT_EQ(receiver.heard.size(), 2u);
    EXPECT_EQ(MovieEventsDelivered(), before + 2);
    EXPECT_EQ(sink->Release(), 0u);
}

// A plain window standing in for a frame.
struct TestWindow {
    HWND handle =
        ::CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ~TestWindow() { ::DestroyWindow(handle); }
};

TEST(ActiveXSite, TheControlFindsAWindowedSiteInUserMode) {
    TestWindow frame;
    ASSERT_NE(frame.handle, nullptr);
    ControlSite* site = new ControlSite(frame.handle);
    void* out = nullptr;
    // Neither windowless nor extended activation: the control must make a window of its own.
    EXPECT_EQ(site->QueryInterface(IID_IOleInPlaceSiteWindowless, &out), E_NOINTERFACE);
    EXPECT_EQ(site->QueryInterface(IID_IOleInPlaceSiteEx, &out), E_NOINTERFACE);
    for (const IID* iid : {&IID_IOleClientSite, &IID_IOleInPlaceSite, &IID_IOleInPlaceFrame, &IID_IOleControlSite,
                           &IID_IOleContainer, &IID_IDispatch}) {
        ASSERT_EQ(site->QueryInterface(*iid, &out), S_OK);
        static_cast<IUnknown*>(out)->Release();
    }

    const auto ambient = [&](DISPID id, VARIANT& result) {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        ::VariantInit(&result);
        return static_cast<IDispatch*>(site)->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                                     nullptr);
    };
    VARIANT v;
    ASSERT_EQ(ambient(DISPID_AMBIENT_USERMODE, v), S_OK);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    for (DISPID id : {DISPID_AMBIENT_UIDEAD, DISPID_AMBIENT_SHOWHATCHING, DISPID_AMBIENT_SHOWGRABHANDLES}) {
        ASSERT_EQ(ambient(id, v), S_OK) << id;
        EXPECT_EQ(v.boolVal, VARIANT_FALSE) << id;
    }
    EXPECT_EQ(ambient(DISPID_AMBIENT_BACKCOLOR, v), DISP_E_MEMBERNOTFOUND);

    IOleInPlaceFrame* inPlaceFrame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT position{}, clip{}, client{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    IOleInPlaceSite* inPlace = static_cast<IOleInPlaceSite*>(site);
    ASSERT_EQ(inPlace->GetWindowContext(&inPlaceFrame, &document, &position, &clip, &info), S_OK);
    ::GetClientRect(frame.handle, &client);
    EXPECT_TRUE(::EqualRect(&position, &client));
    EXPECT_TRUE(::EqualRect(&clip, &client));
    EXPECT_EQ(info.hwndFrame, frame.handle);
    ASSERT_NE(inPlaceFrame, nullptr);
    inPlaceFrame->Release();

    site->FrameGone();
    EXPECT_EQ(inPlace->CanInPlaceActivate(), S_FALSE);
    HWND window = frame.handle;
    EXPECT_TRUE(FAILED(inPlace->GetWindow(&window)));
    EXPECT_EQ(site->Release(), 0u) << "every reference handed out came back";
}

}  // namespace
}  // namespace velmo::platform::win32
