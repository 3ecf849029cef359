// Win32 system services: Windows Sockets 1.1, OLE, and the speakers' mute control through the
// mixer API (mixer device 0, its speaker destination line, that line's mute control).
#include "platform/system.h"

#include <winsock2.h>
#include <windows.h>
#include <mmsystem.h>
#include <ole2.h>

#include "platform/os/win32/handles.h"

namespace velmo::platform {

namespace {

struct MuteControl {
    win32::MixerHandle mixer;
    DWORD controlId = 0;
};

// Any step that fails means there is no mute control to read or set.
std::optional<MuteControl> FindSpeakerMute() {
    MuteControl found;
    HMIXER mixer = nullptr;
    if (::mixerOpen(&mixer, 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) return std::nullopt;
    found.mixer.Reset(mixer);

    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    const auto object = reinterpret_cast<HMIXEROBJ>(mixer);
    if (::mixerGetLineInfoA(object, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR)
        return std::nullopt;

    MIXERCONTROLA control{};
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof control;
    controls.pamxctrl = &control;
    if (::mixerGetLineControlsA(object, &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
        MMSYSERR_NOERROR)
        return std::nullopt;
    found.controlId = control.dwControlID;
    return found;
}

MIXERCONTROLDETAILS Details(const MuteControl& mute, MIXERCONTROLDETAILS_BOOLEAN& value) {
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = mute.controlId;
    details.cChannels = 1;  // one value for all channels: the control is uniform
    details.cbDetails = sizeof value;
    details.paDetails = &value;
    return details;
}

}  // namespace

bool StartSockets() {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void StopSockets() { ::WSACleanup(); }

bool StartOle() { return SUCCEEDED(::OleInitialize(nullptr)); }

void StopOle() { ::OleUninitialize(); }

std::optional<bool> SpeakerMute() {
    std::optional<MuteControl> mute = FindSpeakerMute();
    if (!mute) return std::nullopt;
    MIXERCONTROLDETAILS_BOOLEAN value{};
    MIXERCONTROLDETAILS details = Details(*mute, value);
    if (::mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(mute->mixer.Get()), &details,
                                  MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR)
        return std::nullopt;
    return value.fValue != 0;
}

bool SetSpeakerMute(bool muted) {
    std::optional<MuteControl> mute = FindSpeakerMute();
    if (!mute) return false;
    MIXERCONTROLDETAILS_BOOLEAN value{};
    value.fValue = muted ? 1 : 0;
    MIXERCONTROLDETAILS details = Details(*mute, value);
    return ::mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(mute->mixer.Get()), &details,
                                    MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
}

}  // namespace velmo::platform
