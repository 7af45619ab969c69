#include "PipeWireClock.h"

#include <pipewire/extensions/metadata.h>
#include <pipewire/pipewire.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <list>
#include <mutex>
#include <sstream>
#include <string_view>

namespace linuxbackends {

namespace {

constexpr std::string_view kSettings = "settings";
constexpr const char *kClockRate = "clock.rate";
constexpr const char *kForceRate = "clock.force-rate";

// A rate in the settings' text form ("48000"); 0 and anything unreadable are no rate.
std::optional<UInt32> parsedRate(const std::optional<std::string> &text)
{
    if (!text)
        return std::nullopt;
    UInt32 value = 0;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (ec != std::errc() || end == text->data() || value == 0)
        return std::nullopt;
    return value;
}

// The socket libpipewire will knock at, when it can be told without connecting: the server's
// absence then costs one look at the folder, not a context with its modules. Its rules:
// $PIPEWIRE_REMOTE before the name asked for, "pipewire-0" by default, a name without a folder
// in $PIPEWIRE_RUNTIME_DIR or else $XDG_RUNTIME_DIR.
std::optional<std::filesystem::path> socketPath(const std::string &remote)
{
    const auto env = [](const char *name) -> std::string {
        const char *value = std::getenv(name);
        return value ? value : "";
    };
    std::string name = env("PIPEWIRE_REMOTE");
    if (name.empty())
        name = remote.empty() ? "pipewire-0" : remote;
    if (name.front() == '/')
        return std::filesystem::path(name);
    std::string folder = env("PIPEWIRE_RUNTIME_DIR");
    if (folder.empty())
        folder = env("XDG_RUNTIME_DIR");
    if (folder.empty())
        return std::nullopt;
    return std::filesystem::path(folder) / name;
}

std::optional<std::string> textOf(const char *value)
{
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// The record of a forced rate: what this client set and what the setting held before it, so
// that a later run puts it back when this one could not (a crash, a kill, a stopped server).
struct ForcedRecord {
    std::string forced;
    std::optional<std::string> before;
};

constexpr std::string_view kForcedLine = "force-rate=";
constexpr std::string_view kBeforeLine = "before=";
constexpr std::string_view kNothingBefore = "before-none";

void writeRecord(const std::filesystem::path &path, const ForcedRecord &record)
{
    if (path.empty())
        return;
    // Written whole and renamed over the old one: a crash mid-write leaves the previous record.
    std::filesystem::path partial = path;
    partial += ".new";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << kForcedLine << record.forced << '\n';
        if (record.before)
            out << kBeforeLine << *record.before << '\n';
        else
            out << kNothingBefore << '\n';
        if (!out.flush())
            return;
    }
    std::error_code ec;
    std::filesystem::rename(partial, path, ec);
}

std::optional<ForcedRecord> readRecord(const std::filesystem::path &path)
{
    if (path.empty())
        return std::nullopt;
    std::ifstream in(path);
    std::string forced;
    std::string before;
    if (!std::getline(in, forced) || !std::getline(in, before) || !forced.starts_with(kForcedLine))
        return std::nullopt;
    ForcedRecord record{forced.substr(kForcedLine.size()), std::nullopt};
    if (before.starts_with(kBeforeLine))
        record.before = before.substr(kBeforeLine.size());
    else if (before != kNothingBefore)
        return std::nullopt;
    return record;
}

void removeRecord(const std::filesystem::path &path)
{
    std::error_code ec;
    if (!path.empty())
        std::filesystem::remove(path, ec);
}

} // namespace

// Everything here but `changed` and `timeout` is guarded by the thread loop's lock, which
// libpipewire's thread holds while it runs the event callbacks below.
struct PipeWireClock::State {
    std::function<void()> changed;
    std::chrono::milliseconds timeout{};
    std::filesystem::path record;

