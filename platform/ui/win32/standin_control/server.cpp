// The in-process server: the exports a COM client or a container that loads the control file
// itself calls, the class factory, and the registration that makes the stand-in the registered
// player for its class id (meant for test machines and wine prefixes: it replaces whatever was
// registered for that id).
#include <windows.h>

#include <string>

#include "platform/os/win32/handles.h"
#include "platform/ui/win32/standin_control/environment_setup.h"
#include "platform/ui/win32/standin_control/module.h"
#include "platform/ui/win32/standin_control/standin_control.h"

namespace velmo::platform::standin_control {

namespace {

HINSTANCE gModule = nullptr;
LONG gObjects = 0;
LONG gLocks = 0;

constexpr wchar_t kClassKey[] = L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}";
constexpr wchar_t kServerKey[] = L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InProcServer32";

// Static: its lifetime is the module's, so its references count as locks, as COM's rules allow.
class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        LockModule(true);
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        LockModule(false);
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Guarded([&] {
            StandinSetup setup = SetUpFromEnvironment();
            auto* control = new StandinControl(std::move(setup.movie), std::move(setup.paints));
            const HRESULT hr = control->QueryInterface(iid, out);
            control->Release();  // the caller's reference, if any, is the one left
            return hr;
        });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        LockModule(lock != FALSE);
        return S_OK;
    }
};

ClassFactory gFactory;

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(gModule, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool SetValue(HKEY key, const wchar_t* name, const std::wstring& value) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The file registered for the class, empty when none is.
std::wstring RegisteredServer() {
    win32::RegistryKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) return {};
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return value;
}

}  // namespace

HINSTANCE ModuleInstance() { return gModule; }
void ObjectMade() { ::InterlockedIncrement(&gObjects); }
void ObjectGone() { ::InterlockedDecrement(&gObjects); }
void LockModule(bool lock) { lock ? ::InterlockedIncrement(&gLocks) : ::InterlockedDecrement(&gLocks); }
bool ModuleInUse() { return gObjects > 0 || gLocks > 0; }

}  // namespace velmo::platform::standin_control

using namespace velmo::platform::standin_control;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = module;
        ::DisableThreadLibraryCalls(module);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        UnregisterControlWindowClass();  // unloaded by FreeLibrary: the process goes on without our code
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID id, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(id, kClassId)) return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(iid, out);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return ModuleInUse() ? S_FALSE : S_OK; }

HRESULT STDAPICALLTYPE DllRegisterServer() {
    const std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    velmo::platform::win32::RegistryKey classKey, serverKey;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, kClassKey, 0, nullptr, 0, KEY_WRITE, nullptr, classKey.Receive(),
                          nullptr) != ERROR_SUCCESS ||
        !SetValue(classKey.Get(), nullptr, L"Velmo stand-in movie control") ||
        ::RegCreateKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, serverKey.Receive(),
                          nullptr) != ERROR_SUCCESS ||
        !SetValue(serverKey.Get(), nullptr, path) || !SetValue(serverKey.Get(), L"ThreadingModel", L"Apartment")) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

// Removes the class only while it names this file: unregistering the stand-in never takes away a
// player registered since.
HRESULT STDAPICALLTYPE DllUnregisterServer() {
    const std::wstring registered = RegisteredServer();
    if (registered.empty()) return S_OK;
    if (::lstrcmpiW(registered.c_str(), ModulePath().c_str()) != 0) return S_FALSE;
    const LSTATUS status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

}  // extern "C"
