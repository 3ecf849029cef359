#pragma once
// The control's one connection point, for its event dispinterface: it keeps the advised sinks and
// calls them. It lives inside the control and shares its reference count, so a container holding
// the connection point keeps the control alive, as COM's rules for connection points ask.

#include <utility>
#include <vector>

#include "platform/os/win32/handles.h"
#include "platform/ui/win32/standin_control/standin_ids.h"

namespace velmo::platform::standin_control {

class EventConnectionPoint final : public IConnectionPoint {
public:
    // `owner` is the control: it answers the reference counting and GetConnectionPointContainer.
    explicit EventConnectionPoint(IConnectionPointContainer& owner) : owner_(owner) {}
    EventConnectionPoint(const EventConnectionPoint&) = delete;
    EventConnectionPoint& operator=(const EventConnectionPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    // The sink must answer QueryInterface for the event interface id, as a container's sink for
    // this control's events would; a bare IDispatch is refused.
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

    // Invokes `dispid` on every sink advised when the call starts, with `args` in dispatch order
    // (the last argument first). A sink may unadvise, or advise others, while it is being called.
    void Fire(DISPID dispid, std::vector<VARIANT>& args);
    // Releases every sink (the control is going).
    void DropAll() { sinks_.clear(); }
    size_t SinkCount() const { return sinks_.size(); }

private:
    IConnectionPointContainer& owner_;  // not owned: the control this is part of
    std::vector<std::pair<DWORD, win32::ComPtr<IDispatch>>> sinks_;
    DWORD nextCookie_ = 1;
};

// An enumerator over the control's single connection point.
HRESULT MakeConnectionPointEnumerator(IConnectionPoint& point, IEnumConnectionPoints** out);

}  // namespace velmo::platform::standin_control
