#include "platform/ui/win32/standin_control/standin_control.h"

#include <utility>

#include "platform/ui/win32/standin_control/module.h"
#include "platform/ui/win32/standin_control/picture.h"

namespace velmo::platform::standin_control {

namespace {

constexpr wchar_t kWindowClass[] = L"VelmoStandinControl";
constexpr UINT_PTR kEventTimer = 1;
constexpr UINT kEventTimerMs = 10;
// 320 x 240 pixels at 96 dots per inch, until the container says otherwise.
constexpr SIZEL kDefaultExtent = {8467, 6350};

// Stores `p` with a reference of its own.
template <typename T>
void Hold(win32::ComPtr<T>& slot, T* p) {
    if (p) p->AddRef();
    *slot.Receive() = p;
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<StandinControl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (!control) return ::DefWindowProcW(window, message, wp, lp);
    try {
        return control->HandleMessage(window, message, wp, lp);
    } catch (...) {
        return ::DefWindowProcW(window, message, wp, lp);  // nothing may unwind into the system
    }
}

// Registered on first use; unregistered when the file is unloaded (server.cpp), since a class left
// behind would point at code that is gone.
bool RegisterWindowClass() {
    WNDCLASSEXW wc{};
    if (::GetClassInfoExW(ModuleInstance(), kWindowClass, &wc)) return true;
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ControlWindowProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&wc) != 0;
}

}  // namespace

void UnregisterControlWindowClass() { ::UnregisterClassW(kWindowClass, ModuleInstance()); }

StandinControl::StandinControl(std::unique_ptr<StandinMovieControl> movie, std::vector<StandinPaint> paints)
    : movie_(std::move(movie)), paints_(std::move(paints)), background_(kDefaultBackground), events_(*this),
      extent_(kDefaultExtent) {
    movie_->SetEventSink(this);
    ObjectMade();
}

StandinControl::~StandinControl() {
    movie_->SetEventSink(nullptr);
    ObjectGone();
}

// ---- IUnknown ----

HRESULT StandinControl::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject)) {
        *out = static_cast<IOleObject*>(this);
    } else if (IsEqualIID(iid, IID_IDispatch)) {
        *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject)) {
        *out = static_cast<IOleInPlaceObject*>(this);
    } else if (IsEqualIID(iid, IID_IOleControl)) {
        *out = static_cast<IOleControl*>(this);
    } else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2)) {
        *out = static_cast<IViewObject2*>(this);
    } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
        *out = static_cast<IConnectionPointContainer*>(this);
    } else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2)) {
        *out = static_cast<IProvideClassInfo2*>(this);
    } else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit)) {
        *out = static_cast<IPersistStreamInit*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG StandinControl::AddRef() { return ++refs_; }

ULONG StandinControl::Release() {
    const ULONG left = --refs_;
    if (left != 0) return left;
    // A container that never deactivated still gets its site told, and the window goes.
    refs_ = 1;  // the tear-down below may call back into this object
    (void)InPlaceDeactivate();
    events_.DropAll();
    clientSite_.Reset();
    viewSink_.Reset();
    delete this;
    return 0;
}

// ---- IOleObject ----

HRESULT StandinControl::SetClientSite(IOleClientSite* site) {
    Hold(clientSite_, site);
    return S_OK;
}

HRESULT StandinControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = clientSite_.Get();
    if (*site) (*site)->AddRef();
    return S_OK;
}

HRESULT StandinControl::Close(DWORD /*saveOption*/) {
    (void)InPlaceDeactivate();
    clientSite_.Reset();
    return S_OK;
}

HRESULT StandinControl::GetMoniker(DWORD, DWORD, IMoniker** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT StandinControl::GetClipboardData(DWORD, IDataObject** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT StandinControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent, LPCRECT position) {
    return Guarded([&]() -> HRESULT {
        switch (verb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
            case OLEIVERB_UIACTIVATE: {
                const HRESULT hr = ActivateInPlace(activeSite ? activeSite : clientSite_.Get(), parent, position);
                if (SUCCEEDED(hr)) ::ShowWindow(window_, SW_SHOW);
                return hr;
            }
            case OLEIVERB_HIDE:
                if (window_) ::ShowWindow(window_, SW_HIDE);
                return S_OK;
            default: return OLEOBJ_S_INVALIDVERB;
        }
    });
}

HRESULT StandinControl::EnumVerbs(IEnumOLEVERB** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT StandinControl::GetUserClassID(CLSID* id) { return GetClassID(id); }

HRESULT StandinControl::GetUserType(DWORD, LPOLESTR* out) {
    if (out) *out = nullptr;
    return OLE_S_USEREG;
}

HRESULT StandinControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    return S_OK;
}

HRESULT StandinControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = extent_;
    return S_OK;
}

HRESULT StandinControl::Advise(IAdviseSink*, DWORD* cookie) {
    if (cookie) *cookie = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT StandinControl::EnumAdvise(IEnumSTATDATA** out) {
    if (out) *out = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT StandinControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = 0;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
              OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}

// ---- In-place activation ----

// The site says where: its window is the parent (the verb's window only when the site has none),
// and the verb's rectangle wins over the site's.
HRESULT StandinControl::ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position) {
    if (window_) {
        if (position) (void)SetObjectRects(position, position);
        return S_OK;
    }
    if (!site) return E_UNEXPECTED;
    win32::ComPtr<IOleInPlaceSite> inPlace;
    if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(inPlace.Receive())))) {
        return E_NOINTERFACE;
    }
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
    if (FAILED(inPlace->OnInPlaceActivate())) return E_FAIL;
    HWND siteWindow = nullptr;
    if (SUCCEEDED(inPlace->GetWindow(&siteWindow)) && siteWindow) parent = siteWindow;
    win32::ComPtr<IOleInPlaceFrame> frame;
    win32::ComPtr<IOleInPlaceUIWindow> document;
    RECT place{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    const bool hasContext =
        SUCCEEDED(inPlace->GetWindowContext(frame.Receive(), document.Receive(), &place, &clip, &frameInfo));
    if (position) place = *position;
    if (!position && !hasContext) ::SetRectEmpty(&place);
    if (!parent || !RegisterWindowClass() ||
        !::CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, place.left,
                           place.top, place.right - place.left, place.bottom - place.top, parent, nullptr,
                           ModuleInstance(), this)) {
        (void)inPlace->OnInPlaceDeactivate();
        return E_FAIL;
    }
    // window_ was set by WM_NCCREATE's arrival in HandleMessage.
    inPlaceSite_ = std::move(inPlace);
    ArmTimer();
    return S_OK;
}

