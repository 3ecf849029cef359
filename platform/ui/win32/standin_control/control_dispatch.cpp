// The control's dispatch interface, written by hand (there is no type library): names resolve
// case-insensitively to fixed ids, arguments of another type are converted with VariantChangeType,
// and each member forwards to the stand-in member of the same meaning.
#include <cctype>
#include <cwchar>
#include <cwctype>
#include <vector>
#include <optional>
#include <string>

#include "platform/ui/win32/standin_control/module.h"
#include "platform/ui/win32/standin_control/standin_control.h"

namespace velmo::platform::standin_control {

namespace {

enum class Kind { Property, Method };

struct Member {
    const wchar_t* name;
    MemberId id;
    Kind kind;
    UINT argCount;  // of a method; a property's put takes one
};

constexpr Member kMembers[] = {
    {L"Movie", kDispidMovie, Kind::Property, 0},
    {L"Playing", kDispidPlaying, Kind::Property, 0},
    {L"ScaleMode", kDispidScaleMode, Kind::Property, 0},
    {L"BackgroundColor", kDispidBackgroundColor, Kind::Property, 0},
    {L"Base", kDispidBase, Kind::Property, 0},
    {L"GetVariable", kDispidGetVariable, Kind::Method, 1},
    {L"SetVariable", kDispidSetVariable, Kind::Method, 2},
    {L"CallFunction", kDispidCallFunction, Kind::Method, 1},
    {L"SetReturnValue", kDispidSetReturnValue, Kind::Method, 1},
    {L"FlashVersion", kDispidFlashVersion, Kind::Method, 0},
    {L"TCallLabel", kDispidTCallLabel, Kind::Method, 2},
};

// The player's other members (platform/movie_control.h) answer to ids of their own, each the base
// plus the member's place in its list.
constexpr DISPID kFirstScriptMethod = 100, kFirstScriptProperty = 200;

bool SameName(const wchar_t* wide, std::string_view name) {
    size_t i = 0;
    for (; wide[i] && i < name.size(); ++i)
        if (std::towlower(wide[i]) != static_cast<wchar_t>(std::tolower(static_cast<unsigned char>(name[i]))))
            return false;
    return !wide[i] && i == name.size();
}

std::optional<MovieMethod> ScriptMethod(DISPID id) {
    if (id < kFirstScriptMethod || id >= kFirstScriptMethod + static_cast<DISPID>(kMovieMethodCount))
        return std::nullopt;
    return static_cast<MovieMethod>(id - kFirstScriptMethod);
}
std::optional<MovieProperty> ScriptProperty(DISPID id) {
    if (id < kFirstScriptProperty || id >= kFirstScriptProperty + static_cast<DISPID>(kMoviePropertyCount))
        return std::nullopt;
    return static_cast<MovieProperty>(id - kFirstScriptProperty);
}

// A variant as the stand-in's value kinds; none for one that gives no text either.
std::optional<MovieValue> ValueOfVariant(VARIANT& in) {
    VARIANT v;
    ::VariantInit(&v);
    std::optional<MovieValue> out;
    switch (in.vt) {
        case VT_BOOL: return MovieValue{in.boolVal != VARIANT_FALSE};
        case VT_R4:
        case VT_R8:
            if (SUCCEEDED(::VariantChangeType(&v, &in, 0, VT_R8))) out = MovieValue{v.dblVal};
            break;
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UINT:
            if (SUCCEEDED(::VariantChangeType(&v, &in, 0, VT_I4))) out = MovieValue{static_cast<int32_t>(v.lVal)};
            break;
        default:
            if (SUCCEEDED(::VariantChangeType(&v, &in, 0, VT_BSTR)))
                out = MovieValue{std::u16string(reinterpret_cast<const char16_t*>(v.bstrVal ? v.bstrVal : L""),
                                                v.bstrVal ? ::SysStringLen(v.bstrVal) : 0u)};
            break;
    }
    ::VariantClear(&v);
    return out;
}

const Member* FindMember(DISPID id) {
    for (const Member& m : kMembers)
        if (m.id == id) return &m;
    return nullptr;
}

std::u16string_view View(BSTR text) {
    return {reinterpret_cast<const char16_t*>(text ? text : L""), text ? ::SysStringLen(text) : 0u};
}

// The arguments of one call, by their position in the call (rgvarg holds them last first).
class Arguments {
public:
    Arguments(DISPPARAMS& params, UINT* argError) : params_(params), argError_(argError) {}

