#pragma once
// The headless main frame: no window, but every operation the start-up sequence applies is kept
// as a line of text, for tests to check and for the player's verbose output.

#include <functional>

#include "shell/main_frame.h"

namespace velmo::shell {

class RecordingFrame final : public MainFrame {
public:
    using Sink = std::function<void(const std::string&)>;
    explicit RecordingFrame(Sink sink = nullptr) : sink_(std::move(sink)) {}

    bool Create(const std::string& iconSource) override;
    void SetNoMovie() override;
    void LoadMovie(const std::string& path, bool autoPlay) override;
    void ApplyAppearance(const Appearance& appearance) override;
    void ApplySizeAndPosition(const SizeAndPosition& size) override;
    void ApplyWindowRegion(const std::vector<std::string>& regions) override;
    void Show() override;
    void KeepAspectRatio() override;
    void ApplyWindowFlags(const Behaviour& behaviour) override;
    void ApplyMiscellaneous(const Miscellaneous& misc) override;
    void AddMenuCommands(const Behaviour& behaviour) override;
    InputBlockHandle DisableInput(const Interaction& interaction) override;
    void EnableInput(InputBlockHandle handle) override;
    void AddTrayIcon(int iconResource) override;
    void Update() override;
    void Destroy() override;

    std::string Caption() const override { return caption_; }
    std::deque<std::string>& AsyncQueue() override { return asyncQueue_; }

    const std::vector<std::string>& Applied() const { return applied_; }
    bool Visible() const { return visible_; }

private:
    void Record(const std::string& line);

    Sink sink_;
    std::vector<std::string> applied_;
    std::deque<std::string> asyncQueue_;
    std::string caption_;
    bool visible_ = false;
};

}  // namespace velmo::shell
