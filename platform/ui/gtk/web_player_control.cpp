// The movie control over the web build of the player in a WebKitGTK view. The view's context is
// ephemeral and answers one scheme of its own from this process (the page, the player's files, the
// movie and the movie's calls); every other address is refused, navigation away from the page is
// refused, and the context's proxy points at a closed local port, so nothing reaches a network.
//
// Re-entrancy: the movie's synchronous call is answered inside the scheme handler, from the scripts
// and this object's state, never by calling into the page (the page is blocked until the reply).
// A call into the movie waits in a nested main loop; it is refused while a movie's call is being
// answered, and fscommands that arrive during either wait are held and delivered afterwards, in
// order, from the main loop.
#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/page_values.h"
#include "platform/common/player_routes.h"
#include "platform/files.h"
#include "platform/linux_desktop.h"
#include "platform/path.h"
#include "platform/text.h"
#include "platform/ui/gtk/gtk_frame_window.h"
#include "platform/ui/gtk/gtk_guard.h"
#include "platform/ui/gtk/player_page.h"

namespace velmo::platform {

namespace gtk {

namespace {

// The player's version as its scripting interface reports it (32.0), which opens every call gate.
constexpr uint32_t kWebPlayerVersion = 32u << 16;
// How long a call into the movie may take before it counts as refused.
constexpr auto kCallLimit = std::chrono::seconds(5);
// Held fscommands are tried again this often while a call still holds them back; a timeout rather
// than an idle source, which would keep a waiting main loop from ever sleeping.
constexpr guint kFlushRetryMs = 10;
constexpr guint kWaitTickMs = 50;
constexpr char kPageSecurity[] =
    "default-src velmo-player:; script-src velmo-player: 'unsafe-inline' 'unsafe-eval'; "
    "style-src 'unsafe-inline'; img-src velmo-player: data: blob:; media-src velmo-player: blob:; "
    "connect-src velmo-player:; worker-src velmo-player: blob:";

void Respond(WebKitURISchemeRequest* request, int status, std::string_view type, GBytes* body,
             const char* security = nullptr) {
    GInputStream* stream = g_memory_input_stream_new_from_bytes(body);
    WebKitURISchemeResponse* response =
        webkit_uri_scheme_response_new(stream, static_cast<gint64>(g_bytes_get_size(body)));
    webkit_uri_scheme_response_set_status(response, static_cast<guint>(status), nullptr);
    const std::string contentType(type);
    webkit_uri_scheme_response_set_content_type(response, contentType.c_str());
    // Set headers replace the content type above: give it again, the wasm type above all, without
    // which the module is not compiled as it streams in.
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    soup_message_headers_append(headers, "Content-Type", contentType.c_str());
    soup_message_headers_append(headers, "Cache-Control", "no-store");
    if (security) soup_message_headers_append(headers, "Content-Security-Policy", security);
    webkit_uri_scheme_response_set_http_headers(response, headers);  // takes the headers
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
    g_object_unref(stream);
    g_bytes_unref(body);
}

void RespondText(WebKitURISchemeRequest* request, int status, std::string_view type, const std::string& text,
                 const char* security = nullptr) {
    Respond(request, status, type, g_bytes_new(text.data(), text.size()), security);
}

void Refuse(WebKitURISchemeRequest* request) {
    GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED, "refused by the projector");
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
}

}  // namespace

class WebPlayerControl final : public MovieControl {
public:
    WebPlayerControl(GtkFrameWindow& frame, const WebPlayerOptions& options);
    ~WebPlayerControl() override;
    WebPlayerControl(const WebPlayerControl&) = delete;
    WebPlayerControl& operator=(const WebPlayerControl&) = delete;

