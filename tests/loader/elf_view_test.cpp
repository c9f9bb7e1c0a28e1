// Symbol lookup over a small ELF image built here (both hash tables,
// versions, undefined symbols, damaged tables) and, on Linux, over the C
// library this test runs with, against the dynamic loader's own answer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "loader/elf_view.h"
#include "loader/maps_parser.h"

#ifdef __linux__
#include <dlfcn.h>

#include <fstream>
#include <sstream>
#endif

using namespace tavrin::launcher;

namespace {

struct Symbol {
    std::string Name;
    uint64_t Value;
    uint16_t Section;
    uint16_t Version;  // 0x8000: hidden (not the default version)
    uint8_t Type = 2;  // st_info's type: 1 object, 2 function, 6 thread-local, 10 indirect
};

enum class Tables { Classic, Gnu, ClassicThenGnu, GnuThenClassic };

uint32_t GnuHash(const std::string& name)
{
    uint32_t h = 5381;
    for (unsigned char c : name) {
        h = h * 33 + c;
    }
    return h;
}

uint32_t ElfHash(const std::string& name)
{
    uint32_t h = 0;
    for (unsigned char c : name) {
        h = (h << 4) + c;
        const uint32_t g = h & 0xF0000000u;
        if (g) {
            h ^= g >> 24;
        }
        h &= ~g;
    }
    return h;
}

// A shared object as the dynamic loader leaves it in memory, with
// dynamic-section values relative to its base (absolute when asked).
class cElfBuilder {
public:
    std::vector<uint8_t> Build(const std::vector<Symbol>& symbols, Tables tables, uint64_t absoluteBase = 0)
    {
        Bytes.assign(0x100, 0);
        const uint64_t strings = Bytes.size();
        std::vector<uint32_t> nameOffsets = {0};
        Bytes.push_back(0);
        for (const Symbol& symbol : symbols) {
            nameOffsets.push_back(static_cast<uint32_t>(Bytes.size() - strings));
            Bytes.insert(Bytes.end(), symbol.Name.begin(), symbol.Name.end());
            Bytes.push_back(0);
        }
        Align();
        const uint64_t symbolTable = Bytes.size();
        Bytes.resize(Bytes.size() + 24 * (symbols.size() + 1));
        for (size_t i = 0; i < symbols.size(); ++i) {
            const uint64_t at = symbolTable + 24 * (i + 1);
            Put32(at, nameOffsets[i + 1]);
            Bytes[at + 4] = symbols[i].Type;
            Put16(at + 6, symbols[i].Section);
            Put64(at + 8, symbols[i].Value);
        }
        const uint64_t versions = Bytes.size();
        Bytes.resize(Bytes.size() + 2 * (symbols.size() + 1));
        for (size_t i = 0; i < symbols.size(); ++i) {
            Put16(versions + 2 * (i + 1), symbols[i].Version ? symbols[i].Version : 1);
        }
        Align();
        const uint64_t classic = ClassicTable(symbols);
        const uint64_t gnu = GnuTable(symbols);

        std::vector<std::pair<int64_t, uint64_t>> dynamic = {
            {5, strings}, {6, symbolTable}, {0x6FFFFFF0, versions}};
        if (tables == Tables::Classic || tables == Tables::ClassicThenGnu) {
            dynamic.push_back({4, classic});
        }
        if (tables != Tables::Classic) {
            dynamic.push_back({0x6FFFFEF5, gnu});
        }
        if (tables == Tables::GnuThenClassic) {
            dynamic.push_back({4, classic});
        }
        dynamic.push_back({0, 0});
        Align();
        const uint64_t dynamicAt = Bytes.size();
        for (const auto& [tag, value] : dynamic) {
            const uint64_t at = Bytes.size();
            Bytes.resize(at + 16);
            Put64(at, static_cast<uint64_t>(tag));
            Put64(at + 8, tag == 0 ? 0 : value + absoluteBase);
        }
        Header(dynamicAt, Bytes.size() - dynamicAt);
        return Bytes;
    }

