#include "platform/ui/win32/standin_control/connection_point.h"

#include <algorithm>

#include "platform/ui/win32/standin_control/module.h"

namespace velmo::platform::standin_control {

HRESULT EventConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT EventConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = kEventsId;
    return S_OK;
}

HRESULT EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    owner_.AddRef();
    *out = &owner_;
    return S_OK;
}

HRESULT EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    return Guarded([&] {
        win32::ComPtr<IDispatch> dispatch;
        if (FAILED(sink->QueryInterface(kEventsId, reinterpret_cast<void**>(dispatch.Receive())))) {
            return CONNECT_E_CANNOTCONNECT;
        }
        sinks_.emplace_back(nextCookie_, std::move(dispatch));
        *cookie = nextCookie_++;
        return S_OK;
    });
}

HRESULT EventConnectionPoint::Unadvise(DWORD cookie) {
    const auto found = std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.first == cookie; });
    if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
    // Moved out first: releasing the sink may call back into this control.
    win32::ComPtr<IDispatch> gone = std::move(found->second);
    sinks_.erase(found);
    return S_OK;
}

HRESULT EventConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;  // allowed for connection points; no container of a movie control asks
}

void EventConnectionPoint::Fire(DISPID dispid, std::vector<VARIANT>& args) {
    // The sinks of this moment, each held for the call: a sink may unadvise itself meanwhile.
    std::vector<IDispatch*> targets;
    targets.reserve(sinks_.size());
    for (const auto& [cookie, sink] : sinks_) {
        sink->AddRef();
        targets.push_back(sink.Get());
    }
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    for (IDispatch* sink : targets) {
        VARIANT result;
        ::VariantInit(&result);
        (void)sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        ::VariantClear(&result);
        sink->Release();
    }
}

namespace {

// Holds the control (through its connection point) for as long as a container keeps the enumerator.
class ConnectionPointEnumerator final : public IEnumConnectionPoints {
public:
    ConnectionPointEnumerator(IConnectionPoint& point, ULONG position) : point_(point), position_(position) {
        point_.AddRef();
        ObjectMade();
    }
    ConnectionPointEnumerator(const ConnectionPointEnumerator&) = delete;
    ConnectionPointEnumerator& operator=(const ConnectionPointEnumerator&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEnumConnectionPoints)) return E_NOINTERFACE;
        *out = static_cast<IEnumConnectionPoints*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
        if (!points || (count > 1 && !fetched)) return E_POINTER;
        ULONG given = 0;
        if (count > 0 && position_ == 0) {
            point_.AddRef();
            points[given++] = &point_;
            position_ = 1;
        }
        if (fetched) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const bool enough = position_ + count <= 1;
        position_ = std::min<ULONG>(position_ + count, 1);
        return enough ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
        if (!out) return E_POINTER;
        return Guarded([&] {
            *out = new ConnectionPointEnumerator(point_, position_);
            return S_OK;
        });
    }

private:
    ~ConnectionPointEnumerator() {
        point_.Release();
        ObjectGone();
    }
    IConnectionPoint& point_;  // one reference held
    ULONG position_;
    ULONG refs_ = 1;
};

}  // namespace

HRESULT MakeConnectionPointEnumerator(IConnectionPoint& point, IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Guarded([&] {
        *out = new ConnectionPointEnumerator(point, 0);
        return S_OK;
    });
}

}  // namespace velmo::platform::standin_control
