// The headless desktop's media devices: the model of platform/common.
#include "platform/common/model_media.h"

namespace velmo::platform {

namespace {
MediaDevices* replacement = nullptr;
}

MediaDevices& Media() {
    static ModelMedia model;
    return replacement ? *replacement : model;
}

void UseMediaDevices(MediaDevices* media) { replacement = media; }

}  // namespace velmo::platform
