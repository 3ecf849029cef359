// PE resource reader: any image is read, looked up and its data fetched without reading outside it.
#include <cstddef>
#include <cstdint>

#include "platform/common/pe_resources.h"

using namespace velmo::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryByteSource image({data, size});
    const PeResourceTable table = ReadPeResources(image);
    for (const PeResource& r : table.resources) (void)ReadPeResourceData(image, r);
    (void)table.Find(ResourceKey::Parse("MOVORA"), ResourceKey::Parse("ST"));
    (void)table.Find(ResourceKey::Parse("#10"), ResourceKey::Parse("#1"));
    return 0;
}