    pw_thread_loop *loop = nullptr;
    pw_context *context = nullptr;
    pw_core *core = nullptr;
    pw_registry *registry = nullptr;
    pw_metadata *settings = nullptr;
    std::uint32_t settingsId = 0;
    spa_hook coreListener{};
    spa_hook registryListener{};
    spa_hook settingsListener{};

    // The sound cards' nodes, whose running state and format say when the card's rate may move.
    struct CardNode {
        State *state = nullptr;
        std::uint32_t id = 0;
        pw_proxy *proxy = nullptr;
        spa_hook listener{};
        std::optional<std::uint32_t> formatFlags;
    };
    std::list<CardNode> cardNodes;

    bool lost = false;
    int pendingSeq = -1;
    bool synced = false;
    // The last error the server answered a request with since the last round trip; 0: none.
    int lastError = 0;

    std::optional<std::string> clockRate;
    std::optional<std::string> forceRate;
    // What "clock.force-rate" held before this client first changed it; `saved` says whether
    // there is anything to put back. `ownForceRate` is what this client set last.
    bool saved = false;
    std::optional<std::string> savedForceRate;
    std::string ownForceRate;

    ~State();
    bool roundTrip();
    // Sets "clock.force-rate" (nothing: removes it) and waits for the server's answer.
    OSStatus setForceRate(const std::optional<std::string> &value);
    void restoreRecorded();
    void dropNodes();
    void notify()
    {
        if (changed)
            changed();
    }
    void dropSettings();

    static void onCoreDone(void *data, std::uint32_t id, int seq);
    static void onCoreError(void *data, std::uint32_t id, int seq, int res, const char *message);
    static void onGlobal(void *data, std::uint32_t id, std::uint32_t permissions, const char *type,
                         std::uint32_t version, const spa_dict *props);
    static void onGlobalRemove(void *data, std::uint32_t id);
    static int onProperty(void *data, std::uint32_t subject, const char *key, const char *type, const char *value);
    static void onNodeInfo(void *data, const pw_node_info *info);
    static const pw_core_events kCoreEvents;
    static const pw_registry_events kRegistryEvents;
    static const pw_metadata_events kMetadataEvents;
    static const pw_node_events kNodeEvents;
};

const pw_core_events PipeWireClock::State::kCoreEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.done = &onCoreDone;
    events.error = &onCoreError;
    return events;
}();

const pw_registry_events PipeWireClock::State::kRegistryEvents = [] {
    pw_registry_events events{};
    events.version = PW_VERSION_REGISTRY_EVENTS;
    events.global = &onGlobal;
    events.global_remove = &onGlobalRemove;
    return events;
}();

const pw_node_events PipeWireClock::State::kNodeEvents = [] {
    pw_node_events events{};
    events.version = PW_VERSION_NODE_EVENTS;
    events.info = &onNodeInfo;
    return events;
}();

const pw_metadata_events PipeWireClock::State::kMetadataEvents = [] {
    pw_metadata_events events{};
    events.version = PW_VERSION_METADATA_EVENTS;
    events.property = &onProperty;
    return events;
}();

namespace {

// libpipewire's calls are macros over its interface tables, with C casts inside; these give
// them one place, a type, and no cast warnings in the code that uses them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
int setSetting(pw_metadata *metadata, const char *key, const char *value)
{
    return pw_metadata_set_property(metadata, PW_ID_CORE, key, nullptr, value);
}
void listenToSettings(pw_metadata *metadata, spa_hook *hook, const pw_metadata_events *events, void *data)
{
    pw_metadata_add_listener(metadata, hook, events, data);
}
void listenToCore(pw_core *core, spa_hook *hook, const pw_core_events *events, void *data)
{
    pw_core_add_listener(core, hook, events, data);
}
void listenToRegistry(pw_registry *registry, spa_hook *hook, const pw_registry_events *events, void *data)
{
    pw_registry_add_listener(registry, hook, events, data);
}
int syncWith(pw_core *core)
{
    return pw_core_sync(core, PW_ID_CORE, 0);
}
void listenToNode(pw_proxy *node, spa_hook *hook, const pw_node_events *events, void *data)
{
    pw_node_add_listener(reinterpret_cast<pw_node *>(node), hook, events, data);
}
#pragma GCC diagnostic pop

} // namespace

