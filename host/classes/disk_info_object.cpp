// Each DiskInfo value carries its own copy of its drive's entry, so its properties answer without
// the table. The table is filled for every drive at the first construction and kept for the
// engine's life: a drive attached later is not seen until the next engine.
#include "host/classes/disk_info_object.h"

#include <array>
#include <memory>
#include <optional>

#include "host/framework/host_class.h"
#include "platform/disk_info.h"
#include "script/runtime/properties.h"

namespace velmo::host {

namespace {

using platform::DriveIdentity;
using script::Interpreter;
using script::Value;

class DiskTable final : public HostClassState {
public:
    const std::optional<DriveIdentity>& Entry(int drive) {
        if (!filled_) {
            for (int d = 0; d < platform::kIdentifiedDrives; ++d)
                drives_[static_cast<size_t>(d)] = platform::ReadDriveIdentity(d);
            filled_ = true;
        }
        return drives_[static_cast<size_t>(drive)];
    }

private:
    std::array<std::optional<DriveIdentity>, platform::kIdentifiedDrives> drives_;
    bool filled_ = false;
};

// DiskInfo([drive]): drive 0 when absent; Null for a drive that is not an Integer from 0 to 3 or
// that did not answer.
void Construct(Interpreter& interp, script::ClassRecord& cls, Value* vector, Value* result) {
    const script::Args args(vector);
    *result = Value::Null();
    int64_t drive = 0;
    if (args.Has(1)) {
        const std::optional<int64_t> given = args.Integer(1);
        if (!given) return;
        drive = *given;
    }
    if (drive < 0 || drive >= platform::kIdentifiedDrives) return;
    const std::optional<DriveIdentity>& entry = ClassStateAs<DiskTable>(cls)->Entry(static_cast<int>(drive));
    if (!entry) return;
    auto native = std::make_unique<DriveIdentity>(*entry);
    *result = script::NewHostValue(interp, &cls, native.get());
    (void)native.release();  // the value owns it now
}

// The class value itself has no drive: its properties read as Undefined.
template <std::string DriveIdentity::*Field>
void TextProperty(HostProperty& access) {
    if (access.isSet) return;
    if (const DriveIdentity* id = access.Native<DriveIdentity>()) access.ReturnAnsi(id->*Field);
}
template <int32_t DriveIdentity::*Field>
void NumberProperty(HostProperty& access) {
    if (access.isSet) return;
    if (const DriveIdentity* id = access.Native<DriveIdentity>()) access.Return(Value::Integer(id->*Field));
}

constexpr HostMember kMembers[] = {
    PropertyMember("modelNumber", &TextProperty<&DriveIdentity::model>),
    PropertyMember("serialNumber", &TextProperty<&DriveIdentity::serial>),
    PropertyMember("revisionNumber", &TextProperty<&DriveIdentity::revision>),
    PropertyMember("driveType", &TextProperty<&DriveIdentity::driveType>),
    PropertyMember("bufferSize", &NumberProperty<&DriveIdentity::bufferSize>),
    PropertyMember("cylinders", &NumberProperty<&DriveIdentity::cylinders>),
    PropertyMember("heads", &NumberProperty<&DriveIdentity::heads>),
    PropertyMember("sectors", &NumberProperty<&DriveIdentity::sectors>),
};

std::unique_ptr<HostClassState> MakeState(Interpreter&) { return std::make_unique<DiskTable>(); }

constexpr HostClassSpec kSpec{
    .name = "DiskInfo",
    .members = kMembers,
    .construct = &Construct,
    .finalizeData = &DeleteNative<DriveIdentity>,
    .makeState = &MakeState,
};

}  // namespace

void RegisterDiskInfoClass(Interpreter& interp) { (void)RegisterHostClass(interp, kSpec); }

}  // namespace velmo::host