    uint64_t ClassicAt = 0;
    uint64_t GnuAt = 0;

private:
    uint64_t ClassicTable(const std::vector<Symbol>& symbols)
    {
        constexpr uint32_t kBuckets = 3;
        const uint32_t count = static_cast<uint32_t>(symbols.size() + 1);
        std::vector<uint32_t> buckets(kBuckets, 0);
        std::vector<uint32_t> chains(count, 0);
        for (uint32_t i = 1; i < count; ++i) {
            const uint32_t b = ElfHash(symbols[i - 1].Name) % kBuckets;
            chains[i] = buckets[b];
            buckets[b] = i;
        }
        ClassicAt = Bytes.size();
        Words({kBuckets, count});
        Words(buckets);
        Words(chains);
        return ClassicAt;
    }

    // One bucket holding every symbol from index 1.
    uint64_t GnuTable(const std::vector<Symbol>& symbols)
    {
        GnuAt = Bytes.size();
        Words({1, 1, 1, 6});
        Bytes.resize(Bytes.size() + 8);  // bloom word, not consulted
        Words({symbols.empty() ? 0u : 1u});
        for (size_t i = 0; i < symbols.size(); ++i) {
            const uint32_t h = GnuHash(symbols[i].Name) & ~1u;
            Words({i + 1 == symbols.size() ? (h | 1) : h});
        }
        return GnuAt;
    }

    void Header(uint64_t dynamicAt, uint64_t dynamicSize)
    {
        const uint8_t ident[8] = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0};
        std::memcpy(Bytes.data(), ident, sizeof(ident));
        Put16(16, 3);   // shared object
        Put16(18, 62);  // x86-64
        Put64(32, 64);  // program headers
        Put16(54, 56);
        Put16(56, 2);
        // A load segment over the whole file, then the dynamic segment.
        Put32(64, 1);
        Put64(64 + 32, Bytes.size());
        Put64(64 + 40, Bytes.size());
        Put32(120, 2);
        Put64(120 + 8, dynamicAt);
        Put64(120 + 16, dynamicAt);
        Put64(120 + 32, dynamicSize);
        Put64(120 + 40, dynamicSize);
    }

    void Words(const std::vector<uint32_t>& words)
    {
        for (uint32_t word : words) {
            const uint64_t at = Bytes.size();
            Bytes.resize(at + 4);
            Put32(at, word);
        }
    }
    void Align() { Bytes.resize((Bytes.size() + 7) & ~size_t{7}); }
    void Put16(uint64_t at, uint16_t v) { std::memcpy(&Bytes[at], &v, 2); }
    void Put32(uint64_t at, uint32_t v) { std::memcpy(&Bytes[at], &v, 4); }
    void Put64(uint64_t at, uint64_t v) { std::memcpy(&Bytes[at], &v, 8); }

    std::vector<uint8_t> Bytes;
};

const std::vector<Symbol> kSymbols = {
    {"dlopen", 0x1000, 12, 0},         {"dlsym", 0x2000, 12, 0}, {"imported", 0, 0, 0},
    {"versioned", 0x3000, 12, 0x8002},  // an old version first, as glibc lists them
    {"versioned", 0x4000, 12, 3},      {"a", 0x10, 12, 0},       {"b", 0x20, 12, 0},
    {"object", 0x5000, 12, 0, 1},      {"untyped", 0x5100, 12, 0, 0},
    {"thread_local", 0x40, 12, 0, 6},  {"indirect", 0x5200, 12, 0, 10},
};

uint64_t Find(const std::vector<uint8_t>& bytes, const char* name)
{
    const uint64_t base = reinterpret_cast<uintptr_t>(bytes.data());
    return FindElfSymbol(ElfImage{base, {{base, base + bytes.size()}}}, name);
}

