// The fuzz host: the host core, a stand-in game, a scratch world put back
// before every input, fixed random numbers and clock, and for a loaded
// plug-in a copy of its data taken after start-up and put back too.
#include "fuzz/fuzz_host.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "include/host_interface.h"
#include "include/record_layout.h"
#include "server/core/host_core.h"

namespace fs = std::filesystem;

namespace fuzz {
namespace {

constexpr int kChannels = 4;
constexpr int kChannel = 1;
constexpr int kStatusesPerLine = 400;  // a script that never stops is cut off here
constexpr std::time_t kFixedTime = 1700000000;
constexpr uint64_t kRandSeed = 0x853c49e6748fea9bULL;

uint64_t rand_state = kRandSeed;
int module_number = 0;
fs::path world;
fs::path fuzzer_directory;  // where the fuzzer started: its paths are relative to it
std::map<fs::path, std::string> remembered;  // the world after start-up: relative path -> bytes

module_descriptor game{};  // the stand-in game: a line or a status for it changes nothing

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::pair<uint64_t*, std::vector<uint64_t>>> saved_data;  // where, and the words

// Word by word with volatile access: the bytes include the sanitizer's red
// zones around globals, which an instrumented memcpy would report.
__attribute__((no_sanitize("address"))) void copy_words(volatile uint64_t* to,
                                                        const volatile uint64_t* from,
                                                        size_t count) {
    for (size_t i = 0; i < count; ++i)
        to[i] = from[i];
}

// Keeps the plug-in's .data and .bss as they are now, in whole aligned
// words: the module's variables. The coverage counters, which belong to the
// fuzzer, have a section of their own.
void save_plugin_data(void* handle, const std::string& path) {
    link_map* map = nullptr;
    const std::string file = read_file(path);
    Elf64_Ehdr header{};
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && file.size() >= sizeof header)
        std::memcpy(&header, file.data(), sizeof header);
    auto section = [&](size_t i) {
        Elf64_Shdr s{};
        const size_t at = header.e_shoff + i * sizeof s;
        if (at + sizeof s <= file.size()) std::memcpy(&s, file.data() + at, sizeof s);
        return s;
    };
    const Elf64_Shdr names = section(header.e_shstrndx);
    for (size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr s = section(i);
        const size_t name = names.sh_offset + s.sh_name;
        if (name >= file.size() || (std::strcmp(file.c_str() + name, ".data") != 0 &&
                                    std::strcmp(file.c_str() + name, ".bss") != 0))
            continue;
        const uintptr_t begin = (map->l_addr + s.sh_addr + 7) & ~uintptr_t{7};
        const uintptr_t end = (map->l_addr + s.sh_addr + s.sh_size) & ~uintptr_t{7};
        auto& [at, words] = saved_data.emplace_back(reinterpret_cast<uint64_t*>(begin),
                                                    std::vector<uint64_t>((end - begin) / 8));
        copy_words(words.data(), at, words.size());
    }
    if (saved_data.empty()) {
        std::fprintf(stderr, "fuzz host: no .data or .bss found in %s\n", path.c_str());
        std::abort();
    }
}

std::string player_record() {
    using namespace zmb::player;
    uint8_t r[zmb::kPlayerRecordSize] = {};
    constexpr std::string_view kName = "Fuzz";
    zmb::set(r, name_length, static_cast<uint8_t>(kName.size()));
    std::memcpy(r + name, kName.data(), kName.size());
    zmb::set(r, hit_points, 20);
    zmb::set(r, max_hit_points, 30);
    zmb::set_text(r, weapon_name, "Short Sword");
    zmb::set_text(r, armour_name, "Leather");
    zmb::set(r, forest_fights, 10);
    zmb::set(r, gold, 1000);
    zmb::set(r, bank, 500);
    zmb::set(r, level, 5);
    zmb::set(r, gems, 3);
    zmb::set(r, experience, 1200);
    zmb::set(r, player_class, 2);
    return std::string(reinterpret_cast<const char*>(r), sizeof r);
}

// The host's channels, counters, clock and random numbers as every input
// finds them.
void reset_host() {
    host::init(kChannels);
    host::Account& a = host::account(kChannel);
    a.name = "Fuzz";
    a.shared.age = 20;
    a.keys.clear();
    host::counters() = {};
    host::set_clock(kFixedTime);
    rand_state = kRandSeed;
}

}  // namespace

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    for (size_t at; (at = text.find(separator)) != std::string_view::npos;) {
        pieces.push_back(text.substr(0, at));
        text.remove_prefix(at + separator.size());
    }
    pieces.push_back(text);
    return pieces;
}

