#pragma once
// A movie control without a player, for the headless frame: it keeps the properties the projector
// writes, answers GetVariable and CallFunction from its driving file, raises that file's events
// one at a time when asked, and records everything done to it as a line of text (UTF-8), for
// tests to check and for the player's verbose output. docs/movie-standin.md describes it.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/movie_control.h"
#include "platform/standin/standin_movie_script.h"
#include "platform/window.h"

namespace velmo::platform {

class StandinMovieControl final : public MovieControl {
public:
    using Sink = std::function<void(const std::string&)>;
    explicit StandinMovieControl(StandinMovieScript script = {}, Sink sink = nullptr);

    void SetEventSink(MovieControlEvents* sink) override { events_ = sink; }
    uint32_t FlashVersion() const override { return script_.flashVersion; }

    std::u16string Movie() const override { return movie_; }
    bool SetMovie(std::u16string_view path) override;
    bool Playing() const override { return playing_; }
    bool SetPlaying(bool playing) override;
    int ScaleMode() const override { return scaleMode_; }
    bool SetScaleMode(int mode) override;
    bool SetBackgroundColor(int32_t rgb) override;
    std::u16string Base() const override { return base_; }
    bool SetBase(std::u16string_view base) override;

    std::optional<std::u16string> GetVariable(std::u16string_view name) override;
    bool SetVariable(std::u16string_view name, std::u16string_view value) override;
    std::optional<std::u16string> CallFunction(std::u16string_view request) override;
    void SetReturnValue(std::u16string_view reply) override;

    // Raises the next event of the driving file; false when none is waiting. The events wait for
    // the first movie to load and are raised once: a movie loaded later (scripts may load another)
    // does not replay them.
    // Records the call; the stand-in has no timeline to run.
    bool CallFrame(std::u16string_view target, std::u16string_view label) override;
    // The player's other methods and properties over a model of one timeline per target: frames
    // counted from 0 up to the driving file's `frames`, labels and timeline properties as the
    // scripts set them. A member the file refuses answers none (docs/movie-standin.md).
    std::optional<MovieValue> Call(MovieMethod method, std::span<const MovieValue> args) override;
    std::optional<MovieValue> Get(MovieProperty property) override;
    bool Put(MovieProperty property, const MovieValue& value) override;
    std::optional<Size> FrameSize() const override;
    // Draws the background and the driving file's painted rectangles; the background colour
    // property becomes the one drawn on, as a real control's does.
    bool DrawOnto(PixelImage& image, const Rect& dest, const Rect& clip, uint32_t backgroundRgb) override;
    bool RaiseNextEvent() override;
    // True while events are left, also during a wait, when RaiseNextEvent raises nothing yet.
    bool HoldsEvents() const override;

    const std::vector<std::string>& Recorded() const { return recorded_; }
    int32_t BackgroundColor() const { return background_; }

private:
    // A timeline named by a target path; the main one is the movie's own frame and playing state.
    struct Timeline {
        int32_t frame = 0;
        bool playing = true;
        std::u16string label;
        std::map<int32_t, std::u16string> properties;
    };

    void Record(const std::string& line);
    bool Refused(std::string_view member) const { return script_.refused.count(std::string(member)) != 0; }
    std::optional<MovieValue> Answer(MovieMethod method, std::span<const MovieValue> args);
    bool GoTo(int32_t& frame, int32_t to) const;

    StandinMovieScript script_;
    Sink sink_;
    MovieControlEvents* events_ = nullptr;
    std::vector<std::string> recorded_;
    std::u16string movie_;
    std::u16string base_;
    bool playing_ = true;  // a control starts playing what it loads
    int scaleMode_ = 0;
    int32_t background_ = -1;  // none written
    int32_t frame_ = 0;
    std::map<MovieProperty, MovieValue> properties_;  // those without a member of their own above
    std::map<std::u16string, Timeline> timelines_;
    bool loaded_ = false;
    size_t nextEvent_ = 0;
    std::optional<std::chrono::steady_clock::time_point> waitEnds_;  // the end of the wait under way
    int flashCallDepth_ = 0;
    bool answered_ = false;
};

// A method's argument or answer as a record shows it: texts quoted, flags as true and false.
std::string ValueText(const MovieValue& value);

// `text` as a double-quoted UTF-8 literal with \" \\ \n \r \t and \uXXXX for other controls.
std::string QuotedText(std::u16string_view text);

// What the main frame makes its control with when there is no player: a stand-in that follows a
// copy of `script` inside every window made, whatever control file it is given; none at all when
// the script makes the control unavailable.
std::function<std::unique_ptr<MovieControl>(FrameWindow&, const std::string& controlFile)> StandinControlFactory(
    StandinMovieScript script, StandinMovieControl::Sink sink = nullptr);

}  // namespace velmo::platform
