// The player's page. The movie's external call reaches the page as a function the player makes with
// `new Function("return (" + name + ")(...arguments);")`: the page replaces the global Function
// constructor with one that recognises exactly that body and answers with a function of its own,
// which hands the name (never evaluated) and the arguments to the UI process in a synchronous
// request and returns the reply. Any other body goes to the real constructor. The UI process
// answers such a request from its own state only: calling into the page before it replies would
// freeze page and movie alike.
#include "platform/ui/gtk/player_page.h"

#include <cstdio>

#include "platform/common/player_routes.h"

namespace velmo::platform::gtk {

namespace {

constexpr char kBridge[] = R"JS(
"use strict";
(function () {
    const maxDepth = 64;
    // The page value text of platform/common/page_values.h.
    function enc(v, depth) {
        if (v === undefined) return "undefined";
        if (v === null) return "null";
        switch (typeof v) {
            case "boolean": return v ? "true" : "false";
            case "number":
                if (Number.isNaN(v)) return "NaN";
                if (v === Infinity) return "Infinity";
                if (v === -Infinity) return "-Infinity";
                return JSON.stringify(v);
            case "string": return JSON.stringify(v);
            case "object":
                if (depth >= maxDepth) return "null";
                if (Array.isArray(v)) return "[" + v.map((x) => enc(x, depth + 1)).join(",") + "]";
                return "{" + Object.keys(v).map((k) => JSON.stringify(k) + ":" + enc(v[k], depth + 1)).join(",") + "}";
            default: return "undefined";
        }
    }
    const RealFunction = window.Function;
    function dec(text) { return RealFunction('"use strict"; return (' + text + ");")(); }
    function post(kind, ...texts) {
        window.webkit.messageHandlers.velmo.postMessage(enc([kind, ...texts.map(String)], 0));
    }
    function callUi(name, args) {
        const request = new XMLHttpRequest();
        request.open("GET", "/call?" + encodeURIComponent(enc([name, ...args], 0)), false);
        request.send();
        return request.status === 200 ? dec(request.responseText) : undefined;
    }
    const callShape = /^return \(([\s\S]*)\)\(\.\.\.arguments\);$/;
    function BridgeFunction(...parts) {
        const shape = parts.length === 1 ? callShape.exec(String(parts[0])) : null;
        if (shape) {
            const name = shape[1];
            return function (...args) { return callUi(name, args); };
        }
        return RealFunction(...parts);
    }
    BridgeFunction.prototype = RealFunction.prototype;
    window.addEventListener("error", (e) => post("failed", e.message + " (" + e.filename + ":" + e.lineno + ")"));
    window.addEventListener("unhandledrejection", (e) => post("failed", String(e.reason)));
    window.Function = BridgeFunction;
    window.velmoPage = {
        enc: enc,
        post: post,
        callMovie(name, args) {
            const player = document.getElementById("player");
            if (!player || typeof player[name] !== "function") return "";
            // The player spreads its own rest parameter into the callback: pass the arguments one by one.
            return enc(player.ruffle().callExternalInterface(name, ...args), 0);
        },
    };
})();
)JS";

// Before the player's script: it takes its configuration as it loads.
constexpr char kConfig[] = R"JS(
window.RufflePlayer = window.RufflePlayer || {};
window.RufflePlayer.config = { publicPath: "%s/player/", polyfills: false };
)JS";

constexpr char kStart[] = R"JS(
"use strict";
(function () {
    const player = window.RufflePlayer.newest().createPlayer();
    player.id = "player";
    document.body.appendChild(player);
    player.ruffle().addFSCommandHandler((command, args) => { velmoPage.post("fscommand", command, args); return true; });
    if (!%s) return;
    const options = {
        url: "/movie", allowScriptAccess: true, autoplay: "on", unmuteOverlay: "hidden", splashScreen: false,
        letterbox: "off", scale: "%s", openUrlMode: "deny", warnOnUnsupportedContent: false, logLevel: "error",
        showSwfDownload: false, upgradeToHttps: false,
    };
    const background = "%s";
    if (background) options.backgroundColor = background;
    player.ruffle().load(options).then(() => velmoPage.post("loaded"), (e) => velmoPage.post("failed", e));
})();
)JS";

constexpr const char* kScaleNames[] = {"showAll", "noBorder", "exactFit", "noScale"};

}  // namespace

std::string PlayerPageHtml(const PlayerPageSettings& settings) {
    char background[8] = "";
    if (settings.backgroundRgb >= 0)
        std::snprintf(background, sizeof background, "#%06X", static_cast<unsigned>(settings.backgroundRgb & 0xFFFFFF));
    const int scale = settings.scaleMode >= 0 && settings.scaleMode <= 3 ? settings.scaleMode : 0;
    std::string start(sizeof kStart + 256, '\0');
    const int written = std::snprintf(start.data(), start.size(), kStart, settings.hasMovie ? "true" : "false",
                                      kScaleNames[scale], background);
    start.resize(written > 0 ? static_cast<size_t>(written) : 0);
    std::string config(sizeof kConfig + 64, '\0');
    const int configWritten = std::snprintf(config.data(), config.size(), kConfig, kPlayerOrigin);
    config.resize(configWritten > 0 ? static_cast<size_t>(configWritten) : 0);
    const std::string pageBackground = background[0] ? background : "#000000";
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>html,body{margin:0;padding:0;width:100%;"
           "height:100%;overflow:hidden;background:" +
           pageBackground + "}#player{display:block;width:100%;height:100%}</style><script>" + kBridge + config +
           "</script><script src=\"/player/ruffle.js\"></script></head><body><script>" + start +
           "</script></body></html>";
}

std::string CallMovieScript(const std::string& nameLiteral, const std::string& argsLiteral) {
    return "velmoPage.callMovie(" + nameLiteral + ", " + argsLiteral + ");";
}

}  // namespace velmo::platform::gtk