    // The argument at `index` converted to `type`; false (DISP_E_TYPEMISMATCH) when it cannot be.
    HRESULT Get(UINT index, VARTYPE type, VARIANT& out) {
        const UINT slot = params_.cArgs - 1 - index;
        ::VariantInit(&out);
        const HRESULT hr = ::VariantChangeType(&out, &params_.rgvarg[slot], 0, type);
        if (FAILED(hr)) {
            if (argError_) *argError_ = slot;
            return DISP_E_TYPEMISMATCH;
        }
        return S_OK;
    }
    HRESULT Text(UINT index, std::u16string& out) {
        VARIANT v;
        const HRESULT hr = Get(index, VT_BSTR, v);
        if (FAILED(hr)) return hr;
        out = View(v.bstrVal);
        ::VariantClear(&v);
        return S_OK;
    }
    HRESULT Integer(UINT index, int32_t& out) {
        VARIANT v;
        const HRESULT hr = Get(index, VT_I4, v);
        if (SUCCEEDED(hr)) out = v.lVal;
        return hr;
    }
    HRESULT Boolean(UINT index, bool& out) {
        VARIANT v;
        const HRESULT hr = Get(index, VT_BOOL, v);
        if (SUCCEEDED(hr)) out = v.boolVal != VARIANT_FALSE;
        return hr;
    }

private:
    DISPPARAMS& params_;
    UINT* argError_;
};

// The Return helpers fill the result, which the caller may not want (null), and answer S_OK.
HRESULT ReturnText(VARIANT* result, std::u16string_view text) {
    if (!result) return S_OK;
    result->bstrVal = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), text.size());
    if (!result->bstrVal) return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    return S_OK;
}

HRESULT ReturnInteger(VARIANT* result, int32_t value) {
    if (!result) return S_OK;
    result->vt = VT_I4;
    result->lVal = value;
    return S_OK;
}

HRESULT ReturnBoolean(VARIANT* result, bool value) {
    if (!result) return S_OK;
    result->vt = VT_BOOL;
    result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

}  // namespace

HRESULT StandinControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT StandinControl::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT StandinControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    // Only the member name is known; named arguments (names[1...]) are not.
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (const Member& m : kMembers) {
        if (names[0] && ::_wcsicmp(names[0], m.name) == 0) ids[0] = m.id;
    }
    for (size_t i = 0; names[0] && ids[0] == DISPID_UNKNOWN && i < kMovieMethodCount; ++i)
        if (SameName(names[0], kMovieMethodNames[i])) ids[0] = kFirstScriptMethod + static_cast<DISPID>(i);
    for (size_t i = 0; names[0] && ids[0] == DISPID_UNKNOWN && i < kMoviePropertyCount; ++i)
        if (SameName(names[0], kMoviePropertyNames[i])) ids[0] = kFirstScriptProperty + static_cast<DISPID>(i);
    if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;
    return hr;
}