TEST(ElfView, BothHashTablesGiveTheSameDefinedDefaultSymbols)
{
    for (Tables tables : {Tables::Classic, Tables::Gnu, Tables::ClassicThenGnu, Tables::GnuThenClassic}) {
        cElfBuilder builder;
        const std::vector<uint8_t> bytes = builder.Build(kSymbols, tables);
        const uint64_t base = reinterpret_cast<uintptr_t>(bytes.data());
        SCOPED_TRACE(static_cast<int>(tables));
        EXPECT_EQ(Find(bytes, "dlopen"), base + 0x1000);
        EXPECT_EQ(Find(bytes, "dlsym"), base + 0x2000);
        EXPECT_EQ(Find(bytes, "a"), base + 0x10);
        EXPECT_EQ(Find(bytes, "b"), base + 0x20);
        EXPECT_EQ(Find(bytes, "versioned"), base + 0x4000);
        EXPECT_EQ(Find(bytes, "imported"), 0u);  // undefined: never a match
        EXPECT_EQ(Find(bytes, "object"), base + 0x5000);
        // Only plain functions and objects have an address to hand out: an
        // indirect function's value is its resolver, a thread-local one's an
        // offset into every thread's block.
        EXPECT_EQ(Find(bytes, "untyped"), 0u);
        EXPECT_EQ(Find(bytes, "thread_local"), 0u);
        EXPECT_EQ(Find(bytes, "indirect"), 0u);
        EXPECT_EQ(Find(bytes, "c"), 0u);
        EXPECT_EQ(Find(bytes, "dlope"), 0u);
        EXPECT_EQ(Find(bytes, ""), 0u);
        EXPECT_EQ(Find(bytes, nullptr), 0u);
    }
}

TEST(ElfView, TheHashTableNamedLastIsTheOneUsed)
{
    struct Case {
        Tables Order;
        bool BreakClassic;
        bool Found;
    };
    const Case cases[] = {
        {Tables::ClassicThenGnu, true, true},
        {Tables::ClassicThenGnu, false, false},
        {Tables::GnuThenClassic, false, true},
        {Tables::GnuThenClassic, true, false},
    };
    for (const Case& c : cases) {
        cElfBuilder builder;
        std::vector<uint8_t> bytes = builder.Build(kSymbols, c.Order);
        // An empty bucket array makes a table find nothing.
        const uint64_t broken = c.BreakClassic ? builder.ClassicAt : builder.GnuAt;
        std::memset(&bytes[broken], 0, 4);
        EXPECT_EQ(Find(bytes, "dlsym") != 0, c.Found) << static_cast<int>(c.Order) << c.BreakClassic;
    }
}

TEST(ElfView, AbsoluteDynamicValuesAsTheLoaderLeavesThem)
{
    cElfBuilder probe;
    const size_t size = probe.Build(kSymbols, Tables::Gnu).size();
    std::vector<uint8_t> bytes(size);
    const uint64_t base = reinterpret_cast<uintptr_t>(bytes.data());
    cElfBuilder builder;
    const std::vector<uint8_t> built = builder.Build(kSymbols, Tables::Gnu, base);
    ASSERT_EQ(built.size(), size);
    std::memcpy(bytes.data(), built.data(), size);
    EXPECT_EQ(Find(bytes, "dlsym"), base + 0x2000);
}

