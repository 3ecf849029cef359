#pragma once
// Drive identification from the kernel's block-device folders (/sys/block) and the device
// manager's records (/run/udev/data), with the folders given so that tests can build their own.

#include <optional>
#include <string>

#include "platform/disk_info.h"

namespace velmo::platform {

// Drive `drive` among the whole-disk devices of `sysBlock`, in name order, that stand for
// physical drives (loop, RAM, compressed-memory, device-mapper, software RAID, optical, floppy and
// network devices are skipped); none when there is no such drive.
std::optional<DriveIdentity> ReadSysBlockIdentity(const std::string& sysBlock, const std::string& udevData, int drive);

}  // namespace velmo::platform
