#pragma once
// The stand-in movie control as an ActiveX control: a COM object with its own child window over
// platform::StandinMovieControl, so that a control container can be tested against something that
// behaves like the player from the outside. It takes the same driving file and writes the same
// record lines as the headless stand-in; docs/movie-standin.md describes it.
//
// Events are raised from the window's timer, one per tick, never while another is being
// delivered; a FlashCall's reply comes back as SetReturnValue during the sink's Invoke.

#include <memory>
#include <string>
#include <vector>

#include "platform/os/win32/handles.h"
#include "platform/standin/standin_movie_control.h"
#include "platform/ui/win32/standin_control/connection_point.h"
#include "platform/ui/win32/standin_control/standin_ids.h"

namespace velmo::platform::standin_control {

class StandinControl final : public IOleObject,
                             public IOleInPlaceObject,
                             public IOleControl,
                             public IViewObject2,
                             public IConnectionPointContainer,
                             public IProvideClassInfo2,
                             public IPersistStreamInit,
                             public IDispatch,
                             private MovieControlEvents {
public:
    // `movie` plays the driving file; `paints` are that file's rectangles, for the picture.
    StandinControl(std::unique_ptr<StandinMovieControl> movie, std::vector<StandinPaint> paints);
    StandinControl(const StandinControl&) = delete;
    StandinControl& operator=(const StandinControl&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** out) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent,
                                     LPCRECT position) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** out) override;
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* id) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* out) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** out) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

    // IOleControl: the stand-in has no mnemonics and reads no ambient properties.
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

    // IViewObject, IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                   BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    // IProvideClassInfo2: no type library, so only the event interface's id.
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* id) override;

    // IPersist, IPersistStreamInit: the stand-in keeps no state in a stream.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }

    // IDispatch (control_dispatch.cpp)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* argError) override;

    // The window procedure's entry for this control's window.
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wp, LPARAM lp);

private:
    ~StandinControl();

    // MovieControlEvents: the stand-in's events, passed to every advised sink.
    void OnFSCommand(std::u16string_view command, std::u16string_view argument) override;
    void OnFlashCall(std::u16string_view request) override;

    HRESULT ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position);
    // Starts the event timer when there is a window and the movie holds events, unless an event is
    // being delivered now (its end re-arms the timer).
    void ArmTimer();
    void OnTimer();
    void Paint(HDC dc, const RECT& bounds) const;
    // The property and method calls of Invoke, already checked for their kind and argument count.
    HRESULT InvokeProperty(DISPID id, bool isPut, DISPPARAMS& params, VARIANT* result, UINT* argError);
    HRESULT InvokeMethod(DISPID id, DISPPARAMS& params, VARIANT* result, UINT* argError);
    // The player's members scripts reach (platform/movie_control.h), forwarded to the model.
    HRESULT InvokeScriptMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result);

    ULONG refs_ = 1;
    std::unique_ptr<StandinMovieControl> movie_;
    std::vector<StandinPaint> paints_;
    uint32_t background_;  // 0xRRGGBB, what the picture is painted on
    EventConnectionPoint events_;
    win32::ComPtr<IOleClientSite> clientSite_;
    win32::ComPtr<IOleInPlaceSite> inPlaceSite_;  // while in-place active
    win32::ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0, viewFlags_ = 0;
    HWND window_ = nullptr;  // the control's own window while in-place active
    SIZEL extent_;           // HIMETRIC
    bool raising_ = false;   // an event is being delivered
};

// The control window's class outlives no loaded copy of this file: called when it is unloaded.
void UnregisterControlWindowClass();

}  // namespace velmo::platform::standin_control
