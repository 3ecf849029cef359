#pragma once
// Test support: a frame window's events that a test does not look at, except how often the window
// was asked to close and which commands reached it.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/window.h"

namespace velmo::testing {

class CountingFrameEvents final : public platform::FrameWindowEvents {
public:
    void OnCloseRequest() override { ++closeRequests; }
    void OnEndSession() override {}
    void OnSizeMoveStart() override {}
    void OnSizeMoveEnd() override {}
    void OnCommand(uint32_t id) override { commands.push_back(id); }
    void OnTrayNotify(uint32_t) override {}
    platform::KeyDecision OnKey(platform::KeyEvent, uint32_t, uint32_t) override { return {}; }
    platform::MouseDecision OnMouse(const platform::MouseInput&) override { return {}; }
    void OnScaleModeMessage(int) override {}
    void OnBackgroundMessage(uint32_t) override {}
    void OnShapeMessage() override {}
    void OnTransparentModeMessage(bool) override {}
    bool OnPaintControl(std::optional<platform::Rect>) override { return false; }
    int closeRequests = 0;
    std::vector<uint32_t> commands;
};

}  // namespace velmo::testing
