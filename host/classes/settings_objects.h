#pragma once
// The settings objects Appearance, SizeAndPos, Interaction, Behaviour and SysTray: each class is
// published once, in a hidden global that the Application property of the same name reads. The
// first four read and change the projector's settings records in place and have the frame take
// up each change; SysTray keeps the tray icon's texts itself.

#include <string_view>

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

inline constexpr std::string_view kAppearanceGlobal = "_Appearance_";
inline constexpr std::string_view kSizeAndPosGlobal = "_SizeAndPos_";
inline constexpr std::string_view kInteractionGlobal = "_Interaction_";
inline constexpr std::string_view kBehaviourGlobal = "_Behaviour_";
inline constexpr std::string_view kSysTrayGlobal = "_Tray_";

// The five classes with their constants (SysTray: sys_tray_object.h).
void RegisterSettingsClasses(script::Interpreter& interp);

}  // namespace velmo::host
