// The fuzz host: the host core, a stand-in game, a scratch world put back
// before every input, fixed random numbers and clock, and for a loaded
// plug-in a copy of its writable data taken after start-up and put back too.
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
std::map<fs::path, std::string> remembered;  // relative path -> bytes

module_descriptor game = {"KXPVORN fuzz game",
                          nullptr,
                          [] { return 1; },
                          [] {},
                          nullptr,
                          nullptr,
                          nullptr,
                          nullptr,
                          nullptr,
                          nullptr};

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// ---- the loaded plug-in's writable data ----

struct Span {
    uintptr_t begin, end;
};
struct Saved {
    uintptr_t begin;
    std::vector<uint64_t> words;
};
std::vector<Saved> saved_data;

// Word by word with volatile access: the bytes include the sanitizer's red
// zones around globals, which an instrumented memcpy would report.
__attribute__((no_sanitize("address"))) void copy_words(uint64_t* to, const uint64_t* from,
                                                        size_t count) {
    volatile uint64_t* out = to;
    const volatile uint64_t* in = from;
    for (size_t i = 0; i < count; ++i)
        out[i] = in[i];
}

// Address range of a section of the ELF file, relative to its load address.
Span section_span(const std::string& path, const char* wanted) {
    const std::string file = read_file(path);
    if (file.size() < sizeof(Elf64_Ehdr)) return {0, 0};
    Elf64_Ehdr header;
    std::memcpy(&header, file.data(), sizeof header);
    auto section = [&](size_t i) {
        Elf64_Shdr s{};
        size_t at = header.e_shoff + i * sizeof s;
        if (at + sizeof s <= file.size()) std::memcpy(&s, file.data() + at, sizeof s);
        return s;
    };
    const Elf64_Shdr names = section(header.e_shstrndx);
    for (size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr s = section(i);
        if (names.sh_offset + s.sh_name < file.size() &&
            std::strcmp(file.c_str() + names.sh_offset + s.sh_name, wanted) == 0)
            return {s.sh_addr, s.sh_addr + s.sh_size};
    }
    return {0, 0};
}

// Keeps the plug-in's writable segments, less what is read-only after
// relocation and less the coverage counters, which belong to the fuzzer.
void save_plugin_data(void* handle, const std::string& path) {
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return;
    struct Search {
        uintptr_t base;
        std::vector<Span> writable, excluded;
    } search{map->l_addr, {}, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            if (info->dlpi_addr != s->base) return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& p = info->dlpi_phdr[i];
                const Span span{s->base + p.p_vaddr, s->base + p.p_vaddr + p.p_memsz};
                if (p.p_type == PT_LOAD && (p.p_flags & PF_W)) s->writable.push_back(span);
                if (p.p_type == PT_GNU_RELRO) s->excluded.push_back(span);
            }
            return 1;
        },
        &search);
    const Span counters = section_span(path, "__sancov_cntrs");
    if (counters.end > counters.begin)
        search.excluded.push_back({search.base + counters.begin, search.base + counters.end});

    for (const Span& w : search.writable) {
        // Cut the excluded spans out, keeping whole aligned words.
        std::vector<Span> pieces{w};
        for (const Span& x : search.excluded) {
            std::vector<Span> next;
            for (const Span& p : pieces) {
                if (x.end <= p.begin || x.begin >= p.end) {
                    next.push_back(p);
                    continue;
                }
                if (x.begin > p.begin) next.push_back({p.begin, x.begin});
                if (x.end < p.end) next.push_back({x.end, p.end});
            }
            pieces = next;
        }
        for (const Span& p : pieces) {
            const uintptr_t begin = (p.begin + 7) & ~uintptr_t{7};
            const uintptr_t end = p.end & ~uintptr_t{7};
            if (end <= begin) continue;
            Saved s{begin, std::vector<uint64_t>((end - begin) / 8)};
            copy_words(s.words.data(), reinterpret_cast<const uint64_t*>(begin), s.words.size());
            saved_data.push_back(std::move(s));
        }
    }
}

void restore_plugin_data() {
    for (const Saved& s : saved_data)
        copy_words(reinterpret_cast<uint64_t*>(s.begin), s.words.data(), s.words.size());
}

// ---- the world ----

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

void prepare_channel() {
    host::Account& a = host::account(kChannel);
    a.name = "Fuzz";
    a.shared.age = 20;
    a.keys.clear();
}

}  // namespace

