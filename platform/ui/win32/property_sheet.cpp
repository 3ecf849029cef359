#include "platform/ui/win32/property_sheet.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/common/sheet_values.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/os/win32/handles.h"

namespace velmo::platform::win32 {

namespace {

using Kind = SheetControlKind;

// Posted to a page once it opened in a run without a user: the sheet moves on.
constexpr UINT kAdvanceMessage = WM_APP + 0x31;
constexpr WORD kNoId = 0xFFFF;
constexpr WORD kFontPoints = 8;
constexpr const char* kFontName = "MS Shell Dlg";
constexpr const char* kPicturesVariable = "VELMO_OPTIONS_PICTURES";

// ---- Dialog templates in memory (DLGTEMPLATE and its DLGITEMTEMPLATE entries)

class TemplateWriter {
public:
    void Word(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void DWord(uint32_t v) {
        Word(static_cast<uint16_t>(v));
        Word(static_cast<uint16_t>(v >> 16));
    }
    void Short(int v) { Word(static_cast<uint16_t>(static_cast<int16_t>(v))); }
    // A NUL-terminated UTF-16 text, from the 8-bit code page.
    void Text(const std::string& ansi) {
        if (!ansi.empty()) {
            const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
            std::wstring wide(static_cast<size_t>(n), L'\0');
            ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
            for (const wchar_t c : wide) Word(static_cast<uint16_t>(c));
        }
        Word(0);
    }
    void AlignToDWord() {
        while (bytes_.size() % 4) bytes_.push_back(0);
    }
    std::vector<uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// The system's predefined dialog control classes by atom, and the common controls by name.
enum : uint16_t { kButtonAtom = 0x80, kEditAtom = 0x81, kStaticAtom = 0x82, kComboAtom = 0x85 };

struct ItemClass {
    uint16_t atom = 0;      // or
    const char* name = "";  // when the atom is 0
    DWORD style = 0;
};

ItemClass ClassOf(Kind kind) {
    constexpr DWORD tab = WS_TABSTOP;
    switch (kind) {
        case Kind::GroupBox: return {kButtonAtom, "", BS_GROUPBOX};
        case Kind::Label: return {kStaticAtom, "", SS_LEFT};
        // Our radios of one group need not stand together in the tab order (the size modes have
        // the width and height between them): the page checks and clears them itself.
        case Kind::Radio: return {kButtonAtom, "", BS_RADIOBUTTON | tab};
        case Kind::Check: return {kButtonAtom, "", BS_AUTOCHECKBOX | tab};
        case Kind::Edit: return {kEditAtom, "", ES_AUTOHSCROLL | WS_BORDER | tab};
        case Kind::NumberEdit: return {kEditAtom, "", ES_AUTOHSCROLL | ES_NUMBER | WS_BORDER | tab};
        case Kind::Spin: return {0, UPDOWN_CLASSA, UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS};
        case Kind::List: return {kComboAtom, "", CBS_DROPDOWNLIST | WS_VSCROLL | tab};
        case Kind::EditableList: return {kComboAtom, "", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | tab};
        case Kind::HotKey: return {0, HOTKEY_CLASSA, WS_BORDER | tab};
        case Kind::Colour: return {kButtonAtom, "", BS_OWNERDRAW | tab};
    }
    return {kStaticAtom, "", 0};
}

std::vector<uint8_t> PageTemplate(const SheetPage& page) {
    TemplateWriter w;
    w.DWord(DS_SETFONT | DS_3DLOOK | WS_CHILD | WS_CAPTION);
    w.DWord(0);
    w.Word(static_cast<uint16_t>(page.controls.size()));
    w.Short(0);
    w.Short(0);
    w.Short(page.width);
    w.Short(page.height);
    w.Word(0);  // no menu
    w.Word(0);  // the dialog class
    w.Text(page.caption);
    w.Word(kFontPoints);
    w.Text(kFontName);
    for (const SheetControl& c : page.controls) {
        const ItemClass cls = ClassOf(c.kind);
        w.AlignToDWord();
        w.DWord(WS_CHILD | WS_VISIBLE | cls.style);
        w.DWord(0);
        w.Short(c.rect.x);
        w.Short(c.rect.y);
        w.Short(c.rect.width);
        w.Short(c.rect.height);
        w.Word(c.id ? static_cast<uint16_t>(c.id) : kNoId);
        if (cls.atom) {
            w.Word(0xFFFF);
            w.Word(cls.atom);
        } else {
            w.Text(cls.name);
        }
        w.Text(c.kind == Kind::Colour || c.kind == Kind::GroupBox || c.kind == Kind::Label || c.kind == Kind::Radio ||
                       c.kind == Kind::Check
                   ? c.text
                   : std::string());
        w.Word(0);  // no creation data
    }
    return std::move(w.Bytes());
}

// ---- One run of the sheet

struct SheetRun {
    SheetDescription* sheet = nullptr;
    std::optional<SheetValues> answers;  // a run without a user
    bool withoutUser = false;
    std::string picturesFolder;
    std::vector<std::string> notes;
    bool applied = false;  // the sheet closed with OK
};

struct PageState {
    SheetRun* run = nullptr;
    size_t index = 0;
    std::map<int, std::string> colours;  // the page's own copy of each colour button's value
};

std::optional<COLORREF> ColourOf(const std::string& text) {
    unsigned r, g, b;
    char end;
    if (text.size() != 7 || std::sscanf(text.c_str(), "#%2x%2x%2x%c", &r, &g, &b, &end) != 3) return std::nullopt;
    return RGB(r, g, b);
}

std::string ColourText(COLORREF colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

SheetPage& PageOf(const PageState& state) { return state.run->sheet->pages[state.index]; }

const SheetControl* FindOnPage(const SheetPage& page, int id) {
    for (const SheetControl& c : page.controls)
        if (c.id != 0 && c.id == id) return &c;
    return nullptr;
}

void CheckRadio(HWND page, const SheetPage& description, const SheetControl& radio) {
    for (const SheetControl& other : description.controls)
        if (other.kind == Kind::Radio && other.group == radio.group && radio.group != 0)
            ::CheckDlgButton(page, other.id, BST_UNCHECKED);
    ::CheckDlgButton(page, radio.id, BST_CHECKED);
}

// Puts `value` (already checked against the control) into the real control.
void SetControl(HWND page, PageState& state, const SheetControl& c, const std::string& value) {
    const HWND item = ::GetDlgItem(page, c.id);
    switch (c.kind) {
        case Kind::GroupBox:
        case Kind::Label: return;
        case Kind::Radio:
            if (value == "1") CheckRadio(page, PageOf(state), c);
            else ::CheckDlgButton(page, c.id, BST_UNCHECKED);
            return;
        case Kind::Check: ::CheckDlgButton(page, c.id, value == "1" ? BST_CHECKED : BST_UNCHECKED); return;
        case Kind::Edit:
        case Kind::NumberEdit:
        case Kind::EditableList: ::SetWindowTextA(item, value.c_str()); return;
        case Kind::Spin: ::SendMessageA(item, UDM_SETPOS32, 0, static_cast<LPARAM>(std::stol(value))); return;
        case Kind::List:
            ::SendMessageA(item, CB_SETCURSEL, value.empty() ? static_cast<WPARAM>(-1) : std::stoul(value), 0);
            return;
        case Kind::HotKey: ::SendMessageA(item, HKM_SETHOTKEY, std::stoul(value), 0); return;
        case Kind::Colour:
            state.colours[c.id] = value;
            ::InvalidateRect(item, nullptr, TRUE);
            return;
    }
}

std::string ReadControl(HWND page, const PageState& state, const SheetControl& c) {
    const HWND item = ::GetDlgItem(page, c.id);
    switch (c.kind) {
        case Kind::Radio:
        case Kind::Check: return ::IsDlgButtonChecked(page, c.id) == BST_CHECKED ? "1" : "0";
        case Kind::Edit:
        case Kind::NumberEdit:
        case Kind::EditableList: {
            std::string text(static_cast<size_t>(::GetWindowTextLengthA(item)) + 1, '\0');
            text.resize(static_cast<size_t>(::GetWindowTextA(item, text.data(), static_cast<int>(text.size()))));
            return text;
        }
        case Kind::List: {
            const LRESULT index = ::SendMessageA(item, CB_GETCURSEL, 0, 0);
            return index == CB_ERR ? std::string() : std::to_string(index);
        }
        case Kind::HotKey: return std::to_string(LOWORD(::SendMessageA(item, HKM_GETHOTKEY, 0, 0)));
        case Kind::Colour: {
            const auto found = state.colours.find(c.id);
            return found == state.colours.end() ? c.value : found->second;
        }
        default: return c.value;
    }
}

// The page's controls as the description has them, then (without a user) the values file's.
void InitPage(HWND page, PageState& state) {
    const SheetPage& description = PageOf(state);
    for (const SheetControl& c : description.controls) {
        const HWND item = ::GetDlgItem(page, c.id);
        if (!item) continue;
        if (c.maxLength) {
            ::SendMessageA(item, c.kind == Kind::EditableList ? CB_LIMITTEXT : EM_LIMITTEXT, c.maxLength, 0);
        }
        for (const std::string& entry : c.items)
            ::SendMessageA(item, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        if (c.kind == Kind::Spin) {
            ::SendMessageA(item, UDM_SETBUDDY, reinterpret_cast<WPARAM>(::GetDlgItem(page, c.buddy)), 0);
            ::SendMessageA(item, UDM_SETRANGE32, static_cast<WPARAM>(c.minimum), c.maximum);
            continue;  // its buddy keeps the value the description gives it
        }
        SetControl(page, state, c, c.value);
    }
    SheetRun& run = *state.run;
    if (!run.withoutUser) return;
    if (run.answers) {
        for (const auto& [id, value] : run.answers->values) {
            const SheetControl* c = FindOnPage(description, id);
            if (!c) continue;
            if (const std::optional<std::string> checked = CheckSheetValue(*run.sheet, *c, value))
                SetControl(page, state, *c, *checked);
            else run.notes.push_back("control " + std::to_string(id) + " refuses \"" + value + "\"");
        }
    }
    ::PostMessageA(page, kAdvanceMessage, 0, 0);
}

void ReadPage(HWND page, const PageState& state) {
    for (SheetControl& c : PageOf(state).controls)
        if (c.id && c.kind != Kind::Spin && c.kind != Kind::GroupBox && c.kind != Kind::Label)
            c.value = ReadControl(page, state, c);
}

// A 32-bit BMP of `window` as it is drawn, frame included. Read from the window's own device
// context: what reached the screen may lag behind what was drawn.
void WritePicture(HWND window, const std::string& path) {
    RECT r;
    if (!::GetWindowRect(window, &r)) return;
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return;
    const HDC source = ::GetWindowDC(window);
    if (!source) return;
    const HDC memory = ::CreateCompatibleDC(source);
    GdiObject bitmap(::CreateCompatibleBitmap(source, width, height));
    const HGDIOBJ old = ::SelectObject(memory, bitmap.Get());
    ::BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    ::ReleaseDC(window, source);
    ::SelectObject(memory, old);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // rows from the bottom, as the file keeps them
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    ::GetDIBits(memory, static_cast<HBITMAP>(bitmap.Get()), 0, static_cast<UINT>(height), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ::DeleteDC(memory);
    // The device leaves the fourth byte 0, which viewers read as fully transparent.
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0xFF;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(&file),
                               reinterpret_cast<const uint8_t*>(&file) + sizeof file);
    bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(&info),
                 reinterpret_cast<const uint8_t*>(&info) + sizeof info);
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    (void)WriteWholeFile(path, bytes);
}

// Without a user: keep a picture of the page when asked, then open the next page or close.
void Advance(HWND page, const PageState& state) {
    const HWND sheet = ::GetParent(page);
    SheetRun& run = *state.run;
    if (!run.picturesFolder.empty()) {
        ::RedrawWindow(sheet, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
        WritePicture(sheet, run.picturesFolder + "\\page-" + std::to_string(state.index + 1) + ".bmp");
    }
    if (state.index + 1 < run.sheet->pages.size()) ::SendMessageA(sheet, PSM_SETCURSEL, state.index + 1, 0);
    else ::PostMessageA(sheet, PSM_PRESSBUTTON, run.answers && run.answers->ok ? PSBTN_OK : PSBTN_CANCEL, 0);
}

void ChooseColour(HWND page, PageState& state, const SheetControl& c) {
    static COLORREF custom[16] = {};
    CHOOSECOLORA choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = page;
    choose.rgbResult = ColourOf(ReadControl(page, state, c)).value_or(RGB(0, 0, 0));
    choose.lpCustColors = custom;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (::ChooseColorA(&choose)) SetControl(page, state, c, ColourText(choose.rgbResult));
}

void DrawColourButton(const DRAWITEMSTRUCT& item, const PageState& state, const SheetControl& c) {
    RECT r = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    ::DrawFrameControl(item.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    const COLORREF colour = ColourOf(ReadControl(nullptr, state, c)).value_or(RGB(0, 0, 0));
    RECT swatch = {r.left + 4, r.top + 4, r.left + 4 + (r.bottom - r.top - 8), r.bottom - 4};
    GdiObject brush(::CreateSolidBrush(colour));
    ::FillRect(item.hDC, &swatch, static_cast<HBRUSH>(brush.Get()));
    ::FrameRect(item.hDC, &swatch, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    RECT text = {swatch.right + 4, r.top, r.right - 4, r.bottom};
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::DrawTextA(item.hDC, c.text.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = {r.left + 3, r.top + 3, r.right - 3, r.bottom - 3};
        ::DrawFocusRect(item.hDC, &focus);
    }
}

INT_PTR OnPageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* state = reinterpret_cast<PageState*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
        ::SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        InitPage(page, *state);
        return TRUE;
    }
    auto* state = reinterpret_cast<PageState*>(::GetWindowLongPtrA(page, DWLP_USER));
    if (!state) return FALSE;
    switch (message) {
        case WM_COMMAND: {
            const SheetControl* c = FindOnPage(PageOf(*state), LOWORD(wParam));
            if (!c || HIWORD(wParam) != BN_CLICKED) return FALSE;
            if (c->kind == Kind::Radio) CheckRadio(page, PageOf(*state), *c);
            else if (c->kind == Kind::Colour) ChooseColour(page, *state, *c);
            else return FALSE;
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            const SheetControl* c = FindOnPage(PageOf(*state), static_cast<int>(item->CtlID));
            if (!c || c->kind != Kind::Colour) return FALSE;
            DrawColourButton(*item, *state, *c);
            return TRUE;
        }
        case WM_NOTIFY:
            if (reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_APPLY)) {
                ReadPage(page, *state);
                state->run->applied = true;
                ::SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
                return TRUE;
            }
            return FALSE;
        case kAdvanceMessage: Advance(page, *state); return TRUE;
        default: return FALSE;
    }
}

// The system's dialog code sits above us: nothing may unwind through it.
INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return OnPageMessage(page, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

HICON SmallIcon(int id) {
    if (id <= 0) return nullptr;
    return static_cast<HICON>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_SHARED));
}

}  // namespace

SheetResult RunPropertySheetOver(HWND owner, SheetDescription& sheet) {
    SheetRun run;
    run.sheet = &sheet;
    run.withoutUser = GetEnvironment("VELMO_NO_DIALOGS").has_value();
    if (run.withoutUser) {
        SheetValuesLoad load = LoadSheetValuesFromEnvironment();
        run.notes = std::move(load.notes);
        run.answers = std::move(load.values);
        if (run.answers)
            for (const auto& [id, value] : run.answers->values)
                if (!sheet.Find(id)) run.notes.push_back("no control " + std::to_string(id));
        run.picturesFolder = GetEnvironment(kPicturesVariable).value_or("");
    }

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_HOTKEY_CLASS | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);

