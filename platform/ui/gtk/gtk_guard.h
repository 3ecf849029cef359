#pragma once
// GTK, GLib and WebKit call us from C: nothing may unwind through their frames. Every entry from a
// signal, a main-loop source or the scheme handler runs its body through Guarded, which reports a
// failure on standard error and answers the neutral result instead.

#include <cstdio>
#include <exception>

namespace velmo::platform::gtk {

inline void ReportGuardedFailure(const char* what) { std::fprintf(stderr, "velmo: desktop: %s\n", what); }

template <typename R, typename F>
R Guarded(R neutral, F&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        ReportGuardedFailure(e.what());
    } catch (...) {
        ReportGuardedFailure("an unexpected failure in an event");
    }
    return neutral;
}

template <typename F>
void Guarded(F&& body) noexcept {
    (void)Guarded(0, [&] {
        body();
        return 0;
    });
}

}  // namespace velmo::platform::gtk