std::vector<std::string_view> split_parts(std::string_view data) {
    constexpr std::string_view kSeparator = "\n~~\n";
    std::vector<std::string_view> parts;
    for (size_t at; (at = data.find(kSeparator)) != std::string_view::npos;) {
        parts.push_back(data.substr(0, at));
        data.remove_prefix(at + kSeparator.size());
    }
    parts.push_back(data);
    return parts;
}

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t at = text.find('\n');
        lines.push_back(text.substr(0, at));
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + 1);
    }
    return lines;
}

void write_file(const std::string& relative, std::string_view bytes) {
    const fs::path path = world / relative;
    fs::create_directories(path.parent_path());
    // A new file, not a truncated one: the file system would write a
    // truncated file's data out at once, for every input.
    fs::remove(path);
    std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
}

void make_world(std::string_view target,
                const std::vector<std::pair<std::string, std::string>>& places) {
    world = fs::temp_directory_path() /
            ("far-reaches-fuzz-" + std::string(target) + "-" + std::to_string(getpid()));
    fuzzer_directory = fs::current_path();
    fs::remove_all(world);
    fs::create_directories(world);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(world, ignored);
    });
    write_file("KXPVORN/PLAYER.DAT", player_record());
    write_file("TEMP1.TMP", "KXPVORN\n0\n");
    fs::create_directories(world / "QHYVIGMS");
    for (const auto& [name, text] : places)
        write_file("QHYVIGMS/" + name, text);
}

void remember_world() {
    remembered.clear();
    for (const auto& entry : fs::recursive_directory_iterator(world)) {
        if (!entry.is_regular_file()) continue;
        remembered[entry.path().lexically_relative(world)] = read_file(entry.path());
    }
}

void restore_world() {
    std::vector<fs::path> extra;
    for (const auto& entry : fs::recursive_directory_iterator(world)) {
        const fs::path relative = entry.path().lexically_relative(world);
        if (entry.is_regular_file() && remembered.count(relative) != 0) continue;
        if (entry.is_directory() && !entry.is_symlink()) {
            bool holds_remembered = false;
            for (const auto& [path, bytes] : remembered)
                holds_remembered |= path.string().starts_with(relative.string() + "/");
            if (holds_remembered) continue;
        }
        extra.push_back(entry.path());
    }
    for (const fs::path& p : extra) {
        std::error_code ignored;
        fs::remove_all(p, ignored);
    }
    for (const auto& [path, bytes] : remembered) {
        if (read_file(world / path) != bytes) write_file(path.string(), bytes);
    }
}

namespace {

// Host set-up before a module starts: quiet log, catastro back to the
// target, the stand-in game and its IGMLIST.DAT entry.
void prepare_host() {
    host::set_log_sink([](std::string_view) {});
    // FUZZ_SHOW=1 shows the player's screen, to see what an input does.
    static const bool show = std::getenv("FUZZ_SHOW") != nullptr;
    host::set_output_sink([](int, std::string_view bytes) {
        if (show) std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    });
    host::set_catastro_hook([] { throw Catastro{}; });
    host::set_clock(kFixedTime);
    host::init(kChannels);
    prepare_channel();
    const int game_number = host::add_module(&game, "KXPVORN");
    write_file("IGMLIST.DAT", "KXPVORN\n" + std::to_string(game_number) + "\nK-VORN\n");
    host::set_definition_name("ZMB_VORN.MDF", "Far Reaches");
}

}  // namespace

void start_module(const std::string& plugin_path) {
    fs::current_path(world);
    prepare_host();
    std::string error;
    module_number = host::load_module(plugin_path, &error);
    if (module_number < 0) {
        std::fprintf(stderr, "fuzz host: %s\n", error.c_str());
        std::abort();
    }
    save_plugin_data(host::module(module_number)->handle, plugin_path);
    remember_world();
    fs::current_path(fuzzer_directory);
}

void start_module(void (*linked_init)()) {
    fs::current_path(world);
    prepare_host();
    linked_init();
    module_number = host::module_count() - 1;
    remember_world();
    fs::current_path(fuzzer_directory);
}

InWorld::InWorld() {
    fs::current_path(world);
    restore_plugin_data();
    restore_world();
    host::init(kChannels);
    prepare_channel();
    host::counters() = {};
    host::set_clock(kFixedTime);
    rand_state = kRandSeed;
}

InWorld::~InWorld() {
    fs::current_path(fuzzer_directory);
}

void hand_over() {
    host::user(kChannel).shared.current_module = module_number;
    host::user(kChannel).shared.substate = 0;
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
