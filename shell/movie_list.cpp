#include "shell/movie_list.h"

#include <algorithm>

#include "platform/files.h"
#include "shell/package.h"
#include "shell/record_codec.h"

namespace velmo::shell {

bool ReadMovieList(std::span<const uint8_t> bytes, MovieListRecord& list) {
    RecordReader r(bytes);
    MovieListRecord decoded;
    decoded.movieFlags = r.U32();
    decoded.movieName = r.Path();
    const std::span<const uint8_t> protection = r.Bytes(kProtectionBytes);
    if (!r.Ok()) {
        list = MovieListRecord{};
        return false;
    }
    std::copy(protection.begin(), protection.end(), decoded.protection.begin());
    list = std::move(decoded);
    return true;
}

bool ReadRegionImages(std::span<const uint8_t> bytes, const std::string& runFolder,
                      std::vector<std::string>& regionList) {
    struct Image {
        std::string name;
        std::span<const uint8_t> data;
    };
    RecordReader r(bytes);
    const uint32_t count = r.U32();
    std::vector<Image> images;
    // Each image takes at least eight bytes, so a count the record cannot hold fails here at once.
    for (uint32_t i = 0; i < count && r.Ok(); ++i) {
        Image image;
        image.name = r.ReadText().value_or(std::string());
        image.data = r.Bytes(r.U32());
        images.push_back(image);
    }
    if (!r.Ok()) return false;
    for (const Image& image : images) {
        regionList.push_back(image.name);
        if (image.data.empty() || !IsSafeEntryName(image.name)) continue;
        std::unique_ptr<platform::File> file =
            platform::OpenFile(runFolder + image.name + ".msk", platform::FileMode::CreateReadWrite);
        if (file) (void)file->Write(image.data.data(), image.data.size());  // a missing mask shows as no region
    }
    return true;
}

}  // namespace velmo::shell
