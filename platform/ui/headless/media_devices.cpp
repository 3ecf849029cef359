// The headless desktop's media devices: the model of platform/common.
#include "platform/common/model_media.h"
#include "platform/common/model_window_system.h"

namespace velmo::platform {

namespace {
MediaDevices* replacement = nullptr;
}

MediaDevices& Media() {
    // Playback windows live on the process's window system when it is a model (a test's own).
    static ModelMedia model([]() -> ModelWindowSystem& {
        if (auto* own = dynamic_cast<ModelWindowSystem*>(&Windows())) return *own;
        return ModelWindowSystem::Shared();
    });
    return replacement ? *replacement : model;
}

void UseMediaDevices(MediaDevices* media) { replacement = media; }

}  // namespace velmo::platform
