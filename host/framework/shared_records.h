#pragma once
// Native records shared by every host value that stands for one native thing (all Window values
// of one window handle). A table of 17 buckets keyed by handle modulo 17 owns the records; each
// counts the holders pointing at it, and the last holder to go releases the record, exactly once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace velmo::host {

inline constexpr size_t kSharedRecordBuckets = 17;

// Derive the native record from this; release what the record holds (restore a replaced window
// procedure, drop script values) in the derived destructor, which runs when the count reaches 0.
class SharedRecord {
public:
    explicit SharedRecord(uint64_t handle) : handle_(handle) {}
    virtual ~SharedRecord() = default;
    SharedRecord(const SharedRecord&) = delete;
    SharedRecord& operator=(const SharedRecord&) = delete;

    uint64_t Handle() const { return handle_; }
    uint32_t References() const { return references_; }

private:
    friend class SharedRecordTable;
    uint64_t handle_;
    uint32_t references_ = 0;
};

// The native data of an instance: one word pointing at its shared record.
struct SharedHolder {
    SharedRecord* record;  // not owned: the table owns it
};

class SharedRecordTable {
public:
    SharedRecordTable() = default;
    SharedRecordTable(const SharedRecordTable&) = delete;
    SharedRecordTable& operator=(const SharedRecordTable&) = delete;

    SharedRecord* Find(uint64_t handle) const;
    // The record of `handle` with one more reference; `make` builds it when there is none yet
    // (a null result leaves the table unchanged and gives null).
    SharedRecord* Acquire(uint64_t handle, const std::function<std::unique_ptr<SharedRecord>(uint64_t)>& make);
    // One reference less; at zero the record leaves its bucket and is destroyed. A record this
    // table does not hold is left alone.
    void Release(SharedRecord* record);
    size_t Size() const;

    // Holders for host values: a new holder on the acquired record (null when `make` gave none),
    // and the FinalizeData side, which releases the record and frees the holder in every case.
    SharedHolder* NewHolder(uint64_t handle, const std::function<std::unique_ptr<SharedRecord>(uint64_t)>& make);
    void FreeHolder(void* nativeData);

private:
    using Bucket = std::vector<std::unique_ptr<SharedRecord>>;
    static size_t BucketOf(uint64_t handle) { return static_cast<size_t>(handle % kSharedRecordBuckets); }
    void ReleaseAt(Bucket& bucket, Bucket::iterator it);
    std::array<Bucket, kSharedRecordBuckets> buckets_;
};

// The record a holder points at, as the class's own record type.
template <class Record>
Record* SharedRecordOf(void* nativeData) {
    return nativeData ? static_cast<Record*>(static_cast<SharedHolder*>(nativeData)->record) : nullptr;
}

}  // namespace velmo::host
