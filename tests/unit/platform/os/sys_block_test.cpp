// Drives as Linux lists them, from block-device and device-manager folders built here: which
// devices count as drives and in which order, the texts from the device folder or the device
// manager's record, the removable flag and the geometry the size gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/os/posix/sys_block.h"
#include "tests/support/scratch.h"

namespace velmo::platform {
namespace {

class SysBlock : public ::testing::Test {
protected:
    // The scratch folder's path ends in the system's separator of the Windows form.
    std::string Root() const { return folder_.Path().substr(0, folder_.Path().size() - 1) + "/"; }
    void Put(const std::string& path, const std::string& text) {
        const std::filesystem::path file = Root() + path;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    std::optional<DriveIdentity> Drive(int n) { return ReadSysBlockIdentity(Root() + "block", Root() + "udev", n); }
    testing::ScratchFolder folder_;
};

TEST_F(SysBlock, DrivesAreTheWholeDisksInNameOrder) {
    for (const char* name : {"loop0", "zram0", "dm-0", "md127", "sr0", "ram1", "nbd3", "fd0"})
        Put(std::string("block/") + name + "/size", "8\n");
    Put("block/sdb/device/model", "SECOND\n");
    Put("block/nvme0n1/device/model", "FIRST\n");
    Put("block/vda/size", "0\n");
    ASSERT_TRUE(Drive(2));
    EXPECT_EQ(Drive(0)->model, "FIRST");
    EXPECT_EQ(Drive(1)->model, "SECOND");
    EXPECT_EQ(Drive(2)->model, "");  // a virtual disk names no model
    EXPECT_FALSE(Drive(3));
    EXPECT_FALSE(Drive(-1));
    EXPECT_FALSE(ReadSysBlockIdentity(Root() + "none", Root() + "udev", 0));
}

TEST_F(SysBlock, TextsComeFromTheDeviceOrTheDeviceManagerAndAreCut) {
    Put("block/sda/device/model", "  Samsung SSD 860 EVO 500GB  \n");
    Put("block/sda/device/rev", "RVT04B6Q\n");
    Put("block/sda/dev", "8:0\n");
    Put("udev/b8:0", "S:disk/by-id/x\nE:ID_SERIAL=Samsung_1\nE:ID_SERIAL_SHORT=S3Z9NB0K123456A\nE:ID_REVISION=other\n");
    Put("block/sdb/device/model", std::string(50, 'm'));
    Put("block/sdb/device/serial", "SERIAL-IN-THE-DEVICE-FOLDER\n");
    Put("block/sdb/device/firmware_rev", "1.2.3.4.5.6\n");
    const std::optional<DriveIdentity> a = Drive(0), b = Drive(1);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->model, "Samsung SSD 860 EVO 500GB");
    EXPECT_EQ(a->serial, "S3Z9NB0K123456A");
    EXPECT_EQ(a->revision, "RVT04B6Q");
    EXPECT_EQ(b->model, std::string(40, 'm'));
    EXPECT_EQ(b->serial, "SERIAL-IN-THE-DEVICE");
    EXPECT_EQ(b->revision, "1.2.3.4.");
}

TEST_F(SysBlock, RemovableFlagAndTranslatedGeometry) {
    Put("block/sda/removable", "0\n");
    Put("block/sda/size", "976773168\n");
    Put("block/sdb/removable", "1\n");
    Put("block/sdc/size", "garbage\n");
    const std::optional<DriveIdentity> a = Drive(0);
    ASSERT_TRUE(a && Drive(2));
    EXPECT_EQ(a->driveType, "Fixed");
    EXPECT_EQ(a->heads, 255);
    EXPECT_EQ(a->sectors, 63);
    EXPECT_EQ(a->cylinders, 976773168 / (255 * 63));
    EXPECT_EQ(a->bufferSize, 0);
    EXPECT_EQ(Drive(1)->driveType, "Removable");
    EXPECT_EQ(Drive(1)->cylinders, 0);  // no size known: no geometry
    EXPECT_EQ(Drive(2)->driveType, "Unknown");
    EXPECT_EQ(Drive(2)->heads, 0);
}

}  // namespace
}  // namespace velmo::platform