void PipeWireClock::State::onCoreDone(void *data, std::uint32_t id, int seq)
{
    auto *state = static_cast<State *>(data);
    if (id == PW_ID_CORE && seq == state->pendingSeq) {
        state->synced = true;
        pw_thread_loop_signal(state->loop, false);
    }
}

void PipeWireClock::State::onCoreError(void *data, std::uint32_t id, int, int res, const char *)
{
    auto *state = static_cast<State *>(data);
    if (id == PW_ID_CORE && res == -EPIPE) {
        state->lost = true;
        state->notify();
    } else {
        state->lastError = res;
    }
    pw_thread_loop_signal(state->loop, false);
}

void PipeWireClock::State::onGlobal(void *data, std::uint32_t id, std::uint32_t, const char *type, std::uint32_t,
                                    const spa_dict *props)
{
    auto *state = static_cast<State *>(data);
    if (!type || !props)
        return;
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
        // A node of a sound card (object.path "alsa:pcm:..."): the server opens, configures
        // and closes the card through it.
        const char *path = spa_dict_lookup(props, PW_KEY_OBJECT_PATH);
        if (!path || !std::string_view(path).starts_with("alsa:"))
            return;
        auto *proxy = static_cast<pw_proxy *>(
            pw_registry_bind(state->registry, id, PW_TYPE_INTERFACE_Node, PW_VERSION_NODE, 0));
        if (!proxy)
            return;
        CardNode &node = state->cardNodes.emplace_back();
        node.state = state;
        node.id = id;
        node.proxy = proxy;
        listenToNode(proxy, &node.listener, &kNodeEvents, &node);
        return;
    }
    if (state->settings || std::strcmp(type, PW_TYPE_INTERFACE_Metadata) != 0)
        return;
    const char *name = spa_dict_lookup(props, PW_KEY_METADATA_NAME);
    if (!name || kSettings != name)
        return;
    state->settings = static_cast<pw_metadata *>(
        pw_registry_bind(state->registry, id, PW_TYPE_INTERFACE_Metadata, PW_VERSION_METADATA, 0));
    if (!state->settings)
        return;
    state->settingsId = id;
    listenToSettings(state->settings, &state->settingsListener, &kMetadataEvents, state);
}

void PipeWireClock::State::onGlobalRemove(void *data, std::uint32_t id)
{
    auto *state = static_cast<State *>(data);
    if (state->settings && id == state->settingsId) {
        state->dropSettings();
        state->notify();
    }
    for (auto it = state->cardNodes.begin(); it != state->cardNodes.end(); ++it) {
        if (it->id == id) {
            spa_hook_remove(&it->listener);
            pw_proxy_destroy(it->proxy);
            state->cardNodes.erase(it);
            state->notify();
            return;
        }
    }
}

void PipeWireClock::State::onNodeInfo(void *data, const pw_node_info *info)
{
    auto *node = static_cast<CardNode *>(data);
    if (!info)
        return;
    bool moved = (info->change_mask & PW_NODE_CHANGE_MASK_STATE) != 0;
    if (info->change_mask & PW_NODE_CHANGE_MASK_PARAMS) {
        // The server flips a param's flags when it changes; only the format matters here, not
        // the volumes that come the same way.
        for (std::uint32_t i = 0; i < info->n_params; ++i) {
            if (info->params[i].id != SPA_PARAM_Format)
                continue;
            if (node->formatFlags && *node->formatFlags != info->params[i].flags)
                moved = true;
            node->formatFlags = info->params[i].flags;
        }
    }
    if (moved)
        node->state->notify();
}

void PipeWireClock::State::dropNodes()
{
    for (CardNode &node : cardNodes) {
        spa_hook_remove(&node.listener);
        pw_proxy_destroy(node.proxy);
    }
    cardNodes.clear();
}

