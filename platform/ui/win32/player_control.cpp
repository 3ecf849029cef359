#include "platform/ui/win32/player_control.h"

#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/text.h"
#include "platform/ui/win32/picture_bitmap.h"
#include "platform/ui/win32/print_route.h"

namespace velmo::platform::win32 {

namespace {

// A variant cleared at the end of the scope.
struct Variant {
    VARIANT value;
    Variant() { ::VariantInit(&value); }
    ~Variant() { ::VariantClear(&value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// Fills `v` (empty) with a string; false when the system has no memory for it.
bool SetString(VARIANT& v, std::u16string_view text) {
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    return v.bstrVal != nullptr || text.empty();
}

// `v` as text: none when it holds nothing or cannot be read as a string.
std::optional<std::u16string> TextOf(VARIANT& v) {
    if (v.vt == VT_EMPTY || v.vt == VT_NULL) return std::nullopt;
    if (v.vt != VT_BSTR && FAILED(::VariantChangeType(&v, &v, 0, VT_BSTR))) return std::nullopt;
    if (!v.bstrVal) return std::u16string();
    return std::u16string(reinterpret_cast<const char16_t*>(v.bstrVal), ::SysStringLen(v.bstrVal));
}

const wchar_t* WidePath(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::optional<CLSID> PlayerClassId() {
    const std::u16string text = AnsiToUtf16(kPlayerClassId);
    CLSID id;
    if (FAILED(::CLSIDFromString(const_cast<LPOLESTR>(WidePath(text)), &id))) return std::nullopt;
    return id;
}

// The control object from the file's own class factory: no registration is involved.
HRESULT CreateFromFile(HMODULE module, const CLSID& id, IOleObject** object) {
    using GetClassObjectCall = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto getClassObject =
        reinterpret_cast<GetClassObjectCall>(reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
    if (!getClassObject) return E_NOINTERFACE;
    ComPtr<IClassFactory> factory;
    const HRESULT got = getClassObject(id, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive()));
    if (FAILED(got) || !factory.Get()) return FAILED(got) ? got : E_NOINTERFACE;
    return factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(object));
}

// The file is unloaded only when it says none of its objects is left: unloading code that an
// object of the file still runs would crash later, far from the cause.
void FreeControlFile(HMODULE module) {
    using CanUnloadNowCall = HRESULT(STDAPICALLTYPE*)();
    const auto canUnload =
        reinterpret_cast<CanUnloadNowCall>(reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
    if (!canUnload || canUnload() == S_OK) ::FreeLibrary(module);
}

// What a control torn down inside its own event leaves for later: its file, and the start of OLE
// it made (the last one would take the system's COM state from under the control's code).
struct Retired {
    HMODULE module;
    bool oleStarted;
};

std::vector<Retired>& RetiredFiles() {
    static std::vector<Retired> files;
    return files;
}

}  // namespace

std::unique_ptr<PlayerControl> PlayerControl::Create(FrameWindowImpl& frame, const std::string& controlFile) {
    const std::optional<CLSID> id = PlayerClassId();
    if (!id || !frame.Handle()) return nullptr;
    std::unique_ptr<PlayerControl> control(new PlayerControl());
    // Balanced by the tear-down; a process that started OLE already only counts one more start.
    control->oleStarted_ = SUCCEEDED(::OleInitialize(nullptr));
    HRESULT made = E_FAIL;
    if (controlFile.empty()) {
        made = ::CoCreateInstance(*id, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(control->object_.Receive()));
    } else {
        const std::u16string path = AnsiToUtf16(controlFile);
        control->module_ = ::LoadLibraryW(WidePath(path));
        // The control file's print dialog goes through the runtime, which may take the default
        // printer without asking; a file the patch cannot reach still plays.
        if (control->module_) (void)RoutePrintDialog(control->module_);
        if (control->module_) made = CreateFromFile(control->module_, *id, control->object_.Receive());
    }
    if (FAILED(made) || !control->object_.Get() || !control->Activate(frame)) return nullptr;
    return control;
}

// The order that works for controls which need their site before anything else, and for those
// that want it only after their state is made: the control's miscellaneous status says which.
bool PlayerControl::Activate(FrameWindowImpl& frame) {
    site_ = new ControlSite(frame.Handle());
    DWORD status = 0;
    (void)object_->GetMiscStatus(DVASPECT_CONTENT, &status);
    const bool siteFirst = (status & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst && FAILED(object_->SetClientSite(site_))) return false;
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(persist.Receive()))) &&
        persist.Get())
        (void)persist->InitNew();
    if (!siteFirst && FAILED(object_->SetClientSite(site_))) return false;
    if (FAILED(object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch_.Receive()))))
        dispatch_.Reset();
    ConnectEvents();

