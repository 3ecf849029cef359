// The stand-in ActiveX control under wine, driven through plain COM calls as a container would:
// created by class id (registered by tests/tools/standin_control_test.sh) and from a renamed copy
// of its file, hosted in a window through a minimal site of our own, its members called by name,
// its events received by a sink, its picture read back, and torn down to an unloadable file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/win32/handles.h"
#include "platform/ui/win32/standin_control/standin_ids.h"  // the Win32 and OLE declarations come with it

namespace velmo::platform::standin_control {
namespace {

using win32::ComPtr;

// Pumps the thread's messages until `done` holds; false if it never did within about ten seconds.
bool PumpUntil(const std::function<bool()>& done) {
    for (int round = 0; round < 500; ++round) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return false;
}

// Lets the control's timer come round a few times.
void PumpRounds(int rounds) {
    int left = rounds;
    PumpUntil([&] { return --left < 0; });
}

class Var {
public:
    Var() { ::VariantInit(&v_); }
    explicit Var(const wchar_t* text) : Var() {
        v_.vt = VT_BSTR;
        v_.bstrVal = ::SysAllocString(text);
    }
    explicit Var(int32_t n) : Var() {
        v_.vt = VT_I4;
        v_.lVal = n;
    }
    static Var Bool(bool b) {
        Var r;
        r.v_.vt = VT_BOOL;
        r.v_.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        return r;
    }
    Var(Var&& o) noexcept : v_(o.v_) { o.v_.vt = VT_EMPTY; }
    ~Var() { ::VariantClear(&v_); }
    VARIANT* Get() { return &v_; }
    std::wstring Text() const { return v_.vt == VT_BSTR ? std::wstring(v_.bstrVal, ::SysStringLen(v_.bstrVal)) : L"?"; }

private:
    VARIANT v_;
};

DISPID IdOf(IDispatch* d, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    return SUCCEEDED(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ? id : DISPID_UNKNOWN;
}

// Calls the member `name` with `args` in call order; a put passes its one argument as the property's.
HRESULT Call(IDispatch* d, const wchar_t* name, WORD flags, std::vector<Var> args, Var* result = nullptr,
             UINT* argError = nullptr) {
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->Get());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) params.rgdispidNamedArgs = &putId, params.cNamedArgs = 1;
    Var ignored;
    return d->Invoke(IdOf(d, name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, (result ? result : &ignored)->Get(),
                     nullptr, argError);
}

// A container's site in its smallest form: one window, counting activations and its references.
class TestSite final : public IOleClientSite, public IOleInPlaceSite {
public:
    explicit TestSite(HWND window, RECT place) : window_(window), place_(place) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
            *out = static_cast<IOleInPlaceSite*>(this);
        else return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // on the test's stack
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** c) override {
        *c = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* w) override {
        *w = window_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
        ++activations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** f, IOleInPlaceUIWindow** d, LPRECT pos, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO) override {
        *f = nullptr, *d = nullptr, *pos = place_, *clip = place_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
        ++deactivations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    ULONG refs = 1;
    int activations = 0, deactivations = 0;

private:
    HWND window_;
    RECT place_;
};

// Writes down every event; answers FlashCall through the control when given a reply, and can pump
// messages inside an event, as a script showing a dialog would.
class TestSink final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, kEventsId))
            return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        std::wstring line = id == kDispidFSCommand ? L"FSCommand" : id == kDispidFlashCall ? L"FlashCall" : L"other";
        for (UINT i = p->cArgs; i-- > 0;) line += L" " + std::wstring(p->rgvarg[i].bstrVal);
        events.push_back(line);
        if (id == kDispidFlashCall && !reply.empty())
            (void)Call(control, L"SetReturnValue", DISPATCH_METHOD, Args(reply));
        if (pumpInside) PumpRounds(5);
        --depth;
        return S_OK;
    }
    static std::vector<Var> Args(const std::wstring& text) {
        std::vector<Var> v;
        v.emplace_back(text.c_str());
        return v;
    }

    ULONG refs = 1;
    IDispatch* control = nullptr;  // not owned
    std::wstring reply;
    bool pumpInside = false;
    int depth = 0, maxDepth = 0;
    std::vector<std::wstring> events;
};

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();

class StandinControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"velmo-standin-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                  std::to_wstring(++serial_) + L"\\";
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        wchar_t dll[MAX_PATH] = {};
        ASSERT_GT(::GetEnvironmentVariableW(L"VELMO_STANDIN_CONTROL_DLL", dll, MAX_PATH), 0u)
            << "run by standin_control_test.sh";
        // Loaded under another name, as a container loads a control file it found itself.
        ASSERT_TRUE(::CopyFileW(dll, (folder_ + L"player.ocx").c_str(), FALSE));
        module_ = ::LoadLibraryW((folder_ + L"player.ocx").c_str());
        ASSERT_NE(module_, nullptr);
        // Through void (*)(): the one function type every export may be cast from without a warning.
        using AnyFn = void (*)();
        getClassObject_ =
            reinterpret_cast<GetClassObjectFn>(reinterpret_cast<AnyFn>(::GetProcAddress(module_, "DllGetClassObject")));
        canUnload_ =
            reinterpret_cast<CanUnloadFn>(reinterpret_cast<AnyFn>(::GetProcAddress(module_, "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject_ && canUnload_);
        ::SetEnvironmentVariableW(L"VELMO_STANDIN_RECORD", (folder_ + L"record.txt").c_str());
        parent_ = ::CreateWindowExW(0, L"STATIC", L"standin host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400, 300,
                                    nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override {
        if (parent_) ::DestroyWindow(parent_);
        if (module_) ::FreeLibrary(module_);
        for (const wchar_t* name : {L"player.ocx", L"record.txt", L"driver.txt"})
            ::DeleteFileW((folder_ + name).c_str());
        ::RemoveDirectoryW(folder_.c_str());
        ::SetEnvironmentVariableW(L"VELMO_STANDIN_DRIVER", nullptr);
        ::OleUninitialize();
    }
    void Drive(const std::string& text) {
        std::ofstream(std::filesystem::path(folder_ + L"driver.txt"), std::ios::binary) << text;
        ::SetEnvironmentVariableW(L"VELMO_STANDIN_DRIVER", (folder_ + L"driver.txt").c_str());
    }
    // A control from the copied file, without registration.
    ComPtr<IOleObject> CreateFromFile() {
        ComPtr<IClassFactory> factory;
        ComPtr<IOleObject> control;
        EXPECT_EQ(getClassObject_(kClassId, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive())), S_OK);
        if (factory.Get())
            factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(control.Receive()));
        return control;
    }
    std::vector<std::string> Recorded() const {
        std::ifstream in(std::filesystem::path(folder_ + L"record.txt"), std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    template <typename T>
    static ComPtr<T> As(IUnknown* object, REFIID iid) {
        ComPtr<T> out;
        object->QueryInterface(iid, reinterpret_cast<void**>(out.Receive()));
        return out;
    }

    static inline int serial_ = 0;
    std::wstring folder_;
    HMODULE module_ = nullptr;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadFn canUnload_ = nullptr;
    HWND parent_ = nullptr;
};

TEST_F(StandinControlTest, RegisteredClassCreatesTheStandinAndAFileCopyAnswersOnlyItsClass) {
    ComPtr<IProvideClassInfo2> registered;
    ASSERT_EQ(::CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IProvideClassInfo2,
                                 reinterpret_cast<void**>(registered.Receive())),
              S_OK);
    GUID events{};
    EXPECT_EQ(registered->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
    EXPECT_TRUE(IsEqualIID(events, kEventsId));
    registered.Reset();

    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject_(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive())),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClassObject_(kClassId, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive())), S_OK);
    // A locked server, or one with a live object, must stay loaded.
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnload_(), S_FALSE);
    ComPtr<IOleObject> control = CreateFromFile();
    ASSERT_NE(control.Get(), nullptr);
    ASSERT_EQ(getClassObject_(kClassId, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive())), S_OK);
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(canUnload_(), S_FALSE);
    control.Reset();
    EXPECT_EQ(canUnload_(), S_OK);
}

