#pragma once
// Test support: an engine with every host class, acting on `projector` (a test's recording one).

#include <memory>

#include "host/framework/projector.h"
#include "host/make_engine.h"

namespace velmo::testing {

inline std::unique_ptr<script::Engine> EngineOver(host::Projector& projector) {
    script::EngineOptions options;
    options.host = &projector;
    return host::MakeEngine(options);
}

}  // namespace velmo::testing