    RECT client;
    ::GetClientRect(frame.Handle(), &client);
    if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, frame.Handle(), &client))) return false;
    if (FAILED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace_.Receive()))) ||
        !inPlace_.Get())
        return false;
    // A control without a window of its own cannot be filtered or painted by the frame.
    if (FAILED(inPlace_->GetWindow(&window_)) || !window_) return false;
    if (!frame.AttachMovieWindow(window_, *this)) return false;
    frame_ = &frame;
    FindMembers();
    return true;
}

void PlayerControl::FindMembers() {
    if (!dispatch_.Get()) return;
    for (size_t i = 0; i < kPlayerMemberCount; ++i) {
        LPOLESTR name = const_cast<LPOLESTR>(kPlayerMemberNames[i]);
        DISPID id = DISPID_UNKNOWN;
        if (SUCCEEDED(dispatch_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id))) ids_[i] = id;
    }
}

// A control that raises no events, or whose event interface cannot be found, still plays.
void PlayerControl::ConnectEvents() {
    const std::optional<IID> eventInterface = FindEventInterface(object_.Get());
    if (!eventInterface) return;
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(object_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Receive()))) ||
        !container.Get())
        return;
    if (FAILED(container->FindConnectionPoint(*eventInterface, eventPoint_.Receive())) || !eventPoint_.Get()) {
        eventPoint_.Reset();
        return;
    }
    sink_ = new EventSink(*eventInterface, this);
    if (FAILED(eventPoint_->Advise(static_cast<IDispatch*>(sink_), &eventCookie_))) {
        eventCookie_ = 0;
        eventPoint_.Reset();
    }
}

PlayerControl::~PlayerControl() { TearDown(); }

void PlayerControl::TearDown() {
    events_ = nullptr;
    // Inside one of the control's events its code is still on the stack: the file waits for the
    // message loop.
    const bool inEvent = sink_ && sink_->Delivering();
    if (sink_) sink_->Disconnect();
    if (eventPoint_.Get() && eventCookie_) (void)eventPoint_->Unadvise(eventCookie_);
    eventCookie_ = 0;
    eventPoint_.Reset();
    if (frame_) frame_->DetachMovieWindow();
    frame_ = nullptr;
    if (inPlace_.Get()) (void)inPlace_->InPlaceDeactivate();
    inPlace_.Reset();
    window_ = nullptr;
    if (object_.Get()) {
        (void)object_->Close(OLECLOSE_NOSAVE);
        (void)object_->SetClientSite(nullptr);
    }
    dispatch_.Reset();
    object_.Reset();
    // A control that kept a reference to its site finds no window behind it any more.
    if (site_) site_->FrameGone();
    if (site_) std::exchange(site_, nullptr)->Release();
    if (sink_) std::exchange(sink_, nullptr)->Release();
    if (inEvent) {
        RetiredFiles().push_back({module_, oleStarted_});
    } else {
        if (module_) FreeControlFile(module_);
        if (oleStarted_) ::OleUninitialize();
    }
    module_ = nullptr;
    oleStarted_ = false;
}

