#pragma once
// The identities the stand-in movie control answers to: the player's class id (so that a container
// that knows only the player finds it, registered or loaded from its file), the id of its event
// interface, and the dispatch ids of its members. Containers should look members up by name with
// GetIDsOfNames and the event interface through IProvideClassInfo2, as they must with the player;
// the numbers here are for the stand-in's own tests.

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

namespace velmo::platform::standin_control {

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
inline constexpr CLSID kClassId = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr wchar_t kClassIdText[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";

// The event dispinterface: {DADE68C5-F434-4B13-B1D9-B772547FFBF7}, the stand-in's own.
inline constexpr IID kEventsId = {0xDADE68C5, 0xF434, 0x4B13, {0xB1, 0xD9, 0xB7, 0x72, 0x54, 0x7F, 0xFB, 0xF7}};

// Events, as the player numbers them.
inline constexpr DISPID kDispidFSCommand = 150;  // (command, argument)
inline constexpr DISPID kDispidFlashCall = 197;  // (request)

// Members of the control's own dispatch interface.
enum MemberId : DISPID {
    kDispidMovie = 1,
    kDispidPlaying = 2,
    kDispidScaleMode = 3,
    kDispidBackgroundColor = 4,
    kDispidBase = 5,
    kDispidGetVariable = 6,
    kDispidSetVariable = 7,
    kDispidCallFunction = 8,
    kDispidSetReturnValue = 9,
    kDispidFlashVersion = 10,
    kDispidTCallLabel = 11,
};

}  // namespace velmo::platform::standin_control
