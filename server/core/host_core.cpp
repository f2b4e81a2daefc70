// The host core's channels, accounts, per-user areas and module table, the
// loading of plug-ins, and the small host calls that only record what a
// module asked for (btuclo, btumil, btuxnf, dfsthn).
#include "server/core/host_core.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "server/core/core_state.h"

// The variables describing the call in progress (C linkage from the header).
int usrnum = 0;
host_user* usrptr = nullptr;
host_account* usaptr = nullptr;
char* vdaptr = nullptr;

namespace host {
namespace detail {

CoreState& core() {
    static CoreState state;
    return state;
}

Channel* find_channel(int channel, const char* caller) {
    auto& channels = core().channels;
    if (channel < 0 || channel >= static_cast<int>(channels.size())) {
        log("%s: no channel %d", caller, channel);
        return nullptr;
    }
    return &channels[static_cast<size_t>(channel)];
}

module_descriptor* descriptor_of(int module_number) {
    const Module* m = module(module_number);
    return m ? m->descriptor : nullptr;
}

namespace {

Channel& channel_or_throw(int channel) {
    auto& channels = core().channels;
    if (channel < 0 || channel >= static_cast<int>(channels.size())) {
        throw std::out_of_range("host: no channel " + std::to_string(channel));
    }
    return channels[static_cast<size_t>(channel)];
}

// "dir/ZMB_VORN.so" -> "ZMB_VORN"
std::string file_stem(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    size_t dot = path.rfind('.');
    if (dot != std::string_view::npos && dot > 0) path = path.substr(0, dot);
    return std::string(path);
}

std::vector<std::pair<std::string, std::string>>& definition_names() {
    static std::vector<std::pair<std::string, std::string>> names;
    return names;
}

}  // namespace
}  // namespace detail

using detail::core;

void init(int channel_count) {
    auto& c = core();
    c.channels.clear();
    c.channels.resize(static_cast<size_t>(std::max(channel_count, 0)));
    for (auto& ch : c.channels)
        ch.area.assign(c.area_size, 0);
    c.output.clear();
    c.ready.clear();
    c.queued = 0;
    c.sleepers.clear();
    c.asleep = 0;
    usrnum = 0;
    usrptr = nullptr;
    usaptr = nullptr;
    vdaptr = nullptr;
    if (!c.channels.empty()) select_channel(0);
}

int channel_count() {
    return static_cast<int>(core().channels.size());
}
UserRecord& user(int channel) {
    return detail::channel_or_throw(channel).user;
}
Account& account(int channel) {
    return detail::channel_or_throw(channel).account;
}
char* user_area(int channel) {
    auto& area = detail::channel_or_throw(channel).area;
    return area.empty() ? nullptr : area.data();
}
size_t user_area_size() {
    return core().area_size;
}

void set_output_sink(OutputSink sink) {
    core().sink = std::move(sink);
}

void select_channel(int channel) {
    auto& ch = detail::channel_or_throw(channel);
    usrnum = channel;
    usrptr = &ch.user.shared;
    usaptr = &ch.account.shared;
    vdaptr = ch.area.empty() ? nullptr : ch.area.data();
}

int add_module(module_descriptor* descriptor, const std::string& name) {
    int number = register_module(descriptor);
    if (number > 0) core().modules[static_cast<size_t>(number)].name = name;
    return number;
}

int module_count() {
    return static_cast<int>(core().modules.size()) - 1;
}

const Module* module(int number) {
    auto& modules = core().modules;
    if (number <= 0 || number >= static_cast<int>(modules.size())) return nullptr;
    return &modules[static_cast<size_t>(number)];
}

int load_module(const std::string& path, std::string* error, const std::string& name) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        log("load_module: %s", why.c_str());
        return -1;
    };
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return fail("no module file " + path);
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        return fail("cannot load " + path + ": " + (why ? why : "unknown error"));
    }
    std::string stem = name.empty() ? detail::file_stem(path) : name;
    std::string init_name = "init__" + stem;
    dlerror();
    void* symbol = dlsym(handle, init_name.c_str());
    if (!symbol) {
        dlclose(handle);  // nothing of it has run: safe to let go
        return fail(path + " has no " + init_name + " function");
    }

    auto& c = core();
    c.last_registered = 0;
    reinterpret_cast<void (*)()>(symbol)();
    int number = c.last_registered;
    if (number <= 0) return fail(init_name + " of " + path + " registered no module");
    Module& m = c.modules[static_cast<size_t>(number)];
    m.handle = handle;
    m.name = stem;
    std::transform(m.name.begin(), m.name.end(), m.name.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    log("loaded %s as module %d", path.c_str(), number);
    return number;
}