void PlayerControl::PlaceMovieWindow(const RECT& rect) {
    if (inPlace_.Get()) (void)inPlace_->SetObjectRects(&rect, &rect);
}

void PlayerControl::MovieWindowGone(bool windowDestroyed) {
    frame_ = nullptr;
    if (site_) site_->FrameGone();
    // With the frame going first the window is still there: leave the in-place state while the
    // control can still take its window down itself.
    if (!windowDestroyed && inPlace_.Get()) (void)inPlace_->InPlaceDeactivate();
    if (!windowDestroyed) inPlace_.Reset();
    window_ = nullptr;
}

void PlayerControl::OnFSCommand(const std::u16string& command, const std::u16string& argument) {
    if (events_) events_->OnFSCommand(command, argument);
}

void PlayerControl::OnFlashCall(const std::u16string& request) {
    if (events_) events_->OnFlashCall(request);
}

HRESULT PlayerControl::Invoke(PlayerMember member, WORD flags, VARIANT* args, UINT count, VARIANT* result) const {
    const std::optional<DISPID> id = ids_[static_cast<size_t>(member)];
    if (!id) return DISP_E_MEMBERNOTFOUND;
    return InvokeId(*id, flags, args, count, result);
}

HRESULT PlayerControl::InvokeId(DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result) const {
    if (!dispatch_.Get()) return DISP_E_MEMBERNOTFOUND;
    // Dispatch takes its arguments last first.
    std::vector<VARIANT> reversed(args, args + count);
    std::reverse(reversed.begin(), reversed.end());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, count, 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception;
    std::memset(&exception, 0, sizeof exception);
    UINT argumentError = 0;
    const HRESULT status =
        dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argumentError);
    // The control's exception texts are ours to free.
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return status;
}

std::optional<std::u16string> PlayerControl::ReadString(PlayerMember member) const {
    Variant result;
    if (FAILED(Invoke(member, DISPATCH_PROPERTYGET, nullptr, 0, &result.value))) return std::nullopt;
    return TextOf(result.value);
}

bool PlayerControl::WriteString(PlayerMember member, std::u16string_view text) {
    Variant value;
    if (!SetString(value.value, text)) return false;
    return WriteValue(member, value.value);
}

std::optional<int32_t> PlayerControl::ReadInteger(PlayerMember member, WORD flags) const {
    Variant result;
    if (FAILED(Invoke(member, flags, nullptr, 0, &result.value))) return std::nullopt;
    if (FAILED(::VariantChangeType(&result.value, &result.value, 0, VT_I4))) return std::nullopt;
    return static_cast<int32_t>(result.value.lVal);
}

bool PlayerControl::WriteValue(PlayerMember member, VARIANT& value) {
    return SUCCEEDED(Invoke(member, DISPATCH_PROPERTYPUT, &value, 1, nullptr));
}

std::optional<std::u16string> PlayerControl::CallForString(PlayerMember member, std::u16string_view argument) {
    Variant arg, result;
    if (!SetString(arg.value, argument)) return std::nullopt;
    if (FAILED(Invoke(member, DISPATCH_METHOD, &arg.value, 1, &result.value))) return std::nullopt;
    return TextOf(result.value);
}

uint32_t PlayerControl::FlashVersion() const {
    return static_cast<uint32_t>(
        ReadInteger(PlayerMember::FlashVersion, DISPATCH_METHOD | DISPATCH_PROPERTYGET).value_or(0));
}

std::u16string PlayerControl::Movie() const { return ReadString(PlayerMember::Movie).value_or(u""); }

bool PlayerControl::SetMovie(std::u16string_view path) { return WriteString(PlayerMember::Movie, path); }

bool PlayerControl::Playing() const {
    return ReadInteger(PlayerMember::Playing, DISPATCH_PROPERTYGET).value_or(0) != 0;
}