    void SetEventSink(MovieControlEvents* sink) override { sink_ = sink; }
    uint32_t FlashVersion() const override { return kWebPlayerVersion; }
    std::u16string Movie() const override { return AnsiToUtf16(moviePath_); }
    [[nodiscard]] bool SetMovie(std::u16string_view path) override;
    bool Playing() const override { return playing_; }
    bool SetPlaying(bool playing) override;
    int ScaleMode() const override { return page_.scaleMode; }
    bool SetScaleMode(int mode) override;
    bool SetBackgroundColor(int32_t rgb) override;
    std::u16string Base() const override { return base_; }
    bool SetBase(std::u16string_view base) override {
        base_ = base;
        return true;
    }
    std::optional<std::u16string> GetVariable(std::u16string_view) override { return std::nullopt; }
    bool SetVariable(std::u16string_view, std::u16string_view) override { return false; }
    std::optional<std::u16string> CallFunction(std::u16string_view request) override;
    void SetReturnValue(std::u16string_view reply) override { reply_ = std::u16string(reply); }
    std::optional<MovieValue> Call(MovieMethod method, std::span<const MovieValue> args) override;
    std::optional<MovieValue> Get(MovieProperty property) override;
    bool Put(MovieProperty property, const MovieValue& value) override;

private:
    struct Wait;
    static void OnSchemeRequest(WebKitURISchemeRequest* request, gpointer self);
    static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
    static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                   gpointer);
    static gboolean OnLoadPage(gpointer self);
    static gboolean OnFlush(gpointer self);
    void Serve(WebKitURISchemeRequest* request);
    void AnswerCall(WebKitURISchemeRequest* request, const std::string& query);
    void Received(const std::string& message);
    void Deliver(const std::u16string& command, const std::u16string& argument);
    void SchedulePageLoad();
    void RunInPage(const std::string& script);
    std::optional<std::string> EvaluateAndWait(const std::string& script);
    void Note(const std::string& line) const {
        if (options_.sink) options_.sink(line);
    }

    GtkFrameWindow& frame_;
    WebPlayerOptions options_;
    MovieControlEvents* sink_ = nullptr;  // not owned
    WebKitWebContext* context_ = nullptr;
    WebKitUserContentManager* content_ = nullptr;
    WebKitWebView* view_ = nullptr;  // a floating widget the frame's window comes to own; we keep a reference
    std::string moviePath_;
    std::u16string base_;
    PlayerPageSettings page_;
    bool playing_ = false;
    guint pageLoad_ = 0, flush_ = 0;
    int answering_ = 0;  // movie calls being answered now
    int waiting_ = 0;    // calls into the movie waiting now
    std::optional<std::u16string> reply_;
    std::deque<std::pair<std::u16string, std::u16string>> held_;  // fscommands for later, in order
};

// A call into the page outlives the wait that gave up on it: whoever comes last frees it.
struct WebPlayerControl::Wait {
    bool done = false, abandoned = false;
    std::optional<std::string> text;
};

WebPlayerControl::WebPlayerControl(GtkFrameWindow& frame, const WebPlayerOptions& options)
    : frame_(frame), options_(options) {
    // The web process inherits this. With JavaScriptCore's optimizing WebAssembly tier, about one
    // start in four ended in a trap inside the player's module on our machines (out-of-bounds
    // access, unreachable code); without it none did, and the start is no slower. A value the user
    // set stays.
    g_setenv("JSC_useOMGJIT", "0", FALSE);
    context_ = webkit_web_context_new_ephemeral();
    const char* const languages[] = {"en-US", nullptr};  // the player refuses the C locale's tag
    webkit_web_context_set_preferred_languages(context_, languages);
    webkit_web_context_set_cache_model(context_, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    webkit_web_context_register_uri_scheme(context_, kPlayerScheme, OnSchemeRequest, this, nullptr);
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(context_);
    webkit_security_manager_register_uri_scheme_as_secure(security, kPlayerScheme);
    webkit_security_manager_register_uri_scheme_as_cors_enabled(security, kPlayerScheme);
    const char* const noExceptions[] = {nullptr};
    WebKitNetworkProxySettings* proxy = webkit_network_proxy_settings_new("http://127.0.0.1:9", noExceptions);
    webkit_website_data_manager_set_network_proxy_settings(webkit_web_context_get_website_data_manager(context_),
                                                           WEBKIT_NETWORK_PROXY_MODE_CUSTOM, proxy);
    webkit_network_proxy_settings_free(proxy);

    content_ = webkit_user_content_manager_new();
    g_signal_connect(content_, "script-message-received::velmo", G_CALLBACK(OnScriptMessage), this);
    webkit_user_content_manager_register_script_message_handler(content_, kPageMessageHandler);

    WebKitSettings* settings = webkit_settings_new();
    g_object_set(settings, "enable-javascript", TRUE, "enable-webgl", TRUE, "enable-developer-extras", FALSE,
                 "javascript-can-open-windows-automatically", FALSE, "enable-page-cache", FALSE,
                 "enable-html5-local-storage", FALSE, "enable-html5-database", FALSE,
                 "media-playback-requires-user-gesture", FALSE, "enable-write-console-messages-to-stdout",
                 options_.sink ? TRUE : FALSE, nullptr);
    view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_, "user-content-manager",
                                         content_, "settings", settings, nullptr));
    g_object_unref(settings);
    g_object_ref_sink(view_);
    g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(
        view_, "load-failed",
        G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent, const char* uri, GError* error, gpointer self) {
            Guarded([&] {
                static_cast<WebPlayerControl*>(self)->Note(std::string("load failed: ") + uri + ": " + error->message);
            });
            return FALSE;
        }),
        this);
    g_signal_connect(view_, "web-process-terminated",
                     G_CALLBACK(+[](WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self) {
                         Guarded([&] {
                             static_cast<WebPlayerControl*>(self)->Note("web process ended: " + std::to_string(reason));
                         });
                     }),
                     this);
    // The player's own context menu shows; WebKit's page menu (reload, inspect) does not.
    g_signal_connect(
        view_, "context-menu",
        G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer) { return TRUE; }),
        nullptr);
    // The web process starts, and compiles the player, while the frame goes on starting.
    SchedulePageLoad();
    frame_.AttachMovieWidget(GTK_WIDGET(view_));
}

