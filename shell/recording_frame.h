#pragma once
// The headless main frame: no window, but every operation the start-up sequence applies is kept
// as a line of text, for tests to check and for the player's verbose output. Its movie control is
// the stand-in, which records what is done to it the same way and raises the events of its
// driving file as the frame's only events.

#include <functional>
#include <memory>

#include "platform/standin/standin_movie_control.h"
#include "shell/main_frame.h"

namespace velmo::shell {

class RecordingFrame final : public MainFrame {
public:
    using Sink = std::function<void(const std::string&)>;
    explicit RecordingFrame(Sink sink = nullptr, platform::StandinMovieScript movie = {},
                            platform::StandinMovieControl::Sink movieSink = nullptr)
        : sink_(std::move(sink)), movieScript_(std::move(movie)), movieSink_(std::move(movieSink)) {}

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

    platform::MovieControl* Control() override { return control_.get(); }
    bool DeliverEvent() override { return control_ && !destroyed_ && control_->RaiseNextEvent(); }
    std::string Caption() const override { return caption_; }
    std::deque<std::string>& AsyncQueue() override { return asyncQueue_; }

    const std::vector<std::string>& Applied() const { return applied_; }
    bool Visible() const { return visible_; }
    const platform::StandinMovieControl* MovieStandin() const { return control_.get(); }

private:
    void Record(const std::string& line);

    Sink sink_;
    platform::StandinMovieScript movieScript_;  // handed to the control Create makes
    platform::StandinMovieControl::Sink movieSink_;
    std::unique_ptr<platform::StandinMovieControl> control_;
    std::vector<std::string> applied_;
    std::deque<std::string> asyncQueue_;
    std::string caption_;
    bool visible_ = false;
    bool destroyed_ = false;
};

}  // namespace velmo::shell
