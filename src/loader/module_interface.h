// The boundary with the anti-cheat module: the records passed in and out
// and the callback it reports through (its result codes are shared with the
// download and the launcher).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/result_codes.h"

namespace tavrin::launcher {

// What the module hands to the callback, from any of its threads.
struct KZV_CallbackRecord {
    void* Context;  // the init record's context, unchanged
    int32_t Code;
    const char* Message;      // UTF-8 or null
    int32_t NativeProcessId;  // 0 when absent
};

using KZV_ModuleCallback = void (*)(KZV_CallbackRecord* record);

inline constexpr uint32_t kInitRecordVersion = 2;

struct KZV_InitRecord {
    uint32_t Version;
    uint8_t Reserved[12];
    void* Context;
    const char* ProductId;
    const char* SandboxId;
    const char* DeploymentId;
    KZV_ModuleCallback Callback;
    const char* GamePath;    // native path under Wine, else null
    uint32_t ArgumentCount;  // Wine only
    uint32_t Padding;
    const char* const* Arguments;  // Wine only: game path (Windows form), then the arguments
};

inline constexpr uint64_t kLocaleRecordVersion = 1;

struct KZV_LocaleRecord {
    uint64_t Version;
    const char* Language;  // e.g. "en"
    const char* Country;   // e.g. "us"
};

// The entry points. The Windows module uses the Windows x64 convention; the
// native one under Wine the System V AMD64 convention, in both directions.
using KZV_InitFunction = uint8_t (*)(KZV_InitRecord* record);  // 1: success
using KZV_SecondFunction = void (*)(uint32_t* value);
using KZV_LocaleFunction = void (*)(KZV_LocaleRecord* record);
using KZV_NativeCallback = void(__attribute__((sysv_abi)) *)(KZV_CallbackRecord* record);

// Export-table positions of the Windows module; the native one names them.
inline constexpr uint32_t kExportInit = 0;
inline constexpr uint32_t kExportSecond = 1;
inline constexpr uint32_t kExportThird = 2;
inline constexpr uint32_t kExportLocale = 4;
inline constexpr const char* kNativeSymbols[4] = {"a", "b", "c", "d"};

// The module reads these records by byte offset: the layout is the contract.
static_assert(sizeof(void*) == 8, "the module interface is 64-bit only");

static_assert(sizeof(KZV_InitRecord) == 80);
static_assert(offsetof(KZV_InitRecord, Version) == 0);
static_assert(offsetof(KZV_InitRecord, Reserved) == 4);
static_assert(offsetof(KZV_InitRecord, Context) == 16);
static_assert(offsetof(KZV_InitRecord, ProductId) == 24);
static_assert(offsetof(KZV_InitRecord, SandboxId) == 32);
static_assert(offsetof(KZV_InitRecord, DeploymentId) == 40);
static_assert(offsetof(KZV_InitRecord, Callback) == 48);
static_assert(offsetof(KZV_InitRecord, GamePath) == 56);
static_assert(offsetof(KZV_InitRecord, ArgumentCount) == 64);
static_assert(offsetof(KZV_InitRecord, Padding) == 68);
static_assert(offsetof(KZV_InitRecord, Arguments) == 72);

static_assert(sizeof(KZV_LocaleRecord) == 24);
static_assert(offsetof(KZV_LocaleRecord, Version) == 0);
static_assert(offsetof(KZV_LocaleRecord, Language) == 8);
static_assert(offsetof(KZV_LocaleRecord, Country) == 16);

static_assert(sizeof(KZV_CallbackRecord) == 32);
static_assert(offsetof(KZV_CallbackRecord, Context) == 0);
static_assert(offsetof(KZV_CallbackRecord, Code) == 8);
static_assert(offsetof(KZV_CallbackRecord, Message) == 16);
static_assert(offsetof(KZV_CallbackRecord, NativeProcessId) == 24);

}  // namespace tavrin::launcher