bool PlayerControl::SetPlaying(bool playing) {
    Variant value;
    value.value.vt = VT_BOOL;
    value.value.boolVal = playing ? VARIANT_TRUE : VARIANT_FALSE;
    return WriteValue(PlayerMember::Playing, value.value);
}

int PlayerControl::ScaleMode() const { return ReadInteger(PlayerMember::ScaleMode, DISPATCH_PROPERTYGET).value_or(0); }

bool PlayerControl::SetScaleMode(int mode) {
    Variant value;
    value.value.vt = VT_I4;
    value.value.lVal = mode;
    return WriteValue(PlayerMember::ScaleMode, value.value);
}

bool PlayerControl::SetBackgroundColor(int32_t rgb) {
    Variant value;
    value.value.vt = VT_I4;
    value.value.lVal = rgb;
    return WriteValue(PlayerMember::BackgroundColor, value.value);
}

std::u16string PlayerControl::Base() const { return ReadString(PlayerMember::Base).value_or(u""); }

bool PlayerControl::SetBase(std::u16string_view base) { return WriteString(PlayerMember::Base, base); }

std::optional<std::u16string> PlayerControl::GetVariable(std::u16string_view name) {
    return CallForString(PlayerMember::GetVariable, name);
}

bool PlayerControl::SetVariable(std::u16string_view name, std::u16string_view value) {
    Variant args[2];
    if (!SetString(args[0].value, name) || !SetString(args[1].value, value)) return false;
    VARIANT plain[2] = {args[0].value, args[1].value};
    return SUCCEEDED(Invoke(PlayerMember::SetVariable, DISPATCH_METHOD, plain, 2, nullptr));
}

std::optional<std::u16string> PlayerControl::CallFunction(std::u16string_view request) {
    return CallForString(PlayerMember::CallFunction, request);
}

void PlayerControl::SetReturnValue(std::u16string_view reply) {
    Variant arg;
    if (!SetString(arg.value, reply)) return;
    (void)Invoke(PlayerMember::SetReturnValue, DISPATCH_METHOD, &arg.value, 1, nullptr);
}

bool PlayerControl::CallFrame(std::u16string_view target, std::u16string_view label) {
    Variant args[2];
    if (!SetString(args[0].value, target) || !SetString(args[1].value, label)) return false;
    VARIANT plain[2] = {args[0].value, args[1].value};
    return SUCCEEDED(Invoke(PlayerMember::CallLabel, DISPATCH_METHOD, plain, 2, nullptr));
}

std::optional<DISPID> PlayerControl::IdOf(std::string_view name) {
    if (!dispatch_.Get()) return std::nullopt;
    const auto known = scriptIds_.find(name);
    if (known != scriptIds_.end()) return known->second;
    std::u16string wide = AnsiToUtf16(name);
    LPOLESTR names = const_cast<LPOLESTR>(WidePath(wide));
    DISPID id = DISPID_UNKNOWN;
    std::optional<DISPID> found;
    if (SUCCEEDED(dispatch_->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id))) found = id;
    scriptIds_.emplace(std::string(name), found);
    return found;
}