WebPlayerControl::~WebPlayerControl() {
    if (pageLoad_) g_source_remove(pageLoad_);
    if (flush_) g_source_remove(flush_);
    g_signal_handlers_disconnect_by_data(content_, this);
    g_signal_handlers_disconnect_by_data(view_, this);
    frame_.DetachMovieWidget();
    // The web process ends with us rather than a while after this process has gone.
    webkit_web_view_terminate_web_process(view_);
    g_object_unref(view_);
    g_object_unref(content_);
    g_object_unref(context_);
}

// ---- Page and files ----

// Loaded from the main loop, so that the properties set right after SetMovie (scale, colour) are in it.
void WebPlayerControl::SchedulePageLoad() {
    if (!pageLoad_) pageLoad_ = g_idle_add(OnLoadPage, this);
}

gboolean WebPlayerControl::OnLoadPage(gpointer self) {
    auto* control = static_cast<WebPlayerControl*>(self);
    control->pageLoad_ = 0;
    Guarded([&] { control->Note("loading the page"); });
    webkit_web_view_load_uri(control->view_, kPlayerPageUri);
    return G_SOURCE_REMOVE;
}

void WebPlayerControl::OnSchemeRequest(WebKitURISchemeRequest* request, gpointer self) {
    // Every path of Serve finishes the request last; a failure before that must still finish it,
    // or a synchronous request would hold the page for ever.
    auto* control = static_cast<WebPlayerControl*>(self);
    if (!Guarded(false, [&] {
            control->Serve(request);
            return true;
        }))
        Refuse(request);
}

void WebPlayerControl::Serve(WebKitURISchemeRequest* request) {
    const PlayerRequest route = RoutePlayerRequest(webkit_uri_scheme_request_get_uri(request));
    const char* method = webkit_uri_scheme_request_get_http_method(request);
    if (method && std::string_view(method) != "GET") return Refuse(request);
    switch (route.route) {
        case PlayerRoute::Page:
            return RespondText(request, 200, "text/html; charset=utf-8", PlayerPageHtml(page_), kPageSecurity);
        case PlayerRoute::PlayerFile: {
            // Through the platform's files, which read the folder in the forms the tool gives it.
            std::vector<uint8_t> bytes;
            if (!ReadWholeFile(JoinPath(options_.playerFolder, route.file), bytes)) return Refuse(request);
            return Respond(request, 200, PlayerFileType(route.file), g_bytes_new(bytes.data(), bytes.size()));
        }
        case PlayerRoute::Movie: {
            // Through the platform's files: an enciphered movie reads as its plain bytes.
            std::vector<uint8_t> movie;
            if (moviePath_.empty() || !ReadWholeFile(moviePath_, movie)) return Refuse(request);
            Note("movie served (" + std::to_string(movie.size()) + " bytes)");
            return Respond(request, 200, "application/x-shockwave-flash", g_bytes_new(movie.data(), movie.size()));
        }
        case PlayerRoute::Call: return AnswerCall(request, route.query);
        case PlayerRoute::Refused: break;
    }
    Note(std::string("refused ") + webkit_uri_scheme_request_get_uri(request));
    Refuse(request);
}

gboolean WebPlayerControl::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                          gpointer) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && uri &&
        RoutePlayerRequest(uri).route == PlayerRoute::Page)
        webkit_policy_decision_use(decision);
    else webkit_policy_decision_ignore(decision);
    return TRUE;
}

// ---- The movie's events and calls ----