TEST(ElfView, DamagedImagesFindNothingAndReadNothingOutside)
{
    cElfBuilder builder;
    const std::vector<uint8_t> good = builder.Build(kSymbols, Tables::ClassicThenGnu);
    // Every shorter image, each in a buffer of exactly that size.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        const std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(cut));
        const uint64_t found = bytes.empty() ? 0 : Find(bytes, "b");
        EXPECT_TRUE(found == 0 || found == reinterpret_cast<uintptr_t>(bytes.data()) + 0x20) << cut;
        EXPECT_FALSE(ElfFileFitsInBuffer(bytes.data(), bytes.size())) << cut;
    }
    EXPECT_TRUE(ElfFileFitsInBuffer(good.data(), good.size()));

    struct Patch {
        size_t Offset;
        std::vector<uint8_t> Bytes;
    };
    const Patch patches[] = {
        {0, {'M', 'Z'}},  // not ELF
        {4, {1}},         // 32-bit
        {16, {2, 0}},     // executable, not shared object
        {18, {3, 0}},     // i386
        {54, {32, 0}},    // program header size
        {56, {0, 0}},     // no program headers
    };
    for (const Patch& patch : patches) {
        std::vector<uint8_t> bytes = good;
        std::memcpy(&bytes[patch.Offset], patch.Bytes.data(), patch.Bytes.size());
        EXPECT_EQ(Find(bytes, "b"), 0u) << patch.Offset;
    }
}

TEST(ElfView, AClassicChainThatLoopsEnds)
{
    cElfBuilder builder;
    std::vector<uint8_t> bytes = builder.Build(kSymbols, Tables::Classic);
    // Every chain entry points at symbol 1, itself included.
    const uint64_t chains = builder.ClassicAt + 8 + 3 * 4;
    for (size_t i = 0; i <= kSymbols.size(); ++i) {
        const uint32_t one = 1;
        std::memcpy(&bytes[chains + 4 * i], &one, 4);
    }
    for (uint64_t bucket = builder.ClassicAt + 8; bucket < chains; bucket += 4) {
        const uint32_t one = 1;
        std::memcpy(&bytes[bucket], &one, 4);
    }
    EXPECT_EQ(Find(bytes, "b"), 0u);
    EXPECT_EQ(Find(bytes, "dlopen"), reinterpret_cast<uintptr_t>(bytes.data()) + 0x1000);
}

#ifdef __linux__
std::string ReadText(const char* path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The C library this test runs with, found through its own memory map: for
// each name the address equals the dynamic loader's default binding.
TEST(ElfView, FindsWhatDlsymFindsInTheHostCLibrary)
{
    ElfImage libc;
    ASSERT_TRUE(FindLibcInMaps(ReadText("/proc/self/maps"), libc));
    void* handle = dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    // Plain functions (no indirect ones, whose dlsym answer is the chosen
    // implementation), several of them with older versions beside the default.
    const char* names[] = {"dlopen",
                           "dlsym",
                           "dlclose",
                           "malloc",
                           "free",
                           "calloc",
                           "realloc",
                           "printf",
                           "snprintf",
                           "fopen",
                           "fclose",
                           "fwrite",
                           "puts",
                           "getpid",
                           "getenv",
                           "setenv",
                           "qsort",
                           "atoi",
                           "strtol",
                           "exit",
                           "abort",
                           "pthread_create",
                           "socket",
                           "mmap",
                           "munmap",
                           "open",
                           "read",
                           "write",
                           "close",
                           "realpath",
                           "posix_spawn",
                           "pthread_cond_wait",
                           "pthread_cond_signal",
                           "regexec",
                           "fmemopen",
                           "glob",
                           "sched_setaffinity",
                           "quick_exit",
                           "timer_create",
                           "environ",
                           "stdout"};
    for (const char* name : names) {
        void* expected = dlsym(handle, name);
        ASSERT_NE(expected, nullptr) << name;
        EXPECT_EQ(FindElfSymbol(libc, name), reinterpret_cast<uintptr_t>(expected)) << name;
    }
    EXPECT_EQ(FindElfSymbol(libc, "no_such_symbol_here"), 0u);
    // The string functions are indirect in this C library: their symbol's
    // value is the resolver that picks an implementation, never to be called
    // as the function itself.
    EXPECT_EQ(FindElfSymbol(libc, "strlen"), 0u);
    EXPECT_EQ(FindElfSymbol(libc, "memcpy"), 0u);
    dlclose(handle);
}
#endif

}  // namespace