namespace {

// The variants of `values`, cleared with the object; false when a text found no memory.
class VariantList {
public:
    explicit VariantList(std::span<const MovieValue> values) : variants_(values.size()) {
        for (size_t i = 0; i < values.size(); ++i) {
            VARIANT& v = variants_[i].value;
            if (const bool* flag = std::get_if<bool>(&values[i])) {
                v.vt = VT_BOOL;
                v.boolVal = *flag ? VARIANT_TRUE : VARIANT_FALSE;
            } else if (const int32_t* number = std::get_if<int32_t>(&values[i])) {
                v.vt = VT_I4;
                v.lVal = *number;
            } else if (const double* real = std::get_if<double>(&values[i])) {
                v.vt = VT_R8;
                v.dblVal = *real;
            } else if (const std::u16string* text = std::get_if<std::u16string>(&values[i])) {
                ok_ = SetString(v, *text) && ok_;
            }
        }
    }
    bool Ok() const { return ok_; }
    // Plain copies for the call: the list keeps ownership.
    std::vector<VARIANT> Plain() const {
        std::vector<VARIANT> plain;
        for (const Variant& v : variants_) plain.push_back(v.value);
        return plain;
    }

private:
    std::vector<Variant> variants_;
    bool ok_ = true;
};

// What a member answered, in the few kinds scripts take; a kind the control should not give
// (an object, an array) is read as text when the system can make one of it.
std::optional<MovieValue> ValueOf(VARIANT& v) {
    switch (v.vt) {
        case VT_EMPTY: return MovieValue{};
        case VT_BOOL: return MovieValue{v.boolVal != VARIANT_FALSE};
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UINT:
            if (FAILED(::VariantChangeType(&v, &v, 0, VT_I4))) return std::nullopt;
            return MovieValue{static_cast<int32_t>(v.lVal)};
        case VT_R4:
        case VT_R8:
            if (FAILED(::VariantChangeType(&v, &v, 0, VT_R8))) return std::nullopt;
            return MovieValue{v.dblVal};
        default: {
            const std::optional<std::u16string> text = TextOf(v);
            if (!text) return std::nullopt;
            return MovieValue{*text};
        }
    }
}

}  // namespace

std::optional<MovieValue> PlayerControl::Call(MovieMethod method, std::span<const MovieValue> args) {
    const std::optional<DISPID> id = IdOf(NameOf(method));
    VariantList list(args);
    if (!id || !list.Ok()) return std::nullopt;
    std::vector<VARIANT> plain = list.Plain();
    Variant result;
    if (FAILED(InvokeId(*id, DISPATCH_METHOD, plain.data(), static_cast<UINT>(plain.size()), &result.value)))
        return std::nullopt;
    return ValueOf(result.value);
}

std::optional<MovieValue> PlayerControl::Get(MovieProperty property) {
    const std::optional<DISPID> id = IdOf(NameOf(property));
    Variant result;
    if (!id || FAILED(InvokeId(*id, DISPATCH_PROPERTYGET, nullptr, 0, &result.value))) return std::nullopt;
    return ValueOf(result.value);
}

bool PlayerControl::Put(MovieProperty property, const MovieValue& value) {
    const std::optional<DISPID> id = IdOf(NameOf(property));
    VariantList list(std::span<const MovieValue>(&value, 1));
    if (!id || !list.Ok()) return false;
    std::vector<VARIANT> plain = list.Plain();
    return SUCCEEDED(InvokeId(*id, DISPATCH_PROPERTYPUT, plain.data(), 1, nullptr));
}

namespace {

Rect Intersection(const Rect& a, const Rect& b) {
    const int left = std::max(a.left, b.left), top = std::max(a.top, b.top);
    const int right = std::min(a.left + a.width, b.left + b.width),
              bottom = std::min(a.top + a.height, b.top + b.height);
    return right > left && bottom > top ? Rect{left, top, right - left, bottom - top} : Rect{};
}

}  // namespace

