#include "platform/ui/win32/activex_events.h"

#include <olectl.h>

#include "platform/os/win32/handles.h"

namespace velmo::platform::win32 {

namespace {

uint64_t delivered = 0;
int eventsUnderWay = 0;  // over every sink

std::u16string FromBstr(BSTR text) {
    if (!text) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text));
}

std::optional<std::u16string> StringOf(const VARIANT& v) {
    switch (v.vt) {
        case VT_BSTR: return FromBstr(v.bstrVal);
        case VT_BSTR | VT_BYREF:
            if (!v.pbstrVal) return std::nullopt;
            return FromBstr(*v.pbstrVal);
        case VT_VARIANT | VT_BYREF: {
            // One level only: a variant holding a reference to a variant is not a string.
            if (!v.pvarVal || v.pvarVal->vt == (VT_VARIANT | VT_BYREF)) return std::nullopt;
            return StringOf(*v.pvarVal);
        }
        default: return std::nullopt;
    }
}

// The coclass's default source interface, from its type information.
std::optional<IID> DefaultSourceOf(ITypeInfo* coclass) {
    TYPEATTR* attributes = nullptr;
    if (FAILED(coclass->GetTypeAttr(&attributes)) || !attributes) return std::nullopt;
    const WORD implemented = attributes->cImplTypes;
    coclass->ReleaseTypeAttr(attributes);
    for (UINT i = 0; i < implemented; ++i) {
        INT flags = 0;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
        if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
            continue;
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> source;
        if (FAILED(coclass->GetRefTypeOfImplType(i, &reference)) ||
            FAILED(coclass->GetRefTypeInfo(reference, source.Receive())) || !source.Get())
            continue;
        TYPEATTR* sourceAttributes = nullptr;
        if (FAILED(source->GetTypeAttr(&sourceAttributes)) || !sourceAttributes) continue;
        const IID iid = sourceAttributes->guid;
        source->ReleaseTypeAttr(sourceAttributes);
        return iid;
    }
    return std::nullopt;
}

std::optional<IID> FromClassInfo2(IUnknown* control) {
    ComPtr<IProvideClassInfo2> info;
    if (FAILED(control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(info.Receive()))) ||
        !info.Get())
        return std::nullopt;
    IID iid;
    if (FAILED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid))) return std::nullopt;
    return iid;
}

std::optional<IID> FromTypeInfo(IUnknown* control) {
    ComPtr<IProvideClassInfo> info;
    if (FAILED(control->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(info.Receive()))) || !info.Get())
        return std::nullopt;
    ComPtr<ITypeInfo> coclass;
    if (FAILED(info->GetClassInfo(coclass.Receive())) || !coclass.Get()) return std::nullopt;
    return DefaultSourceOf(coclass.Get());
}

std::optional<IID> FromFirstConnectionPoint(IUnknown* control) {
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Receive()))) ||
        !container.Get())
        return std::nullopt;
    ComPtr<IEnumConnectionPoints> points;
    if (FAILED(container->EnumConnectionPoints(points.Receive())) || !points.Get()) return std::nullopt;
    ComPtr<IConnectionPoint> first;
    ULONG fetched = 0;
    if (points->Next(1, first.Receive(), &fetched) != S_OK || fetched != 1 || !first.Get()) return std::nullopt;
    IID iid;
    if (FAILED(first->GetConnectionInterface(&iid))) return std::nullopt;
    return iid;
}

}  // namespace

std::optional<std::vector<std::u16string>> EventStrings(const DISPPARAMS& params, size_t count) {
    if (params.cArgs != count || (count > 0 && !params.rgvarg)) return std::nullopt;
    std::vector<std::u16string> strings;
    strings.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        std::optional<std::u16string> text = StringOf(params.rgvarg[count - 1 - i]);
        if (!text) return std::nullopt;
        strings.push_back(std::move(*text));
    }
    return strings;
}

std::optional<IID> FindEventInterface(IUnknown* control) {
    if (!control) return std::nullopt;
    if (std::optional<IID> iid = FromClassInfo2(control)) return iid;
    if (std::optional<IID> iid = FromTypeInfo(control)) return iid;
    return FromFirstConnectionPoint(control);
}

uint64_t MovieEventsDelivered() { return delivered; }

bool AnyEventUnderWay() { return eventsUnderWay > 0; }

HRESULT EventSink::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == eventInterface_) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG EventSink::AddRef() { return ++references_; }

ULONG EventSink::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT EventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) {
    if (result) ::VariantInit(result);
    if (!params || !receiver_) return S_OK;
    // The receiver may drop the control, and with it the connection point's reference to this
    // sink, while the event is delivered: the sink outlives the call.
    AddRef();
    ++depth_;
    ++eventsUnderWay;
    HRESULT status = S_OK;
    try {
        Deliver(id, *params);
    } catch (...) {
        // Nothing may unwind into the control's code.
        status = E_UNEXPECTED;
    }
    --eventsUnderWay;
    --depth_;
    Release();
    return status;
}

void EventSink::Deliver(DISPID id, const DISPPARAMS& params) {
    if (id == kFSCommandId) {
        const std::optional<std::vector<std::u16string>> args = EventStrings(params, 2);
        if (!args) return;
        ++delivered;
        receiver_->OnFSCommand((*args)[0], (*args)[1]);
    } else if (id == kFlashCallId) {
        const std::optional<std::vector<std::u16string>> args = EventStrings(params, 1);
        if (!args) return;
        ++delivered;
        receiver_->OnFlashCall((*args)[0]);
    }
}

}  // namespace velmo::platform::win32