int PipeWireClock::State::onProperty(void *data, std::uint32_t subject, const char *key, const char *,
                                     const char *value)
{
    auto *state = static_cast<State *>(data);
    if (subject != PW_ID_CORE)
        return 0;
    // No key: every setting of the subject was removed.
    if (!key) {
        state->clockRate.reset();
        state->forceRate.reset();
    } else if (std::strcmp(key, kClockRate) == 0) {
        state->clockRate = textOf(value);
    } else if (std::strcmp(key, kForceRate) == 0) {
        state->forceRate = textOf(value);
    } else {
        return 0;
    }
    state->notify();
    return 0;
}

void PipeWireClock::State::dropSettings()
{
    if (!settings)
        return;
    spa_hook_remove(&settingsListener);
    pw_proxy_destroy(reinterpret_cast<pw_proxy *>(settings));
    settings = nullptr;
    clockRate.reset();
    forceRate.reset();
}

bool PipeWireClock::State::roundTrip()
{
    if (lost || !core)
        return false;
    synced = false;
    pendingSeq = syncWith(core);
    timespec deadline{};
    pw_thread_loop_get_time(loop, &deadline, std::chrono::nanoseconds(timeout).count());
    while (!synced && !lost) {
        if (pw_thread_loop_timed_wait_full(loop, &deadline) != 0)
            return false;
    }
    return synced && !lost;
}

OSStatus PipeWireClock::State::setForceRate(const std::optional<std::string> &value)
{
    lastError = 0;
    setSetting(settings, kForceRate, value ? value->c_str() : nullptr);
    if (!roundTrip())
        return lost ? kAudioHardwareNotRunningError : kAudioHardwareUnspecifiedError;
    return lastError != 0 ? kAudioHardwareIllegalOperationError : noErr;
}

void PipeWireClock::State::restoreRecorded()
{
    const std::optional<ForcedRecord> recorded = readRecord(record);
    if (!recorded) {
        removeRecord(record);
        return;
    }
    if (!settings)
        return; // no settings yet: the record waits for a server that has them
    // Put back only what still is this program's own choice: a value set by anyone since, or
    // a server restarted meanwhile, is left as it stands.
    if (forceRate != recorded->forced || setForceRate(recorded->before) == noErr)
        removeRecord(record);
}

PipeWireClock::State::~State()
{
    if (!loop)
        return;
    pw_thread_loop_lock(loop);
    dropSettings();
    dropNodes();
    if (registry) {
        spa_hook_remove(&registryListener);
        pw_proxy_destroy(reinterpret_cast<pw_proxy *>(registry));
    }
    if (core) {
        spa_hook_remove(&coreListener);
        pw_core_disconnect(core);
    }
    pw_thread_loop_unlock(loop);
    pw_thread_loop_stop(loop);
    if (context)
        pw_context_destroy(context);
    pw_thread_loop_destroy(loop);
}