// Registration into a classes key of the test's own (HKCR redirected for this process), so that
// unregistering cannot disturb other tests that use the registered control.
TEST_F(StandinControlTest, UnregisteringRemovesOnlyARegistrationOfItsOwnFile) {
    const wchar_t* scratchKey = L"Software\\VelmoStandinControlTest";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, scratchKey);
    win32::RegistryKey classes;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, scratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                classes.Receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.Get()), ERROR_SUCCESS);
    using AnyFn = void (*)();
    const auto reg =
        reinterpret_cast<CanUnloadFn>(reinterpret_cast<AnyFn>(::GetProcAddress(module_, "DllRegisterServer")));
    const auto unreg =
        reinterpret_cast<CanUnloadFn>(reinterpret_cast<AnyFn>(::GetProcAddress(module_, "DllUnregisterServer")));
    const wchar_t* server = L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InProcServer32";
    const auto value = [&](const wchar_t* name) {
        wchar_t text[MAX_PATH] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        const LSTATUS status = ::RegGetValueW(HKEY_CLASSES_ROOT, server, name, RRF_RT_REG_SZ, nullptr, text, &size);
        return status == ERROR_SUCCESS ? std::wstring(text) : std::wstring(L"(none)");
    };
    EXPECT_EQ(reg(), S_OK);
    EXPECT_EQ(::lstrcmpiW(value(nullptr).c_str(), (folder_ + L"player.ocx").c_str()), 0) << value(nullptr);
    EXPECT_EQ(value(L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(unreg(), S_OK);
    EXPECT_EQ(value(nullptr), L"(none)");
    // Another file registered since stays.
    EXPECT_EQ(::RegSetKeyValueW(HKEY_CLASSES_ROOT, server, nullptr, REG_SZ, L"C:\\other.ocx", 26), ERROR_SUCCESS);
    EXPECT_EQ(unreg(), S_FALSE);
    EXPECT_EQ(value(nullptr), L"C:\\other.ocx");
    ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    classes.Reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, scratchKey);
}

TEST_F(StandinControlTest, HostedControlPlaysTheDrivingFileIntoEveryAdvisedSink) {
    Drive(
        "version 9.3\n"
        "fscommand hello big world\n"
        "wait 20\n"
        "flashcall <invoke name=\"g\" returntype=\"xml\"><arguments/></invoke>\n");
    ComPtr<IOleObject> control = CreateFromFile();
    ASSERT_NE(control.Get(), nullptr);
    DWORD misc = 0;
    EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
    TestSite site(parent_, RECT{10, 20, 330, 260});
    ASSERT_EQ(control->SetClientSite(&site), S_OK);
    EXPECT_EQ(As<IPersistStreamInit>(control.Get(), IID_IPersistStreamInit)->InitNew(), S_OK);

    ComPtr<IDispatch> dispatch = As<IDispatch>(control.Get(), IID_IDispatch);
    TestSink first, second;
    first.control = dispatch.Get();
    first.reply = L"<string>ok</string>";
    first.pumpInside = true;  // a second event must not start inside the first
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(As<IConnectionPointContainer>(control.Get(), IID_IConnectionPointContainer)
                  ->FindConnectionPoint(kEventsId, point.Receive()),
              S_OK);
    DWORD firstCookie = 0, secondCookie = 0;
    ASSERT_EQ(point->Advise(&first, &firstCookie), S_OK);
    ASSERT_EQ(point->Advise(&second, &secondCookie), S_OK);

    ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent_, nullptr), S_OK);
    HWND window = nullptr;
    ASSERT_EQ(As<IOleInPlaceObject>(control.Get(), IID_IOleInPlaceObject)->GetWindow(&window), S_OK);
    EXPECT_EQ(::GetParent(window), parent_);
    RECT r;
    ::GetWindowRect(window, &r);
    ::MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 240);
    const RECT moved{0, 0, 200, 100};
    EXPECT_EQ(As<IOleInPlaceObject>(control.Get(), IID_IOleInPlaceObject)->SetObjectRects(&moved, &moved), S_OK);
    ::GetClientRect(window, &r);
    EXPECT_EQ(r.right, 200);
    EXPECT_EQ(r.bottom, 100);
    // The window's own picture, captured as a container would: the background and the opaque zone.
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    win32::GdiObject bitmap(::CreateCompatibleBitmap(screen, 200, 100));
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(memory, bitmap.Get());
    EXPECT_TRUE(::PrintWindow(window, memory, PW_CLIENTONLY));
    EXPECT_EQ(::GetPixel(memory, 5, 5), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(::GetPixel(memory, 50, 50), RGB(0x30, 0x80, 0xC0));
    ::SelectObject(memory, old);
    ::DeleteDC(memory);

    // Names resolve in any case; the events wait for the first movie.
    EXPECT_EQ(Call(dispatch.Get(), L"pLaYiNg", DISPATCH_PROPERTYPUT,
                   [] {
                       std::vector<Var> v;
                       v.push_back(Var::Bool(false));
                       return v;
                   }()),
              S_OK);
    PumpRounds(5);
    EXPECT_TRUE(first.events.empty());
    EXPECT_EQ(Call(dispatch.Get(), L"movie", DISPATCH_PROPERTYPUT, TestSink::Args(L"C:\\m\u00e9.swf")), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return first.events.size() == 2; }));
    EXPECT_EQ(first.maxDepth, 1);
    const std::vector<std::wstring> events = {L"FSCommand hello big world",
                                              L"FlashCall <invoke name=\"g\" returntype=\"xml\"><arguments/></invoke>"};
    EXPECT_EQ(first.events, events);
    EXPECT_EQ(second.events, events);

    EXPECT_EQ(point->Unadvise(secondCookie), S_OK);
    EXPECT_EQ(point->Unadvise(secondCookie), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(firstCookie), S_OK);
    point.Reset();
    EXPECT_EQ(As<IOleInPlaceObject>(control.Get(), IID_IOleInPlaceObject)->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(site.activations, 1);
    EXPECT_EQ(site.deactivations, 1);
    EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
    dispatch.Reset();
    control.Reset();
    EXPECT_EQ(site.refs, 1u);
    EXPECT_EQ(first.refs, 1u);
    EXPECT_EQ(second.refs, 1u);
    EXPECT_EQ(canUnload_(), S_OK);

    const std::vector<std::string> expected = {
        "Playing := false",
        "Movie := \"C:\\\\m\xC3\xA9.swf\"",
        "raise FSCommand(\"hello\", \"big world\")",
        "wait 20 ms",
        "raise FlashCall(\"<invoke name=\\\"g\\\" returntype=\\\"xml\\\"><arguments/></invoke>\")",
        "SetReturnValue(\"<string>ok</string>\")",
    };
    EXPECT_EQ(Recorded(), expected);
}

