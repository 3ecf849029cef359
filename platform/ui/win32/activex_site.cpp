#include "platform/ui/win32/activex_site.h"

#include <olectl.h>

namespace velmo::platform::win32 {

namespace {

// The ambient properties a control of ours may ask for. It runs for the user, never in a designer:
// no dead user interface, no hatching, no grab handles. Everything else the container leaves to
// the control's own default.
bool AmbientValue(DISPID id, VARIANT_BOOL& value) {
    switch (id) {
        case DISPID_AMBIENT_USERMODE: value = VARIANT_TRUE; return true;
        case DISPID_AMBIENT_UIDEAD:
        case DISPID_AMBIENT_SHOWHATCHING:
        case DISPID_AMBIENT_SHOWGRABHANDLES: value = VARIANT_FALSE; return true;
        default: return false;
    }
}

}  // namespace

HRESULT ControlSite::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IOleControlSite) *out = static_cast<IOleControlSite*>(this);
    else if (iid == IID_IParseDisplayName || iid == IID_IOleContainer) *out = static_cast<IOleContainer*>(this);
    else if (iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG ControlSite::AddRef() { return ++references_; }

ULONG ControlSite::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT ControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlSite::GetContainer(IOleContainer** container) {
    if (!container) return E_POINTER;
    *container = static_cast<IOleContainer*>(this);
    AddRef();
    return S_OK;
}

HRESULT ControlSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = frame_;
    return frame_ ? S_OK : E_FAIL;
}

HRESULT ControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                      LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = nullptr;
    *document = nullptr;
    if (!frame_) return E_FAIL;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    // The control fills the client area: it is its own place and its own clip.
    ::GetClientRect(frame_, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = frame_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT ControlSite::SetBorderSpace(LPCBORDERWIDTHS widths) {
    // Asking for no space at all is the one request a frame without tools can grant.
    if (!widths) return S_OK;
    return (widths->left | widths->top | widths->right | widths->bottom) == 0 ? S_OK : INPLACE_E_NOTOOLSPACE;
}

HRESULT ControlSite::GetExtendedControl(IDispatch** control) {
    if (control) *control = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlSite::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlSite::EnumObjects(DWORD, IEnumUnknown** objects) {
    if (objects) *objects = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlSite::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT ControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    VARIANT_BOOL value = VARIANT_FALSE;
    if (!AmbientValue(id, value)) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;  // ambients are read only
    if (!result) return E_POINTER;
    ::VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = value;
    return S_OK;
}

}  // namespace velmo::platform::win32