std::unique_ptr<PipeWireClock> PipeWireClock::connect(const std::string &remote, std::function<void()> changed,
                                                      std::chrono::milliseconds timeout,
                                                      const std::filesystem::path &record)
{
    if (const std::optional<std::filesystem::path> socket = socketPath(remote)) {
        std::error_code ec;
        if (!std::filesystem::exists(*socket, ec))
            return nullptr;
    }
    static std::once_flag initialised;
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });

    auto state = std::make_unique<State>();
    state->changed = std::move(changed);
    state->timeout = timeout;
    state->record = record;
    state->loop = pw_thread_loop_new("zorvex-clock", nullptr);
    if (!state->loop)
        return nullptr;
    state->context = pw_context_new(pw_thread_loop_get_loop(state->loop), nullptr, 0);
    if (!state->context || pw_thread_loop_start(state->loop) < 0)
        return nullptr;

    pw_thread_loop_lock(state->loop);
    pw_properties *props = remote.empty() ? nullptr : pw_properties_new(PW_KEY_REMOTE_NAME, remote.c_str(), nullptr);
    state->core = pw_context_connect(state->context, props, 0);
    bool ready = state->core != nullptr;
    if (ready) {
        listenToCore(state->core, &state->coreListener, &State::kCoreEvents, state.get());
        state->registry = pw_core_get_registry(state->core, PW_VERSION_REGISTRY, 0);
        ready = state->registry != nullptr;
    }
    if (ready) {
        listenToRegistry(state->registry, &state->registryListener, &State::kRegistryEvents, state.get());
        // The first round trip brings the globals, the second the settings of the metadata
        // bound meanwhile.
        ready = state->roundTrip() && state->roundTrip();
    }
    if (ready)
        state->restoreRecorded();
    pw_thread_loop_unlock(state->loop);
    if (!ready)
        return nullptr;
    return std::unique_ptr<PipeWireClock>(new PipeWireClock(std::move(state)));
}

std::optional<std::filesystem::path> PipeWireClock::socketFor(const std::string &remote)
{
    return socketPath(remote);
}

PipeWireClock::PipeWireClock(std::unique_ptr<State> state)
    : m_state(std::move(state))
{
}

PipeWireClock::~PipeWireClock()
{
    restore();
}

bool PipeWireClock::connected() const
{
    pw_thread_loop_lock(m_state->loop);
    const bool up = !m_state->lost;
    pw_thread_loop_unlock(m_state->loop);
    return up;
}

std::optional<UInt32> PipeWireClock::rate() const
{
    pw_thread_loop_lock(m_state->loop);
    std::optional<UInt32> rate;
    if (!m_state->lost && m_state->settings) {
        rate = parsedRate(m_state->forceRate);
        if (!rate)
            rate = parsedRate(m_state->clockRate);
    }
    pw_thread_loop_unlock(m_state->loop);
    return rate;
}

OSStatus PipeWireClock::forceRate(UInt32 rate)
{
    State &s = *m_state;
    pw_thread_loop_lock(s.loop);
    OSStatus status = noErr;
    if (s.lost) {
        status = kAudioHardwareNotRunningError;
    } else if (!s.settings) {
        status = kAudioHardwareIllegalOperationError;
    } else {
        if (!s.saved) {
            s.savedForceRate = s.forceRate;
            s.saved = true;
        }
        s.ownForceRate = std::to_string(rate);
        // Recorded before the server hears of it: a crash from here on leaves what to undo.
        writeRecord(s.record, {s.ownForceRate, s.savedForceRate});
        status = s.setForceRate(s.ownForceRate);
        if (status == noErr && parsedRate(s.forceRate) != rate)
            status = kAudioHardwareIllegalOperationError;
    }
    pw_thread_loop_unlock(s.loop);
    return status;
}

OSStatus PipeWireClock::restore()
{
    State &s = *m_state;
    pw_thread_loop_lock(s.loop);
    OSStatus status = noErr;
    if (!s.saved) {
        status = noErr;
    } else if (s.lost) {
        // Whether the server still holds this client's choice is for the next connection to
        // find out: the record stays.
        s.saved = false;
        status = kAudioHardwareNotRunningError;
    } else if (!s.settings) {
        status = kAudioHardwareIllegalOperationError;
    } else if (!s.roundTrip()) {
        // Whatever the server holds now is not known: the record stays for the next start.
        status = s.lost ? kAudioHardwareNotRunningError : kAudioHardwareUnspecifiedError;
    } else if (s.forceRate != s.ownForceRate) {
        // Another client forced a rate after this one: its choice stands.
        s.saved = false;
        removeRecord(s.record);
    } else {
        status = s.setForceRate(s.savedForceRate);
        if (status == noErr) {
            s.saved = false;
            removeRecord(s.record);
        }
    }
    pw_thread_loop_unlock(s.loop);
    return status;
}

} // namespace linuxbackends
