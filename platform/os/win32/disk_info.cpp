// A drive's identification data, asked of the physical drive through the drive-monitoring
// interface (administrator rights needed on most systems), else of the SCSI port of the same
// number through the miniport pass-through ("SCSIDISK"), which older drivers answered without
// rights. Drive N is the port's first device.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/common/drive_identify.h"
#include "platform/disk_info.h"
#include "platform/os/win32/handles.h"

namespace velmo::platform {

namespace {

constexpr DWORD kFileDeviceScsi = 0x1B;  // the SCSI miniport device type, not in every header set
constexpr DWORD kMiniportIdentify = (kFileDeviceScsi << 16) + 0x0501;
constexpr DWORD kMiniportTimeoutSeconds = 10000;

win32::FileHandle OpenDevice(const char* path) {
    return win32::FileHandle(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
}

// The identify command for one drive: ATA drives answer 0xEC, packet devices (optical) 0xA1.
SENDCMDINPARAMS IdentifyCommand(BYTE drive, bool packetDevice) {
    SENDCMDINPARAMS in{};
    in.cBufferSize = IDENTIFY_BUFFER_SIZE;
    in.irDriveRegs.bSectorCountReg = 1;
    in.irDriveRegs.bSectorNumberReg = 1;
    in.irDriveRegs.bDriveHeadReg = static_cast<BYTE>(0xA0 | ((drive & 1) << 4));
    in.irDriveRegs.bCommandReg = packetDevice ? ATAPI_ID_CMD : ID_CMD;
    in.bDriveNumber = drive;
    return in;
}

std::optional<DriveIdentity> AskPhysicalDrive(int drive) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%d", drive);
    const win32::FileHandle device = OpenDevice(path);
    if (!device) return std::nullopt;
    GETVERSIONINPARAMS version{};
    DWORD got = 0;
    if (!::DeviceIoControl(device.Get(), SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &got, nullptr) ||
        version.bIDEDeviceMap == 0)
        return std::nullopt;
    const bool packetDevice = ((version.bIDEDeviceMap >> (drive & 3)) & 0x10) != 0;
    SENDCMDINPARAMS in = IdentifyCommand(static_cast<BYTE>(drive), packetDevice);
    std::vector<uint8_t> out(sizeof(SENDCMDOUTPARAMS) - 1 + IDENTIFY_BUFFER_SIZE);
    if (!::DeviceIoControl(device.Get(), SMART_RCV_DRIVE_DATA, &in, sizeof in - 1, out.data(),
                           static_cast<DWORD>(out.size()), &got, nullptr))
        return std::nullopt;
    const size_t header = offsetof(SENDCMDOUTPARAMS, bBuffer);
    if (got < header + kIdentifyDataBytes) return std::nullopt;
    return ParseIdentifyData(std::span<const uint8_t>(out).subspan(header, kIdentifyDataBytes));
}

std::optional<DriveIdentity> AskScsiPort(int port) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\Scsi%d:", port);
    const win32::FileHandle device = OpenDevice(path);
    if (!device) return std::nullopt;
    const size_t commandAt = sizeof(SRB_IO_CONTROL);
    const size_t outputAt = commandAt + offsetof(SENDCMDOUTPARAMS, bBuffer);
    std::vector<uint8_t> buffer(outputAt + kIdentifyDataBytes);
    SRB_IO_CONTROL control{};
    control.HeaderLength = sizeof(SRB_IO_CONTROL);
    std::memcpy(control.Signature, "SCSIDISK", 8);
    control.Timeout = kMiniportTimeoutSeconds;
    control.ControlCode = kMiniportIdentify;
    control.Length = static_cast<ULONG>(buffer.size() - sizeof(SRB_IO_CONTROL));
    std::memcpy(buffer.data(), &control, sizeof control);
    const SENDCMDINPARAMS in = IdentifyCommand(0, false);
    std::memcpy(buffer.data() + commandAt, &in, sizeof in - 1);
    DWORD got = 0;
    if (!::DeviceIoControl(device.Get(), IOCTL_SCSI_MINIPORT, buffer.data(), static_cast<DWORD>(buffer.size()),
                           buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) ||
        got < outputAt + kIdentifyDataBytes)
        return std::nullopt;
    return ParseIdentifyData(std::span<const uint8_t>(buffer).subspan(outputAt, kIdentifyDataBytes));
}

}  // namespace

std::optional<DriveIdentity> ReadDriveIdentity(int drive) {
    if (drive < 0 || drive >= kIdentifiedDrives) return std::nullopt;
    if (std::optional<DriveIdentity> id = AskPhysicalDrive(drive)) return id;
    return AskScsiPort(drive);
}

}  // namespace velmo::platform