HRESULT StandinControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                               UINT* argError) {
    if (!params || (params->cArgs > 0 && !params->rgvarg) || (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
        return E_POINTER;
    if (ScriptMethod(id) || ScriptProperty(id)) {
        if (result) ::VariantInit(result);
        return Guarded([&] { return InvokeScriptMember(id, flags, *params, result); });
    }
    const Member* member = FindMember(id);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const bool isGetOrCall = (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0;
    if (member->kind == Kind::Method && !isGetOrCall) return DISP_E_MEMBERNOTFOUND;
    if (member->kind == Kind::Property && !isPut && !isGetOrCall) return DISP_E_MEMBERNOTFOUND;
    // A put names its one argument DISPID_PROPERTYPUT; nothing else takes named arguments.
    if (isPut && member->kind == Kind::Property) {
        if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
    } else {
        if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        const UINT wanted = member->kind == Kind::Method ? member->argCount : 0;
        if (params->cArgs != wanted) return DISP_E_BADPARAMCOUNT;
    }
    if (result) ::VariantInit(result);
    return Guarded([&] {
        return member->kind == Kind::Property ? InvokeProperty(id, isPut, *params, result, argError)
                                              : InvokeMethod(id, *params, result, argError);
    });
}

HRESULT StandinControl::InvokeProperty(DISPID id, bool isPut, DISPPARAMS& params, VARIANT* result, UINT* argError) {
    Arguments args(params, argError);
    std::u16string text;
    int32_t number = 0;
    bool flag = false;
    HRESULT hr = S_OK;
    switch (id) {
        case kDispidMovie:
            if (!isPut) return ReturnText(result, movie_->Movie());
            if (FAILED(hr = args.Text(0, text))) return hr;
            if (!movie_->SetMovie(text)) return E_FAIL;
            ArmTimer();  // the text movie lets the driving file's events go
            return S_OK;
        case kDispidPlaying:
            if (!isPut) return ReturnBoolean(result, movie_->Playing());
            if (FAILED(hr = args.Boolean(0, flag))) return hr;
            return movie_->SetPlaying(flag) ? S_OK : E_FAIL;
        case kDispidScaleMode:
            if (!isPut) return ReturnInteger(result, movie_->ScaleMode());
            if (FAILED(hr = args.Integer(0, number))) return hr;
            return movie_->SetScaleMode(number) ? S_OK : E_INVALIDARG;
        case kDispidBackgroundColor:
            if (!isPut) return ReturnInteger(result, static_cast<int32_t>(background_));
            if (FAILED(hr = args.Integer(0, number))) return hr;
            if (!movie_->SetBackgroundColor(number)) return E_FAIL;
            background_ = static_cast<uint32_t>(number) & 0xFFFFFF;
            if (window_) ::InvalidateRect(window_, nullptr, FALSE);
            return S_OK;
        case kDispidBase:
            if (!isPut) return ReturnText(result, movie_->Base());
            if (FAILED(hr = args.Text(0, text))) return hr;
            return movie_->SetBase(text) ? S_OK : E_FAIL;
        default: return DISP_E_MEMBERNOTFOUND;
    }
}

namespace {

HRESULT ReturnValue(VARIANT* result, const MovieValue& value) {
    if (const bool* flag = std::get_if<bool>(&value)) return ReturnBoolean(result, *flag);
    if (const int32_t* number = std::get_if<int32_t>(&value)) return ReturnInteger(result, *number);
    if (const std::u16string* text = std::get_if<std::u16string>(&value)) return ReturnText(result, *text);
    if (const double* real = std::get_if<double>(&value); real && result) {
        result->vt = VT_R8;
        result->dblVal = *real;
    }
    return S_OK;
}

}  // namespace

// The stand-in takes any number of arguments and leaves the checking to the model, as a control
// with a type library would convert them to the member's own kinds.
HRESULT StandinControl::InvokeScriptMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) {
    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    std::vector<MovieValue> args;
    for (UINT i = params.cArgs; i > 0; --i) {
        const std::optional<MovieValue> value = ValueOfVariant(params.rgvarg[i - 1]);
        if (!value) return DISP_E_TYPEMISMATCH;
        args.push_back(*value);
    }
    if (const std::optional<MovieMethod> method = ScriptMethod(id)) {
        if (isPut || params.cNamedArgs != 0) return DISP_E_MEMBERNOTFOUND;
        const std::optional<MovieValue> answer = movie_->Call(*method, args);
        return answer ? ReturnValue(result, *answer) : E_FAIL;
    }
    const MovieProperty property = *ScriptProperty(id);
    if (isPut) {
        if (args.size() != 1 || params.cNamedArgs != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_BADPARAMCOUNT;
        if (!movie_->Put(property, args[0])) return E_FAIL;
        if (property == MovieProperty::Movie) ArmTimer();
        return S_OK;
    }
    if (!args.empty()) return DISP_E_BADPARAMCOUNT;
    const std::optional<MovieValue> value = movie_->Get(property);
    return value ? ReturnValue(result, *value) : E_FAIL;
}

HRESULT StandinControl::InvokeMethod(DISPID id, DISPPARAMS& params, VARIANT* result, UINT* argError) {
    Arguments args(params, argError);
    std::u16string first, second;
    HRESULT hr = S_OK;
    switch (id) {
        case kDispidGetVariable: {
            if (FAILED(hr = args.Text(0, first))) return hr;
            const std::optional<std::u16string> value = movie_->GetVariable(first);
            if (!value) return E_FAIL;  // how the caller tells "no such variable" from an empty one
            return ReturnText(result, *value);
        }
        case kDispidSetVariable:
            if (FAILED(hr = args.Text(0, first)) || FAILED(hr = args.Text(1, second))) return hr;
            return movie_->SetVariable(first, second) ? S_OK : E_FAIL;
        case kDispidCallFunction: {
            if (FAILED(hr = args.Text(0, first))) return hr;
            const std::optional<std::u16string> reply = movie_->CallFunction(first);
            if (!reply) return E_FAIL;
            return ReturnText(result, *reply);
        }
        case kDispidSetReturnValue:
            if (FAILED(hr = args.Text(0, first))) return hr;
            movie_->SetReturnValue(first);
            return S_OK;
        case kDispidFlashVersion: return ReturnInteger(result, static_cast<int32_t>(movie_->FlashVersion()));
        case kDispidTCallLabel:
            if (FAILED(hr = args.Text(0, first)) || FAILED(hr = args.Text(1, second))) return hr;
            return movie_->CallFrame(first, second) ? S_OK : E_FAIL;
        default: return DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace velmo::platform::standin_control