TEST_F(StandinControlTest, MembersConvertTheirArgumentsAndFailWhereTheMovieHasNoAnswer) {
    Drive("version 9.3\nvariable answer 42\nfunction f <number>7</number>\n");
    ComPtr<IOleObject> control = CreateFromFile();
    ASSERT_NE(control.Get(), nullptr);
    ComPtr<IDispatch> d = As<IDispatch>(control.Get(), IID_IDispatch);
    Var result;
    EXPECT_EQ(Call(d.Get(), L"FlashVersion", DISPATCH_METHOD, {}, &result), S_OK);
    EXPECT_EQ(result.Get()->lVal, (9 << 16) | 3);

    EXPECT_EQ(Call(d.Get(), L"ScaleMode", DISPATCH_PROPERTYPUT, TestSink::Args(L"2")), S_OK);  // text converts
    Var mode;
    EXPECT_EQ(Call(d.Get(), L"ScaleMode", DISPATCH_PROPERTYGET, {}, &mode), S_OK);
    EXPECT_EQ(mode.Get()->vt, VT_I4);
    EXPECT_EQ(mode.Get()->lVal, 2);
    UINT argError = 99;
    EXPECT_EQ(Call(d.Get(), L"ScaleMode", DISPATCH_PROPERTYPUT, TestSink::Args(L"wide"), nullptr, &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 0u);
    std::vector<Var> numbers;
    numbers.emplace_back(7);
    EXPECT_EQ(Call(d.Get(), L"ScaleMode", DISPATCH_PROPERTYPUT, std::move(numbers)), E_INVALIDARG);

    Var value;
    EXPECT_EQ(Call(d.Get(), L"GetVariable", DISPATCH_METHOD, TestSink::Args(L"answer"), &value), S_OK);
    EXPECT_EQ(value.Text(), L"42");
    EXPECT_EQ(Call(d.Get(), L"GetVariable", DISPATCH_METHOD, TestSink::Args(L"missing")), E_FAIL);
    std::vector<Var> pair;
    pair.emplace_back(L"missing");
    pair.emplace_back(5);  // a number where text is wanted converts
    EXPECT_EQ(Call(d.Get(), L"SetVariable", DISPATCH_METHOD, std::move(pair)), S_OK);
    EXPECT_EQ(Call(d.Get(), L"GetVariable", DISPATCH_METHOD, TestSink::Args(L"missing"), &value), S_OK);
    EXPECT_EQ(value.Text(), L"5");
    Var reply;
    EXPECT_EQ(Call(d.Get(), L"CallFunction", DISPATCH_METHOD, TestSink::Args(L"<invoke name=\"f\"/>"), &reply), S_OK);
    EXPECT_EQ(reply.Text(), L"<number>7</number>");
    EXPECT_EQ(Call(d.Get(), L"CallFunction", DISPATCH_METHOD, TestSink::Args(L"<invoke name=\"h\"/>")), E_FAIL);

    EXPECT_EQ(IdOf(d.Get(), L"Rewound"), DISPID_UNKNOWN);
    EXPECT_EQ(Call(d.Get(), L"GetVariable", DISPATCH_METHOD, {}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(d.Get(), L"FlashVersion", DISPATCH_PROPERTYPUT, TestSink::Args(L"1")), DISP_E_MEMBERNOTFOUND);
    std::vector<Var> frame;
    frame.emplace_back(L"_root");
    frame.emplace_back(L"start");
    EXPECT_EQ(Call(d.Get(), L"TCallLabel", DISPATCH_METHOD, std::move(frame)), S_OK);
    EXPECT_EQ(Recorded().back(), "CallFrame(\"_root\", \"start\")");
}

TEST_F(StandinControlTest, PlaybackTimelineAndPropertyMembersAnswerByNameLikeThePlayers) {
    Drive("frames 5\nrefuse PercentLoaded\n");
    ComPtr<IOleObject> control = CreateFromFile();
    ASSERT_NE(control.Get(), nullptr);
    ComPtr<IDispatch> d = As<IDispatch>(control.Get(), IID_IDispatch);
    EXPECT_NE(IdOf(d.Get(), L"rewind"), DISPID_UNKNOWN);  // names match without case
    EXPECT_EQ(IdOf(d.Get(), L"gotoframe"), IdOf(d.Get(), L"GotoFrame"));
    std::vector<Var> frame;
    frame.emplace_back(4);
    EXPECT_EQ(Call(d.Get(), L"GotoFrame", DISPATCH_METHOD, std::move(frame)), S_OK);
    frame.emplace_back(5);
    EXPECT_EQ(Call(d.Get(), L"GotoFrame", DISPATCH_METHOD, std::move(frame)), E_FAIL);  // past the last
    Var current, total, refused;
    EXPECT_EQ(Call(d.Get(), L"CurrentFrame", DISPATCH_METHOD, {}, &current), S_OK);
    EXPECT_EQ(current.Get()->vt, VT_I4);
    EXPECT_EQ(current.Get()->lVal, 4);
    EXPECT_EQ(Call(d.Get(), L"TotalFrames", DISPATCH_PROPERTYGET, {}, &total), S_OK);
    EXPECT_EQ(total.Get()->lVal, 5);
    EXPECT_EQ(Call(d.Get(), L"PercentLoaded", DISPATCH_METHOD, {}, &refused), E_FAIL);

    std::vector<Var> mode;
    mode.emplace_back(L"Opaque");
    EXPECT_EQ(Call(d.Get(), L"WMode", DISPATCH_PROPERTYPUT, std::move(mode)), S_OK);
    Var wmode;
    EXPECT_EQ(Call(d.Get(), L"WMode", DISPATCH_PROPERTYGET, {}, &wmode), S_OK);
    EXPECT_EQ(wmode.Text(), L"Opaque");
    std::vector<Var> label;
    label.emplace_back(L"/menu");
    label.emplace_back(L"open");
    EXPECT_EQ(Call(d.Get(), L"TGotoLabel", DISPATCH_METHOD, std::move(label)), S_OK);
    Var current2;
    EXPECT_EQ(Call(d.Get(), L"TCurrentLabel", DISPATCH_METHOD, TestSink::Args(L"/menu"), &current2), S_OK);
    EXPECT_EQ(current2.Text(), L"open");
    EXPECT_EQ(Recorded().back(), "TCurrentLabel(\"/menu\") -> \"open\"");
}

// The zones as documented, on black and on white, read back the way the transparent window's
// renderer reads them: alpha 0 for the background, 255 for the opaque zone, half for the other.
TEST_F(StandinControlTest, DrawPaintsTheZonesAndTheDriversRectanglesInsideTheBoundsOnly) {
    Drive("paint 2 2 4 4 00FF00\npaint 76 36 10 10 0000FF\n");
    ComPtr<IOleObject> control = CreateFromFile();
    ASSERT_NE(control.Get(), nullptr);
    ComPtr<IViewObject2> view = As<IViewObject2>(control.Get(), IID_IViewObject2);
    ComPtr<IDispatch> d = As<IDispatch>(control.Get(), IID_IDispatch);
    Var colour;
    EXPECT_EQ(Call(d.Get(), L"BackgroundColor", DISPATCH_PROPERTYGET, {}, &colour), S_OK);
    EXPECT_EQ(colour.Get()->lVal, 0xFFFFFF);  // white until written

    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 100, -60, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    win32::GdiObject bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_NE(bits, nullptr);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap.Get());
    const auto pixels = static_cast<uint32_t*>(bits);
    const auto at = [&](int x, int y) { return pixels[y * 100 + x] & 0xFFFFFF; };
    // The 80 x 40 area at 10, 10 of a magenta picture.
    const auto drawOn = [&](int32_t background) {
        std::fill(pixels, pixels + 100 * 60, 0xFF00FFu);
        std::vector<Var> v;
        v.emplace_back(background);
        EXPECT_EQ(Call(d.Get(), L"BackgroundColor", DISPATCH_PROPERTYPUT, std::move(v)), S_OK);
        const RECTL bounds{10, 10, 90, 50};
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
        ::GdiFlush();
    };
    drawOn(0x000000);
    const uint32_t black[] = {at(11, 11), at(30, 30), at(70, 30), at(13, 13), at(89, 49)};
    EXPECT_EQ(at(9, 9), 0xFF00FFu);
    EXPECT_EQ(at(90, 50), 0xFF00FFu);  // the blue rectangle is cut at the bounds
    drawOn(0xFFFFFF);
    const uint32_t white[] = {at(11, 11), at(30, 30), at(70, 30), at(13, 13), at(89, 49)};
    ::SelectObject(dc, old);
    ::DeleteDC(dc);

    EXPECT_EQ(black[0], 0x000000u);
    EXPECT_EQ(white[0], 0xFFFFFFu);
    EXPECT_EQ(black[1], 0x3080C0u);  // opaque zone: columns 10 to 29, rows 10 to 29 of the area
    EXPECT_EQ(white[1], 0x3080C0u);
    EXPECT_EQ(black[2], 0x601020u);  // half zone: C02040 half over the background
    EXPECT_EQ(white[2], 0xDF8F9Fu);
    EXPECT_EQ(black[3], 0x00FF00u);
    EXPECT_EQ(black[4], 0x0000FFu);
    const auto alpha = [&](int i) { return 255 - static_cast<int>((white[i] & 0xFF) - (black[i] & 0xFF)); };
    EXPECT_EQ(alpha(0), 0);
    EXPECT_EQ(alpha(1), 255);
    EXPECT_EQ(alpha(2), 128);
    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0),
              DV_E_DVASPECT);
}