// The movie waits for the reply; the receiver answers with SetReturnValue, or the movie gets
// undefined.
void WebPlayerControl::AnswerCall(WebKitURISchemeRequest* request, const std::string& query) {
    const std::optional<PlainCall> call = ParsePageCall(query);
    if (!call || !options_.documents) return RespondText(request, 400, "text/plain; charset=utf-8", "undefined");
    const std::u16string document = options_.documents->RequestDocument(call->name, call->args);
    reply_.reset();
    // Guarded here as well: the count must come down whatever the scripts did.
    ++answering_;
    Guarded([&] {
        if (sink_) sink_->OnFlashCall(document);
    });
    --answering_;
    std::optional<PlainValue> value;
    if (reply_) value = options_.documents->ParseReply(*reply_);
    const std::string text = WritePageValue(value.value_or(PlainValue()));
    Note("call " + Utf16ToAnsi(call->name) + " -> " + text);
    reply_.reset();
    RespondText(request, 200, "text/plain; charset=utf-8", text);
}

void WebPlayerControl::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self) {
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    if (!jsc_value_is_string(value)) return;
    gchar* text = jsc_value_to_string(value);
    const std::string message = text ? text : "";
    g_free(text);
    Guarded([&] { static_cast<WebPlayerControl*>(self)->Received(message); });
}

void WebPlayerControl::Received(const std::string& message) {
    const std::optional<PlainValue> value = ParsePageValue(message);
    if (!value || value->kind != PlainValue::Kind::Array || value->items.empty()) return;
    for (const PlainValue& item : value->items)
        if (item.kind != PlainValue::Kind::String) return;
    const std::string kind = Utf16ToAnsi(value->items[0].text);
    if (kind == "fscommand" && value->items.size() == 3) return Deliver(value->items[1].text, value->items[2].text);
    if (kind == "loaded") {
        playing_ = true;
        return Note("page and player loaded");
    }
    if (kind == "failed")
        Note("the player failed: " + (value->items.size() > 1 ? Utf16ToAnsi(value->items[1].text) : ""));
}

void WebPlayerControl::Deliver(const std::u16string& command, const std::u16string& argument) {
    if (answering_ || waiting_ || !held_.empty()) {
        held_.emplace_back(command, argument);
        if (!flush_) flush_ = g_timeout_add(kFlushRetryMs, OnFlush, this);
        return;
    }
    Note("fscommand " + Utf16ToAnsi(command) + " " + Utf16ToAnsi(argument));
    if (sink_) sink_->OnFSCommand(command, argument);
}

gboolean WebPlayerControl::OnFlush(gpointer self) {
    auto* control = static_cast<WebPlayerControl*>(self);
    if (control->answering_ || control->waiting_) return G_SOURCE_CONTINUE;
    control->flush_ = 0;
    // Commands a handler's nested wait holds again stay behind the ones still here.
    while (!control->held_.empty() && !control->answering_ && !control->waiting_) {
        const std::pair<std::u16string, std::u16string> held = std::move(control->held_.front());
        control->held_.pop_front();
        Guarded([&] {
            control->Note("fscommand " + Utf16ToAnsi(held.first) + " " + Utf16ToAnsi(held.second));
            if (control->sink_) control->sink_->OnFSCommand(held.first, held.second);
        });
    }
    if (!control->held_.empty() && !control->flush_) control->flush_ = g_timeout_add(kFlushRetryMs, OnFlush, control);
    return G_SOURCE_REMOVE;
}

// ---- Calls into the movie ----