void write_file(const std::string& relative, std::string_view bytes) {
    const fs::path path = world / relative;
    fs::create_directories(path.parent_path());
    // A new file, not a truncated one: the file system would write a
    // truncated file's data out at once, for every input.
    fs::remove(path);
    std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
}

void start(std::string_view target, void (*linked_init)(), const char* plugin_path,
           const std::vector<std::pair<std::string, std::string>>& places) {
    world = fs::temp_directory_path() /
            ("far-reaches-fuzz-" + std::string(target) + "-" + std::to_string(getpid()));
    fuzzer_directory = fs::current_path();
    fs::remove_all(world);
    fs::create_directories(world / "QHYVIGMS");
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(world, ignored);
    });
    write_file("KXPVORN/PLAYER.DAT", player_record());
    write_file("TEMP1.TMP", "KXPVORN\n0\n");
    for (const auto& [name, text] : places)
        write_file("QHYVIGMS/" + name, text);

    fs::current_path(world);
    host::set_log_sink([](std::string_view) {});
    // FUZZ_SHOW=1 shows the player's screen, to see what an input does.
    static const bool show = std::getenv("FUZZ_SHOW") != nullptr;
    host::set_output_sink([](int, std::string_view bytes) {
        if (show) std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    });
    host::set_catastro_hook([] { throw Catastro{}; });
    reset_host();
    game.input = [] { return 1; };
    game.status = [] {};
    const int game_number = host::add_module(&game, "KXPVORN");
    write_file("IGMLIST.DAT", "KXPVORN\n" + std::to_string(game_number) + "\nK-VORN\n");
    host::set_definition_name("ZMB_VORN.MDF", "Far Reaches");
    if (linked_init != nullptr) {
        linked_init();
        module_number = host::module_count();  // the last one registered
    } else {
        std::string error;
        module_number = host::load_module(plugin_path, &error);
        if (module_number < 0) {
            std::fprintf(stderr, "fuzz host: %s\n", error.c_str());
            std::abort();
        }
        save_plugin_data(host::module(module_number)->handle, plugin_path);
    }
    // Every target's player goes to the module, never to the stand-in game.
    const host::Module* target_module = host::module(module_number);
    if (target_module == nullptr || target_module->descriptor == &game) {
        std::fprintf(stderr, "fuzz host: the module did not register\n");
        std::abort();
    }
    for (const auto& entry : fs::recursive_directory_iterator(world)) {
        if (entry.is_regular_file())
            remembered[entry.path().lexically_relative(world)] = read_file(entry.path());
    }
    fs::current_path(fuzzer_directory);
}

void in_world(const std::function<void()>& steps) {
    fs::current_path(world);
    for (const auto& [at, words] : saved_data)
        copy_words(at, words.data(), words.size());
    std::error_code ignored;  // the world emptied, and its files as they were after start-up
    for (const auto& entry : fs::directory_iterator(world))
        fs::remove_all(entry.path(), ignored);
    for (const auto& [path, bytes] : remembered)
        write_file(path.string(), bytes);
    reset_host();
    try {
        steps();
    } catch (const Catastro&) {
    }
    fs::current_path(fuzzer_directory);
}

void arrive() {
    host::user(kChannel).shared.current_module = module_number;
    host::user(kChannel).shared.substate = 0;
    type("");
}

void type(std::string_view line) {
    host::type_line(kChannel, line);
    for (int i = 0; i < kStatusesPerLine && host::deliver_next_status(); ++i) {
    }
}

}  // namespace fuzz

// The module's random numbers and clock come from here (the executable
// exports them), the same for every run of an input.
extern "C" {
int rand() noexcept {
    fuzz::rand_state = fuzz::rand_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((fuzz::rand_state >> 33) % (static_cast<uint64_t>(RAND_MAX) + 1));
}
void srand(unsigned) noexcept {}
std::time_t time(std::time_t* out) noexcept {
    if (out != nullptr) *out = fuzz::kFixedTime;
    return fuzz::kFixedTime;
}
}
