// The crash report's text, built in caller-provided buffers: the crash
// handler runs on a thread that may have died holding the heap's lock, so
// nothing here allocates or calls the C runtime's formatting.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin::launcher {

// Appends to a fixed buffer, always NUL-terminated; what does not fit is cut.
class cFixedText {
public:
    cFixedText(char* buffer, size_t capacity);

    cFixedText& Text(const char* text);
    // "0x" and at least minDigits upper-case hex digits.
    cFixedText& Hex(uint64_t value, int minDigits = 1);
    cFixedText& Decimal(uint64_t value, int minDigits = 1);

    size_t Length() const { return Used; }
    bool Truncated() const { return Cut; }

private:
    void Put(char c);

    char* Buffer;
    size_t Capacity;
    size_t Used = 0;
    bool Cut = false;
};

struct CrashFacts {
    uint32_t Code = 0;
    uint64_t Address = 0;
    // The image the address lies in and the offset into it; null: unknown.
    const char* Module = nullptr;
    uint64_t Offset = 0;
    uint32_t ThreadId = 0;
    // An access violation's kind (0 read, 1 write, 8 execute) and target.
    bool HasAccess = false;
    uint64_t AccessKind = 0;
    uint64_t AccessAddress = 0;
};

// "Unhandled exception 0xC0000005 at 0x00007F0000001234 in anti-cheat
// module+0x1234 on thread 42 (writing 0x0000000000000000)."
size_t FormatCrashMessage(char* out, size_t capacity, const CrashFacts& facts);

// The log file's line for a message at Error level, as the logger writes
// it: "[hh:mm:ss:mmm] [Windows] [KZV Bootstrapper] [Err!] message" and CR LF.
size_t FormatCrashLogLine(char* out, size_t capacity, uint32_t hour, uint32_t minute, uint32_t second,
                          uint32_t millisecond, const char* message);

// "anticheatlauncher-crash-YYYY.MM.DD-HH.MM.SS.dmp"
size_t FormatCrashDumpName(char* out, size_t capacity, uint32_t year, uint32_t month, uint32_t day,
                           uint32_t hour, uint32_t minute, uint32_t second);

}  // namespace tavrin::launcher