void WebPlayerControl::RunInPage(const std::string& script) {
    webkit_web_view_evaluate_javascript(view_, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

std::optional<std::string> WebPlayerControl::EvaluateAndWait(const std::string& script) {
    auto* wait = new Wait;
    webkit_web_view_evaluate_javascript(
        view_, script.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* view, GAsyncResult* result, gpointer data) {
            auto* w = static_cast<Wait*>(data);
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
            if (value && jsc_value_is_string(value)) {
                gchar* text = jsc_value_to_string(value);
                Guarded([&] { w->text = text ? text : ""; });
                g_free(text);
            }
            if (value) g_object_unref(value);
            w->done = true;
            if (w->abandoned) delete w;
        },
        wait);
    ++waiting_;
    const auto deadline = std::chrono::steady_clock::now() + kCallLimit;
    while (!wait->done && std::chrono::steady_clock::now() < deadline) {
        // Wakes the blocking iteration to look at the deadline even when nothing else happens.
        bool ticked = false;
        const guint tick = g_timeout_add(
            kWaitTickMs,
            [](gpointer flag) {
                *static_cast<bool*>(flag) = true;
                return G_SOURCE_REMOVE;
            },
            &ticked);
        g_main_context_iteration(nullptr, TRUE);
        if (!ticked) g_source_remove(tick);
    }
    --waiting_;
    if (!wait->done) {
        wait->abandoned = true;
        Note("a call into the movie took too long");
        return std::nullopt;
    }
    std::optional<std::string> text = std::move(wait->text);
    delete wait;
    return text;
}

std::optional<std::u16string> WebPlayerControl::CallFunction(std::u16string_view request) {
    // The page is blocked in the movie's own call: a call into it now could never be answered.
    if (answering_ || !options_.documents) return std::nullopt;
    const std::optional<PlainCall> call = options_.documents->ParseRequest(request);
    if (!call) return std::nullopt;
    PlainValue args = PlainValue::Of(PlainValue::Kind::Array);
    args.items = call->args;
    const std::optional<std::string> text =
        EvaluateAndWait(CallMovieScript(WritePageValue(PlainValue::String(call->name)), WritePageValue(args)));
    if (!text || text->empty()) {
        Note("CallFunction " + Utf16ToAnsi(call->name) + " -> no such callback");
        return std::nullopt;
    }
    const std::optional<PlainValue> value = ParsePageValue(*text);
    if (!value) return std::nullopt;
    Note("CallFunction " + Utf16ToAnsi(call->name) + " -> " + *text);
    return options_.documents->ReplyDocument(*value);
}

// ---- Properties and methods ----

bool WebPlayerControl::SetMovie(std::u16string_view path) {
    if (path.empty()) return false;
    moviePath_ = Utf16ToAnsi(path);
    page_.hasMovie = true;
    playing_ = false;
    SchedulePageLoad();
    return true;
}

bool WebPlayerControl::SetPlaying(bool playing) {
    RunInPage(playing ? "document.getElementById('player')?.play();" : "document.getElementById('player')?.pause();");
    playing_ = playing;
    return true;
}

// The player takes its scale and colour as it loads the movie: a change after that waits for the
// next load.
bool WebPlayerControl::SetScaleMode(int mode) {
    if (mode < 0 || mode > 3) return false;
    page_.scaleMode = mode;
    return true;
}

bool WebPlayerControl::SetBackgroundColor(int32_t rgb) {
    page_.backgroundRgb = rgb < 0 ? -1 : (rgb & 0xFFFFFF);
    return true;
}

std::optional<MovieValue> WebPlayerControl::Call(MovieMethod method, std::span<const MovieValue>) {
    switch (method) {
        case MovieMethod::Play: SetPlaying(true); return MovieValue();
        case MovieMethod::Stop:
        case MovieMethod::StopPlay: SetPlaying(false); return MovieValue();
        case MovieMethod::IsPlaying: return MovieValue(playing_);
        case MovieMethod::PercentLoaded: return MovieValue(int32_t{playing_ ? 100 : 0});
        default: return std::nullopt;  // the player's scripting interface has no such method
    }
}

std::optional<MovieValue> WebPlayerControl::Get(MovieProperty property) {
    switch (property) {
        case MovieProperty::Playing: return MovieValue(playing_);
        case MovieProperty::Movie: return MovieValue(Movie());
        case MovieProperty::ScaleMode: return MovieValue(int32_t{page_.scaleMode});
        case MovieProperty::BackgroundColor: return MovieValue(int32_t{page_.backgroundRgb});
        case MovieProperty::Base: return MovieValue(base_);
        default: return std::nullopt;
    }
}

bool WebPlayerControl::Put(MovieProperty property, const MovieValue& value) {
    const auto* flag = std::get_if<bool>(&value);
    const auto* number = std::get_if<int32_t>(&value);
    const auto* text = std::get_if<std::u16string>(&value);
    switch (property) {
        case MovieProperty::Playing: return flag && SetPlaying(*flag);
        case MovieProperty::Movie: return text && SetMovie(*text);
        case MovieProperty::ScaleMode: return number && SetScaleMode(*number);
        case MovieProperty::BackgroundColor: return number && SetBackgroundColor(*number);
        case MovieProperty::Base: return text && SetBase(*text);
        default: return false;
    }
}

}  // namespace gtk

std::unique_ptr<MovieControl> CreateWebPlayerControl(FrameWindow& window, const WebPlayerOptions& options) {
    auto* frame = dynamic_cast<gtk::GtkFrameWindow*>(&window);
    if (!frame) return nullptr;
    return std::make_unique<gtk::WebPlayerControl>(*frame, options);
}

}  // namespace velmo::platform