TEST_F(StandinControlTest, ContainerThatDestroysItsWindowStillHearsOfTheDeactivation) {
    ComPtr<IOleObject> control = CreateFromFile();
    ASSERT_NE(control.Get(), nullptr);
    TestSite site(parent_, RECT{0, 0, 100, 100});
    control->SetClientSite(&site);
    ASSERT_EQ(control->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, 0, parent_, nullptr), S_OK);
    ::DestroyWindow(std::exchange(parent_, nullptr));
    EXPECT_EQ(site.deactivations, 1);
    HWND window = nullptr;
    EXPECT_EQ(As<IOleInPlaceObject>(control.Get(), IID_IOleInPlaceObject)->GetWindow(&window), E_FAIL);
    control.Reset();  // released without Close: the site still goes
    EXPECT_EQ(site.refs, 1u);
    EXPECT_EQ(canUnload_(), S_OK);
}

TEST_F(StandinControlTest, UnusableDrivingFileIsRecordedAsOneLine) {
    Drive("fscommand ok\nrewind 3\n");
    ComPtr<IOleObject> control = CreateFromFile();
    ASSERT_NE(control.Get(), nullptr);
    const std::vector<std::string> lines = Recorded();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("movie driver \"", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("driver.txt\" refused: line 2: "), std::string::npos) << lines[0];
    ::SetEnvironmentVariableW(L"VELMO_STANDIN_DRIVER", (folder_ + L"absent.txt").c_str());
    ComPtr<IOleObject> other = CreateFromFile();
    ASSERT_NE(other.Get(), nullptr);
    EXPECT_NE(Recorded().back().find("cannot read the movie driver"), std::string::npos);
}

}  // namespace
}  // namespace velmo::platform::standin_control
