// Appearance, SizeAndPos, Interaction and Behaviour have no state of their own: their properties are
// fields of the projector's settings records. A write that the frame must take up is followed by
// the matching Apply; the others are read at the frame's next layout. Integer properties accept
// only Integer values and text properties only Strings (anything else is ignored); Boolean
// properties take the ToBoolean of whatever is written.
#include "host/classes/settings_objects.h"

#include <string>

#include "host/classes/application_text.h"
#include "host/classes/sys_tray_object.h"
#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "platform/keyboard.h"
#include "platform/movie_control.h"
#include "platform/text.h"
#include "script/runtime/convert.h"
#include "script/runtime/strings.h"
#include "shell/settings_record.h"

namespace velmo::host {

namespace {

using script::Tag;
using script::Value;

shell::SettingsRecord& Settings(const HostProperty& access) { return ProjectorOf(access.interp).Settings(); }
shell::SettingsRecord& Settings(const HostCall& call) { return ProjectorOf(call.interp).Settings(); }

// An Integer property stored in `field`; true when a value was stored.
template <class Field>
bool IntegerField(HostProperty& access, Field& field) {
    if (!access.isSet) {
        access.Return(Value::Integer(static_cast<int64_t>(field)));
        return false;
    }
    if (!access.Incoming().Is(Tag::Integer)) return false;
    field = static_cast<Field>(access.Incoming().AsInteger());
    return true;
}

// A Boolean property kept as `bit` of `flags`; true when a value was stored.
bool FlagBit(HostProperty& access, uint32_t& flags, uint32_t bit) {
    if (!access.isSet) {
        access.Return(Value::Boolean((flags & bit) != 0));
        return false;
    }
    if (script::ToBoolean(access.Incoming())) flags |= bit;
    else flags &= ~bit;
    return true;
}

// A String written to a record's text, which holds at most 259 characters; nullopt for other values.
std::optional<std::string> RecordText(const Value& value) {
    if (!value.Is(Tag::String)) return std::nullopt;
    std::string ansi = platform::Utf16ToAnsi(script::Text(value.AsString()));
    if (ansi.size() > shell::kMaxPathChars) ansi.resize(shell::kMaxPathChars);
    return ansi;
}

// ---- Appearance ----

// Reads the mask's path while the shape is the mask, else the shape's number.
void WindowShape(HostProperty& access) {
    shell::Appearance& a = Settings(access).appearance;
    if (!access.isSet) {
        if (a.windowShape == shell::kShapeClip) access.ReturnAnsi(a.clipShapeImage);
        else access.Return(Value::Integer(a.windowShape));
        return;
    }
    const Value& value = access.Incoming();
    if (value.Is(Tag::Integer)) {
        a.windowShape = static_cast<uint32_t>(value.AsInteger());
    } else if (std::optional<std::string> path = RecordText(value)) {
        a.windowShape = shell::kShapeClip;
        a.clipShapeImage = std::move(*path);
    } else {
        return;
    }
    ProjectorOf(access.interp).Apply(SettingsChange::WindowShape);
}

void BorderStyle(HostProperty& access) {
    if (IntegerField(access, Settings(access).appearance.borderStyle))
        ProjectorOf(access.interp).Apply(SettingsChange::FrameStyle);
}
void BorderIcons(HostProperty& access) {
    if (IntegerField(access, Settings(access).appearance.borderIcons))
        ProjectorOf(access.interp).Apply(SettingsChange::FrameStyle);
}
void ScaleMode(HostProperty& access) {
    if (IntegerField(access, Settings(access).appearance.scaleMode))
        ProjectorOf(access.interp).Apply(SettingsChange::ScaleMode);
}

void Caption(HostProperty& access) {
    std::string& caption = Settings(access).appearance.caption;
    if (!access.isSet) return access.ReturnAnsi(caption);
    std::optional<std::string> text = RecordText(access.Incoming());
    if (!text) return;
    caption = std::move(*text);
    ProjectorOf(access.interp).Apply(SettingsChange::Caption);
}

// Write-only: the frame's small icon from an icon file; reading gives Undefined.
void Icon(HostProperty& access) {
    if (!access.isSet) return access.Return(Value::Undefined());
    if (access.Incoming().Is(Tag::String))
        (void)ProjectorOf(access.interp)
            .SetSmallIcon(platform::Utf16ToAnsi(script::Text(access.Incoming().AsString())));
}

constexpr HostMember kAppearanceMembers[] = {
    PropertyMember("windowShape", &WindowShape), PropertyMember("borderStyle", &BorderStyle),
    PropertyMember("borderIcons", &BorderIcons), PropertyMember("scaleMode", &ScaleMode),
    PropertyMember("caption", &Caption),         PropertyMember("icon", &Icon),
};
constexpr HostConstant kAppearanceConstants[] = {
    {"$WSRECTANGLE", 0},
    {"$WSTRANSPARENT", 1},
    {"$BSNONE", 1},
    {"$BSSINGLE", 16},
    {"$BSRESIZABLE", 256},
    {"$BSSMALLCAPTION", 4096},
    {"$BSHIDETASKBUTTON", 65536},
    {"$BIMAXIMIZE", 1},
    {"$BIMINIMIZE", 16},
    {"$BISYSTEMMENU", 256},
    {"$BIHELP", 4096},
    {"$SMSHOWALL", 1},
    {"$SMNORMAL", 16},
    {"$SMNOBORDER", 2},
    {"$SMSTRETCHFIT", 256},
};

// ---- SizeAndPos ----

// A new size or position is laid out at once only while a movie plays; otherwise the next layout
// (when a movie is loaded) takes it up.
void Relayout(script::Interpreter& interp) {
    Projector& projector = ProjectorOf(interp);
    const platform::MovieControl* movie = projector.Movie();
    if (!movie || movie->Movie().empty()) return;
    projector.Apply(SettingsChange::Layout);
    projector.Apply(SettingsChange::WindowShape);
}

void WindowSize(HostProperty& access) {
    if (IntegerField(access, Settings(access).sizeAndPosition.sizeMode)) Relayout(access.interp);
}
void Pos(HostProperty& access) {
    if (IntegerField(access, Settings(access).sizeAndPosition.position)) Relayout(access.interp);
}
void KeepRatio(HostProperty& access) {
    uint32_t& keepRatio = Settings(access).sizeAndPosition.keepRatio;
    if (!access.isSet) return access.Return(Value::Boolean(keepRatio != 0));
    keepRatio = script::ToBoolean(access.Incoming()) ? 1 : 0;
}

void StoreSize(shell::SizeAndPosition& s, int64_t width, int64_t height) {
    s.sizeMode = shell::kSizeCustom;
    s.width = static_cast<uint16_t>(width);
    s.height = static_cast<uint16_t>(height);
}
void StorePosition(shell::SizeAndPosition& s, int64_t x, int64_t y) {
    s.position = shell::kPositionCustom;
    s.x = static_cast<uint16_t>(x);
    s.y = static_cast<uint16_t>(y);
}

void SetCustomSize(HostCall& call) {
    const auto wh = call.args.RequiredIntegers<2>();
    if (!wh) return call.Fail();
    StoreSize(Settings(call).sizeAndPosition, (*wh)[0], (*wh)[1]);
    Relayout(call.interp);
}
void SetCustomPos(HostCall& call) {
    const auto xy = call.args.RequiredIntegers<2>();
    if (!xy) return call.Fail();
    StorePosition(Settings(call).sizeAndPosition, (*xy)[0], (*xy)[1]);
    Relayout(call.interp);
}
void SetCustomSizeAndPos(HostCall& call) {
    const auto a = call.args.RequiredIntegers<4>();
    if (!a) return call.Fail();
    StorePosition(Settings(call).sizeAndPosition, (*a)[0], (*a)[1]);
    StoreSize(Settings(call).sizeAndPosition, (*a)[2], (*a)[3]);
    Relayout(call.interp);
}

constexpr HostMember kSizeAndPosMembers[] = {
    PropertyMember("windowSize", &WindowSize),
    PropertyMember("pos", &Pos),
    PropertyMember("bKeepRatio", &KeepRatio),
    Method("setCustomSize", Failure::Undefined, &SetCustomSize),
    Method("setCustomPos", Failure::Undefined, &SetCustomPos),
    Method("setCustomSizeAndPos", Failure::Undefined, &SetCustomSizeAndPos),
};
constexpr HostConstant kSizeAndPosConstants[] = {
    {"$SSDEFAULT", 0},     {"$SSFULLSCREEN", 1}, {"$SSMAXIMIZED", 2},    {"$SSCUSTOMIZED", 3},  {"$SSPERCENT", 4},
    {"$ASTOPLEFT", 0},     {"$ASTOPCENTER", 1},  {"$ASTOPRIGHT", 2},     {"$ASCENTERLEFT", 3},  {"$ASSCREENCENTER", 4},
    {"$ASCENTERRIGHT", 5}, {"$ASBOTTOMLEFT", 6}, {"$ASBOTTOMCENTER", 7}, {"$ASBOTTOMRIGHT", 8},
};

// ---- Interaction ----

void LeftButton(HostProperty& access) { (void)IntegerField(access, Settings(access).interaction.leftButton); }
void RightButton(HostProperty& access) { (void)IntegerField(access, Settings(access).interaction.rightButton); }
void KeyPress(HostProperty& access) { (void)IntegerField(access, Settings(access).interaction.keyPress); }
void ExitKeys(HostProperty& access) { (void)IntegerField(access, Settings(access).interaction.exitKeys); }

void HotKeyProperty(HostProperty& access) {
    shell::Interaction& i = Settings(access).interaction;
    if (!access.isSet) return access.ReturnAnsi(HotKeyText({i.hotKeyCode, i.hotKeyModifiers}, &platform::KeyName));
    if (!access.Incoming().Is(Tag::String)) return;
    const HotKey key = ParseHotKeyText(platform::Utf16ToAnsi(script::Text(access.Incoming().AsString())));
    i.hotKeyCode = key.key;
    i.hotKeyModifiers = key.modifiers;
}

void Restriction(HostProperty& access, uint32_t bit) {
    if (FlagBit(access, Settings(access).interaction.inputDisabling, bit))
        ProjectorOf(access.interp).Apply(SettingsChange::InputRestrictions);
}
void DisableAltTab(HostProperty& access) { Restriction(access, shell::kDisableTaskSwitch); }
void DisableCursor(HostProperty& access) { Restriction(access, shell::kHideCursor); }
void DisableScr(HostProperty& access) { Restriction(access, shell::kDisableScreenSaver); }

constexpr HostMember kInteractionMembers[] = {
    PropertyMember("lBtnClk", &LeftButton),
    PropertyMember("rBtnClk", &RightButton),
    PropertyMember("keyPress", &KeyPress),
    PropertyMember("exitKeys", &ExitKeys),
    PropertyMember("hotKey", &HotKeyProperty),
    PropertyMember("bDisableAltTab", &DisableAltTab),
    PropertyMember("bDisableCursor", &DisableCursor),
    PropertyMember("bDisableScr", &DisableScr),
};
constexpr HostConstant kInteractionConstants[] = {
    {"$LBSEND", 0}, {"$LBDRAG", 1},        {"$LBIGNORE", 2},
    {"$RBSEND", 0}, {"$RBCONTEXTMENU", 1}, {"$RBIGNORE", 2},
    {"$KPSEND", 1}, {"$KPIGNORE", 16},     {"$KPDISABLEWINDOWKEYS", 256},
    {"$EKESC", 1},  {"$EKHOTKEY", 16},
};

// ---- Behaviour ----

constexpr uint32_t kMenuBits = shell::kMenuConfigure | shell::kMenuFlashPlayer | shell::kMenuAbout | shell::kMenuHelp;

// True while the menu additions are allowed, that is while the "no menu" bit is clear.
void AllowExtendContextMenu(HostProperty& access) {
    uint32_t& menu = Settings(access).behaviour.menuAdditions;
    if (!access.isSet) return access.Return(Value::Boolean((menu & shell::kMenuNone) == 0));
    if (script::ToBoolean(access.Incoming())) menu &= ~shell::kMenuNone;
    else menu |= shell::kMenuNone;
    ProjectorOf(access.interp).Apply(SettingsChange::ContextMenu);
}

// Writing adds menu bits; none is ever taken away this way.
void ExtendContextMenu(HostProperty& access) {
    uint32_t& menu = Settings(access).behaviour.menuAdditions;
    if (!access.isSet) return access.Return(Value::Integer(menu & kMenuBits));
    if (!access.Incoming().Is(Tag::Integer)) return;
    menu |= static_cast<uint32_t>(access.Incoming().AsInteger()) & kMenuBits;
    ProjectorOf(access.interp).Apply(SettingsChange::ContextMenu);
}

void AutoPlay(HostProperty& access) { (void)FlagBit(access, Settings(access).behaviour.flags, shell::kAutoPlay); }
void WindowFlag(HostProperty& access, uint32_t bit) {
    if (FlagBit(access, Settings(access).behaviour.flags, bit))
        ProjectorOf(access.interp).Apply(SettingsChange::WindowFlags);
}
void StartMinimized(HostProperty& access) { WindowFlag(access, shell::kStartMinimized); }
void AlwaysOnTop(HostProperty& access) { WindowFlag(access, shell::kAlwaysOnTop); }

// Showing the icon this way uses the application's own icon and the window's title as its tip.
void ShowInSystemTray(HostProperty& access) {
    shell::SettingsRecord& settings = Settings(access);
    uint32_t& flags = settings.behaviour.flags;
    if (!access.isSet) return access.Return(Value::Boolean((flags & shell::kShowInTray) != 0));
    Projector& projector = ProjectorOf(access.interp);
    if (script::ToBoolean(access.Incoming())) {
        flags |= shell::kShowInTray | shell::kTrayUsesAppIcon;
        (void)projector.ShowTrayIcon(TrayIconSpec{settings.appearance.caption, "", 128});
    } else {
        flags &= ~shell::kShowInTray;
        (void)projector.RemoveTrayIcon();
    }
}

constexpr HostMember kBehaviourMembers[] = {
    PropertyMember("bAllowExtendContextMenu", &AllowExtendContextMenu),
    PropertyMember("extendContextMenu", &ExtendContextMenu),
    PropertyMember("bAutoPlay", &AutoPlay),
    PropertyMember("bStartMinimized", &StartMinimized),
    PropertyMember("bAlwaysOnTop", &AlwaysOnTop),
    PropertyMember("bShowInSystemTray", &ShowInSystemTray),
};
constexpr HostConstant kBehaviourConstants[] = {
    {"$CMCONFIGURE", 1}, {"$CMFLASHPLAY", 16}, {"$CMABOUT", 256}, {"$CMHELP", 4096}};

constexpr HostClassSpec kAppearanceSpec{.name = "_Appearance_",
                                        .displayName = "Appearance",
                                        .members = kAppearanceMembers,
                                        .constants = kAppearanceConstants};
constexpr HostClassSpec kSizeAndPosSpec{.name = "_SizeAndPos_",
                                        .displayName = "SizeAndPos",
                                        .members = kSizeAndPosMembers,
                                        .constants = kSizeAndPosConstants};
constexpr HostClassSpec kInteractionSpec{.name = "_Interaction_",
                                         .displayName = "Interaction",
                                         .members = kInteractionMembers,
                                         .constants = kInteractionConstants};
constexpr HostClassSpec kBehaviourSpec{
    .name = "_Behaviour_", .displayName = "Behaviour", .members = kBehaviourMembers, .constants = kBehaviourConstants};

}  // namespace

void RegisterSettingsClasses(script::Interpreter& interp) {
    for (const HostClassSpec* spec : {&kAppearanceSpec, &kSizeAndPosSpec, &kInteractionSpec, &kBehaviourSpec})
        (void)RegisterHostClass(interp, *spec);
    RegisterSysTrayClass(interp);
}

}  // namespace velmo::host