// The control draws into a device-independent copy of the picture: rows from the top, the same
// blue-green-red-alpha bytes the picture holds, so the copy in and out is row by row. Only the
// pixels inside `clip` come back, whatever the control touched outside it.
bool PlayerControl::DrawOnto(PixelImage& image, const Rect& dest, const Rect& clip, uint32_t backgroundRgb) {
    if (!object_.Get() || image.size.width <= 0 || image.size.height <= 0) return false;
    ComPtr<IViewObject> view;
    if (FAILED(object_->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(view.Receive()))) || !view.Get())
        return false;
    const Rect area = Intersection(Intersection(dest, clip), {0, 0, image.size.width, image.size.height});
    // The empty parts of the movie take the control's background colour, as on screen.
    (void)SetBackgroundColor(static_cast<int32_t>(backgroundRgb & 0xFFFFFF));
    if (area.width <= 0 || area.height <= 0) return true;

    uint32_t* pixels = nullptr;
    const GdiObject bitmap = PictureBitmap(image, &pixels);
    if (!bitmap) return false;
    WindowDc screen(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen.Get());
    if (!memory) return false;
    const HGDIOBJ previous = ::SelectObject(memory, bitmap.Get());
    ::IntersectClipRect(memory, area.left, area.top, area.left + area.width, area.top + area.height);
    const RECT fill{dest.left, dest.top, dest.left + dest.width, dest.top + dest.height};
    const COLORREF colour = RGB((backgroundRgb >> 16) & 0xFF, (backgroundRgb >> 8) & 0xFF, backgroundRgb & 0xFF);
    GdiObject brush(::CreateSolidBrush(colour));
    if (brush) ::FillRect(memory, &fill, static_cast<HBRUSH>(brush.Get()));
    const RECTL bounds{fill.left, fill.top, fill.right, fill.bottom};
    const HRESULT drawn =
        view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr, nullptr, 0);
    ::GdiFlush();
    ::SelectObject(memory, previous);
    ::DeleteDC(memory);
    if (FAILED(drawn)) return false;
    const size_t width = static_cast<size_t>(image.size.width);
    for (int y = area.top; y < area.top + area.height; ++y) {
        const size_t at = static_cast<size_t>(y) * width + static_cast<size_t>(area.left);
        std::memcpy(&image.pixels[at], pixels + at, static_cast<size_t>(area.width) * sizeof(uint32_t));
    }
    return true;
}

namespace {

// The default value of the class's InProcServer32 key, with environment references expanded.
std::string RegisteredFile() {
    const std::u16string key = u"CLSID\\" + AnsiToUtf16(kPlayerClassId) + u"\\InProcServer32";
    RegistryKey opened;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, WidePath(key), 0, KEY_QUERY_VALUE, opened.Receive()) != ERROR_SUCCESS)
        return {};
    DWORD type = 0, sizeBytes = 0;
    if (::RegQueryValueExW(opened.Get(), nullptr, nullptr, &type, nullptr, &sizeBytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || sizeBytes == 0)
        return {};
    std::u16string value(sizeBytes / sizeof(char16_t) + 1, u'\0');
    if (::RegQueryValueExW(opened.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &sizeBytes) !=
        ERROR_SUCCESS)
        return {};
    value.resize(std::min(value.size(), static_cast<size_t>(sizeBytes / sizeof(char16_t))));
    while (!value.empty() && value.back() == u'\0') value.pop_back();
    if (type == REG_EXPAND_SZ) {
        const DWORD needed = ::ExpandEnvironmentStringsW(WidePath(value), nullptr, 0);
        std::u16string expanded(needed, u'\0');
        if (needed == 0 ||
            ::ExpandEnvironmentStringsW(WidePath(value), reinterpret_cast<wchar_t*>(expanded.data()), needed) == 0)
            return {};
        while (!expanded.empty() && expanded.back() == u'\0') expanded.pop_back();
        value = expanded;
    }
    return Utf16ToAnsi(value);
}

}  // namespace

void FreeRetiredControlFiles() {
    if (RetiredFiles().empty() || AnyEventUnderWay()) return;
    std::vector<Retired> files;
    files.swap(RetiredFiles());
    for (const Retired& r : files) {
        if (r.module) FreeControlFile(r.module);
        if (r.oleStarted) ::OleUninitialize();
    }
}

}  // namespace velmo::platform::win32

namespace velmo::platform {

std::string RegisteredPlayerFile() { return win32::RegisteredFile(); }

std::unique_ptr<MovieControl> CreatePlayerControl(FrameWindow& window, const std::string& controlFile) {
    auto* frame = dynamic_cast<win32::FrameWindowImpl*>(&window);
    if (!frame) return nullptr;
    return win32::PlayerControl::Create(*frame, controlFile);
}

}  // namespace velmo::platform
