#pragma once
// The one place that builds a script engine with everything it carries: the compiler behind the
// engine's compile hook, the standard library and the host classes.

#include <memory>

#include "script/runtime/engine.h"

namespace velmo::host {

// Null when the engine cannot be built.
std::unique_ptr<script::Engine> MakeEngine(const script::EngineOptions& options = {});

}  // namespace velmo::host
