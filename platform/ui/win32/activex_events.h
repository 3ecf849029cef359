#pragma once
// The hosted control's events: which interface it raises them through, the sink object that
// receives them, and how their arguments become text. The sink is a COM object of its own whose
// life the control's connection point shares; it reaches its receiver through a pointer the
// receiver clears before it goes, so an event raised after that is dropped, as a control with no
// sink drops it.

#include <ocidl.h>
#include <oleauto.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmo::platform::win32 {

// The player's two events, by the dispatch ids its event interface gives them.
inline constexpr DISPID kFSCommandId = 150;  // (command, argument)
inline constexpr DISPID kFlashCallId = 197;  // (request)

// The `count` string arguments of an event, first to last. Dispatch arguments arrive last first;
// each may be a string, a reference to one, or a reference to a variant holding either (a null
// string reads as empty). None when the count differs or an argument is anything else.
std::optional<std::vector<std::u16string>> EventStrings(const DISPPARAMS& params, size_t count);

// The interface id `control` raises its events through, asked in this order: the class
// information's default source (IProvideClassInfo2::GetGUID), the default source interface of
// the class's type information, and the first connection point the control lists. None when all
// three fail.
std::optional<IID> FindEventInterface(IUnknown* control);

// How many events sinks have delivered in this process. The message loop compares it around
// each message, so that a message that raised an event ends the loop's pass and the caller's idle
// work runs before the next event, as it does between the stand-in's events.
uint64_t MovieEventsDelivered();
// True while any sink of the process is inside an event: some control's code is on the stack.
bool AnyEventUnderWay();

// What the sink hands the events to.
class EventReceiver {
public:
    virtual void OnFSCommand(const std::u16string& command, const std::u16string& argument) = 0;
    virtual void OnFlashCall(const std::u16string& request) = 0;

protected:
    ~EventReceiver() = default;
};

class EventSink final : public IDispatch {
public:
    // Starts with one reference, the creator's. `eventInterface` is what the connection point asks
    // for when it is advised.
    EventSink(const IID& eventInterface, EventReceiver* receiver)
        : eventInterface_(eventInterface), receiver_(receiver) {}
    // Events raised after this are dropped.
    void Disconnect() { receiver_ = nullptr; }
    // True while an event is on its way to the receiver (possibly several, nested).
    bool Delivering() const { return depth_ > 0; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    ~EventSink() = default;
    void Deliver(DISPID id, const DISPPARAMS& params);

    const IID eventInterface_;
    EventReceiver* receiver_;  // not owned
    ULONG references_ = 1;
    int depth_ = 0;
};

}  // namespace velmo::platform::win32
