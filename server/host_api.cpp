// The host's API for its built-in game, over the host core.
#include "server/host_api.h"

#include <cstdarg>

#include "server/core/host_core.h"

namespace host_api {
namespace {

std::function<std::vector<Caller>()> callers_source;

}  // namespace

std::vector<Caller> callers_on() {
    return callers_source ? callers_source() : std::vector<Caller>{};
}

void set_callers_source(std::function<std::vector<Caller>()> source) {
    callers_source = std::move(source);
}

int add_builtin_module(module_descriptor* descriptor, std::string_view name) {
    return host::add_module(descriptor, std::string(name));
}

std::optional<std::string> module_name(int number) {
    const host::Module* m = host::module(number);
    if (m == nullptr) return std::nullopt;
    return m->name;
}

void act_for_channel(int channel) {
    host::select_channel(channel);
}

int channel_count() {
    return host::channel_count();
}

const host_user& user_of(int channel) {
    return host::user(channel).shared;
}

void end_input_limit(int channel) {
    host::user(channel).input_limit = 0;
}

void log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    host::vlog(format, args);
    va_end(args);
}

}  // namespace host_api