    std::vector<PageState> states(sheet.pages.size());
    std::vector<std::vector<uint8_t>> templates;
    std::vector<PROPSHEETPAGEA> pages(sheet.pages.size());
    for (size_t i = 0; i < sheet.pages.size(); ++i) {
        states[i].run = &run;
        states[i].index = i;
        templates.push_back(PageTemplate(sheet.pages[i]));
        PROPSHEETPAGEA& p = pages[i];
        p.dwSize = sizeof p;
        p.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
        p.hInstance = ::GetModuleHandleA(nullptr);
        p.pResource = reinterpret_cast<LPCDLGTEMPLATE>(templates.back().data());
        if (const HICON icon = SmallIcon(sheet.pages[i].iconId)) {
            p.dwFlags |= PSP_USEHICON;
            p.hIcon = icon;
        }
        p.pszTitle = sheet.pages[i].caption.c_str();
        p.pfnDlgProc = PageProc;
        p.lParam = reinterpret_cast<LPARAM>(&states[i]);
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP;
    header.hwndParent = owner;
    header.hInstance = ::GetModuleHandleA(nullptr);
    if (const HICON icon = SmallIcon(sheet.iconId)) {
        header.dwFlags |= PSH_USEHICON;
        header.hIcon = icon;
    }
    header.pszCaption = sheet.caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.ppsp = pages.data();
    if (::PropertySheetA(&header) < 0) run.notes.push_back("the system cannot show the sheet");

    SheetResult result;
    result.ok = run.applied;
    result.notes = std::move(run.notes);
    return result;
}

}  // namespace velmo::platform::win32
