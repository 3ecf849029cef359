#pragma once
// The headless desktop's media devices: a model that keeps each open device's state and answers
// MCI command strings and device commands from it, with the system's error codes. Nothing plays:
// a device that plays stays "playing" at the position it started from until it is stopped, paused,
// sought or closed; a play sent with notify is then notified aborted (or superseded by the next
// play), and every other command sent with notify is notified successful at once. Notifications
// are posted to the callback window. docs/shell-dialogs-mci.md lists the commands it understands.
// Device commands are carried out as the equivalent command string, so both ways agree, and each
// is recorded as an "mci" action: the string and its error code.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/media_devices.h"

namespace velmo::platform {
class ModelWindowSystem;
}

namespace velmo::platform {

class ModelMedia final : public MediaDevices {
public:
    // Reads an element file whole; none when it cannot be read.
    using FileReader = std::function<std::optional<std::vector<uint8_t>>(const std::string& path)>;
    // The model desktop the playback windows live on and notifications are posted to.
    using DesktopFinder = std::function<ModelWindowSystem&()>;
    // Reads files through platform/files.h; without a finder, the shared model desktop.
    explicit ModelMedia(DesktopFinder desktop = nullptr);
    explicit ModelMedia(FileReader reader, DesktopFinder desktop = nullptr);

    MciStringReply SendString(const std::string& command, size_t returnBytes, WindowHandle callback) override;
    std::string ErrorText(uint32_t error, size_t limit) override;
    std::vector<std::string> DeviceNames() override;

    MciResult Open(const MciOpenRequest& request) override;
    uint32_t Act(uint32_t device, MciAction action, uint32_t flags, WindowHandle callback) override;
    uint32_t Play(uint32_t device, std::optional<uint32_t> from, std::optional<uint32_t> to, uint32_t flags,
                  WindowHandle callback) override;
    uint32_t Record(uint32_t device, std::optional<uint32_t> from, std::optional<uint32_t> to, bool overwrite,
                    uint32_t flags, WindowHandle callback) override;
    uint32_t Seek(uint32_t device, MciSeek where, uint32_t to, uint32_t flags, WindowHandle callback) override;
    uint32_t Step(uint32_t device, uint32_t frames, bool backwards, uint32_t flags, WindowHandle callback) override;
    uint32_t Save(uint32_t device, const std::string& file, uint32_t flags, WindowHandle callback) override;
    MciResult Status(uint32_t device, uint32_t item, std::optional<uint32_t> track, uint32_t flags,
                     WindowHandle callback) override;
    MciResult Capability(uint32_t device, uint32_t item, uint32_t flags, WindowHandle callback) override;
    uint32_t SetTimeFormat(uint32_t device, uint32_t format, uint32_t flags, WindowHandle callback) override;
    uint32_t SourceRect(uint32_t device, Rect& source, uint32_t flags, WindowHandle callback) override;
    uint32_t ShowVideoIn(uint32_t device, WindowHandle window, uint32_t flags, WindowHandle callback) override;
    uint32_t PutDestination(uint32_t device, const Rect& destination, uint32_t flags, WindowHandle callback) override;
    uint32_t Update(uint32_t device, WindowHandle window, uintptr_t paintContext, const Rect& area, uint32_t flags,
                    WindowHandle callback) override;

    WindowHandle CreatePlaybackWindow(WindowHandle parent, PlaybackHook hook) override;
    void DestroyPlaybackWindow(WindowHandle window) override;

    // The open devices, for tests.
    size_t OpenCount() const { return devices_.size(); }

private:
    struct Device {
        uint32_t id = 0;
        std::string alias, type, element;
        bool video = false, cd = false, wave = false;
        uint32_t mode = kMciModeStop;
        uint32_t positionMs = 0, lengthMs = 0;
        uint32_t timeFormat = 0;
        uint32_t bytesPerSecond = 0, samplesPerSecond = 0;
        WindowHandle playNotify = 0;  // a play waiting for its end to be notified
        WindowHandle videoWindow = 0;
        Rect destination;
    };
    struct Words;

    uint32_t Run(Words& words, std::string& reply, WindowHandle callback);
    uint32_t OpenDevice(Words& words, std::string& reply);
    uint32_t Query(Device& d, Words& words, std::string& reply, bool capability);
    uint32_t SetItem(Device& d, Words& words);
    uint32_t SysInfo(Words& words, std::string& reply);
    void EndPlay(Device& d, uint32_t code);
    Device* Find(const std::string& name);
    Device* ById(uint32_t id);
    std::string AliasOf(uint32_t id);
    uint32_t Command(uint32_t device, const std::string& rest, uint32_t flags, WindowHandle callback,
                     std::string* reply = nullptr);
    uint32_t ToUnits(const Device& d, uint32_t ms) const;
    uint32_t FromUnits(const Device& d, uint32_t units) const;

    ModelWindowSystem& Desktop() const;

    FileReader reader_;
    DesktopFinder desktop_;
    std::map<uint32_t, Device> devices_;
    uint32_t nextId_ = 1;
};

}  // namespace velmo::platform
