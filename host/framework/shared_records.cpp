#include "host/framework/shared_records.h"

#include <algorithm>

namespace velmo::host {

SharedRecord* SharedRecordTable::Find(uint64_t handle) const {
    for (const std::unique_ptr<SharedRecord>& record : buckets_[BucketOf(handle)])
        if (record->handle_ == handle) return record.get();
    return nullptr;
}

SharedRecord* SharedRecordTable::Acquire(uint64_t handle,
                                         const std::function<std::unique_ptr<SharedRecord>(uint64_t)>& make) {
    SharedRecord* record = Find(handle);
    if (!record) {
        std::unique_ptr<SharedRecord> made = make ? make(handle) : nullptr;
        if (!made) return nullptr;
        made->handle_ = handle;  // the bucket must match whatever the maker wrote
        record = made.get();
        buckets_[BucketOf(handle)].push_back(std::move(made));
    }
    ++record->references_;
    return record;
}

void SharedRecordTable::Release(SharedRecord* record) {
    if (!record) return;
    // Found by address before anything is read through it: a record released once too often is
    // already gone, and reading its handle to pick the bucket would read freed memory.
    for (Bucket& bucket : buckets_) {
        const auto it =
            std::find_if(bucket.begin(), bucket.end(), [&](const auto& held) { return held.get() == record; });
        if (it != bucket.end()) return ReleaseAt(bucket, it);
    }
}

void SharedRecordTable::ReleaseAt(Bucket& bucket, Bucket::iterator it) {
    SharedRecord* record = it->get();
    if (record->references_ > 0) --record->references_;
    if (record->references_ > 0) return;
    // Unlinked before it is destroyed, so a destructor that looks the handle up finds nothing.
    std::unique_ptr<SharedRecord> dying = std::move(*it);
    bucket.erase(it);
}

size_t SharedRecordTable::Size() const {
    size_t size = 0;
    for (const Bucket& bucket : buckets_) size += bucket.size();
    return size;
}

SharedHolder* SharedRecordTable::NewHolder(uint64_t handle,
                                           const std::function<std::unique_ptr<SharedRecord>(uint64_t)>& make) {
    auto holder = std::make_unique<SharedHolder>();
    holder->record = Acquire(handle, make);
    if (!holder->record) return nullptr;
    return holder.release();
}

void SharedRecordTable::FreeHolder(void* nativeData) {
    std::unique_ptr<SharedHolder> holder(static_cast<SharedHolder*>(nativeData));
    if (holder) Release(holder->record);
}

}  // namespace velmo::host