HRESULT StandinControl::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

HRESULT StandinControl::InPlaceDeactivate() {
    if (!window_) return S_OK;
    ::DestroyWindow(std::exchange(window_, nullptr));
    if (win32::ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_); site.Get()) (void)site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT StandinControl::SetObjectRects(LPCRECT position, LPCRECT /*clip*/) {
    if (!position) return E_POINTER;
    if (!window_) return E_UNEXPECTED;
    ::MoveWindow(window_, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, TRUE);
    return S_OK;
}

HRESULT StandinControl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

// ---- Drawing ----

void StandinControl::Paint(HDC dc, const RECT& bounds) const {
    const Size size{bounds.right - bounds.left, bounds.bottom - bounds.top};
    for (const PictureFill& fill : StandinPicture(size, background_, paints_)) {
        const uint32_t rgb = fill.rgb;
        win32::GdiObject brush(::CreateSolidBrush(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF)));
        const RECT r{bounds.left + fill.rect.left, bounds.top + fill.rect.top,
                     bounds.left + fill.rect.left + fill.rect.width, bounds.top + fill.rect.top + fill.rect.height};
        ::FillRect(dc, &r, static_cast<HBRUSH>(brush.Get()));
    }
}

HRESULT StandinControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                             BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    return Guarded([&] {
        Paint(dc, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
        return S_OK;
    });
}

HRESULT StandinControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    Hold(viewSink_, sink);
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

HRESULT StandinControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_.Get();
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}

HRESULT StandinControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) { return GetExtent(aspect, size); }

// ---- Events ----

HRESULT StandinControl::EnumConnectionPoints(IEnumConnectionPoints** out) {
    return MakeConnectionPointEnumerator(events_, out);
}

HRESULT StandinControl::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, kEventsId)) return CONNECT_E_NOCONNECTION;
    events_.AddRef();
    *out = &events_;
    return S_OK;
}

HRESULT StandinControl::GetClassInfo(ITypeInfo** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT StandinControl::GetGUID(DWORD kind, GUID* id) {
    if (!id) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *id = GUID_NULL;
        return E_INVALIDARG;
    }
    *id = kEventsId;
    return S_OK;
}

HRESULT StandinControl::GetClassID(CLSID* id) {
    if (!id) return E_POINTER;
    *id = kClassId;
    return S_OK;
}

HRESULT StandinControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

void StandinControl::OnFSCommand(std::u16string_view command, std::u16string_view argument) {
    std::vector<VARIANT> args(2);
    args[1].vt = args[0].vt = VT_BSTR;
    args[1].bstrVal = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(command.data()), command.size());
    args[0].bstrVal = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(argument.data()), argument.size());
    events_.Fire(kDispidFSCommand, args);
    for (VARIANT& v : args) ::VariantClear(&v);
}

void StandinControl::OnFlashCall(std::u16string_view request) {
    std::vector<VARIANT> args(1);
    args[0].vt = VT_BSTR;
    args[0].bstrVal = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(request.data()), request.size());
    events_.Fire(kDispidFlashCall, args);
    ::VariantClear(&args[0]);
}

void StandinControl::ArmTimer() {
    if (window_ && !raising_ && movie_->HoldsEvents()) ::SetTimer(window_, kEventTimer, kEventTimerMs, nullptr);
}

// One event per tick, and the next tick only once it was delivered: the container's own work
// (posted messages) runs in between, and a sink that pumps messages cannot start a second event.
void StandinControl::OnTimer() {
    ::KillTimer(window_, kEventTimer);
    if (raising_) return;
    AddRef();  // the sink may release the control, or deactivate it, while it handles the event
    raising_ = true;
    (void)movie_->RaiseNextEvent();
    raising_ = false;
    ArmTimer();
    Release();
}

// ---- The window ----

LRESULT StandinControl::HandleMessage(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
        case WM_NCCREATE: window_ = window; break;
        case WM_NCDESTROY:
            // The container may destroy its window, and this one with it, without deactivating.
            if (window_ == window) {
                window_ = nullptr;
                if (win32::ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_); site.Get()) {
                    (void)site->OnInPlaceDeactivate();
                }
            }
            break;
        case WM_ERASEBKGND: return 1;  // WM_PAINT covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            if (HDC dc = ::BeginPaint(window, &ps)) {
                RECT client;
                ::GetClientRect(window, &client);
                Paint(dc, client);
                ::EndPaint(window, &ps);
            }
            return 0;
        }
        case WM_PRINTCLIENT: {
            // What PrintWindow and WM_PRINT ask for: a container may capture the control this way.
            RECT client;
            ::GetClientRect(window, &client);
            Paint(reinterpret_cast<HDC>(wp), client);
            return 0;
        }
        case WM_TIMER:
            if (wp != kEventTimer) break;
            OnTimer();
            return 0;
        default: break;
    }
    return ::DefWindowProcW(window, message, wp, lp);
}

}  // namespace velmo::platform::standin_control