void set_definition_name(const std::string& file, const std::string& name) {
    auto& names = detail::definition_names();
    for (auto& entry : names) {
        if (strcasecmp(entry.first.c_str(), file.c_str()) == 0) {
            entry.second = name;
            return;
        }
    }
    names.emplace_back(file, name);
}

Counters& counters() {
    static Counters c;
    return c;
}

}  // namespace host

using host::detail::core;

extern "C" {

int16_t register_module(module_descriptor* descriptor) {
    auto& c = core();
    if (!descriptor || c.modules.size() > 32767) {
        host::log("register_module: refused (%s)", descriptor ? "table full" : "no descriptor");
        return 0;
    }
    c.modules.push_back(
        host::Module{descriptor,
                     std::string(descriptor->description,
                                 strnlen(descriptor->description, sizeof descriptor->description)),
                     nullptr});
    c.last_registered = static_cast<int>(c.modules.size()) - 1;
    return static_cast<int16_t>(c.last_registered);
}

char* gmdnam(const char* definition_file) {
    static std::string result;
    std::string file = definition_file ? definition_file : "";
    result = host::detail::file_stem(file);
    for (const auto& entry : host::detail::definition_names()) {
        if (strcasecmp(entry.first.c_str(), file.c_str()) == 0) result = entry.second;
    }
    return result.data();
}

void* alcmem(size_t size) {
    // Blocks live for the whole run; keeping them listed keeps them reachable.
    // The list itself is never destroyed, so the blocks stay reachable at exit.
    static auto* blocks = new std::vector<void*>;
    void* block = std::calloc(size ? size : 1, 1);
    if (!block) catastro("alcmem: out of memory for %zu bytes", size);
    blocks->push_back(block);
    return block;
}

void dclvda(size_t size) {
    auto& c = core();
    if (size <= c.area_size) return;  // areas are shared: the largest declaration wins
    c.area_size = size;
    for (auto& ch : c.channels)
        ch.area.resize(size, 0);  // new bytes are zero
    if (usrnum >= 0 && usrnum < host::channel_count()) host::select_channel(usrnum);
}

int haskey(const char* key) {
    if (!key || !*key || !usaptr) return 0;
    auto* ch = host::detail::find_channel(usrnum, "haskey");
    if (!ch) return 0;
    for (const auto& held : ch->account.keys) {
        if (strcasecmp(held.c_str(), key) == 0) return 1;
    }
    return 0;
}

void dfsthn(void) {
    host::counters().dfsthn++;
}

void btuclo(int channel) {
    if (host::detail::find_channel(channel, "btuclo")) host::counters().btuclo++;
}

void btumil(int channel, int limit) {
    if (auto* ch = host::detail::find_channel(channel, "btumil")) {
        ch->user.input_limit = limit;
        host::counters().btumil++;
    }
}

void btuxnf(int channel, int xon, int xoff) {
    if (auto* ch = host::detail::find_channel(channel, "btuxnf")) {
        ch->user.xon = xon;
        ch->user.xoff = xoff;
        host::counters().btuxnf++;
    }
}

}  // extern "C"
