#include "tools/builder/records_writer.h"

#include <algorithm>
#include <stdexcept>

#include "platform/byte_order.h"
#include "shell/record_codec.h"

namespace velmo::builder {

std::vector<uint8_t> WriteMovieList(const shell::MovieListRecord& list) {
    shell::RecordWriter w;
    w.U32(list.movieFlags);
    w.Path(list.movieName);
    w.Bytes(list.protection);
    return w.Take();
}

std::vector<uint8_t> WriteRegionImages(const std::vector<RegionImage>& images) {
    shell::RecordWriter w;
    w.U32(static_cast<uint32_t>(images.size()));
    for (const RegionImage& image : images) {
        w.WriteText(image.name);
        w.U32(static_cast<uint32_t>(image.data.size()));
        w.Bytes(image.data);
    }
    return w.Take();
}

std::vector<uint8_t> WriteFlashPlayerRecord(const FlashPlayerRequirement& requirement) {
    constexpr size_t kPathField = kFlashPlayerRecordBytes - 16;
    if (requirement.installer.size() >= kPathField)
        throw std::runtime_error("the Flash Player installer path \"" + requirement.installer +
                                 "\" is longer than 259 bytes");
    std::vector<uint8_t> out;
    for (uint32_t part : requirement.version) platform::AppendU32(out, part);
    out.insert(out.end(), requirement.installer.begin(), requirement.installer.end());
    out.resize(kFlashPlayerRecordBytes, 0);
    return out;
}

}  // namespace velmo::builder
