#include "core/crash_report.h"

namespace tavrin::launcher {

cFixedText::cFixedText(char* buffer, size_t capacity) : Buffer(buffer), Capacity(capacity)
{
    if (Buffer != nullptr && Capacity != 0) {
        Buffer[0] = '\0';
    }
}

void cFixedText::Put(char c)
{
    if (Buffer == nullptr || Used + 1 >= Capacity) {
        Cut = true;
        return;
    }
    Buffer[Used++] = c;
    Buffer[Used] = '\0';
}

cFixedText& cFixedText::Text(const char* text)
{
    for (const char* p = text ? text : "(null)"; *p != '\0'; ++p) {
        Put(*p);
    }
    return *this;
}

cFixedText& cFixedText::Hex(uint64_t value, int minDigits)
{
    char digits[16];
    int count = 0;
    do {
        digits[count++] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    Put('0');
    Put('x');
    for (int pad = count; pad < minDigits && pad < 16; ++pad) {
        Put('0');
    }
    while (count > 0) {
        Put(digits[--count]);
    }
    return *this;
}

cFixedText& cFixedText::Decimal(uint64_t value, int minDigits)
{
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = count; pad < minDigits && pad < 20; ++pad) {
        Put('0');
    }
    while (count > 0) {
        Put(digits[--count]);
    }
    return *this;
}

namespace {

const char* AccessVerb(uint64_t kind)
{
    switch (kind) {
    case 0:
        return "reading";
    case 1:
        return "writing";
    case 8:
        return "executing";
    default:
        return "accessing";
    }
}

}  // namespace

size_t FormatCrashMessage(char* out, size_t capacity, const CrashFacts& facts)
{
    cFixedText text(out, capacity);
    text.Text("Unhandled exception ").Hex(facts.Code, 8).Text(" at ").Hex(facts.Address, 16).Text(" in ");
    if (facts.Module != nullptr) {
        text.Text(facts.Module).Text("+").Hex(facts.Offset);
    } else {
        text.Text("an unknown module");
    }
    text.Text(" on thread ").Decimal(facts.ThreadId);
    if (facts.HasAccess) {
        text.Text(" (").Text(AccessVerb(facts.AccessKind)).Text(" ").Hex(facts.AccessAddress, 16).Text(")");
    }
    text.Text(".");
    return text.Length();
}

size_t FormatCrashLogLine(char* out, size_t capacity, uint32_t hour, uint32_t minute, uint32_t second,
                          uint32_t millisecond, const char* message)
{
    cFixedText text(out, capacity);
    text.Text("[").Decimal(hour, 2).Text(":").Decimal(minute, 2).Text(":").Decimal(second, 2).Text(":");
    text.Decimal(millisecond, 3).Text("] [Windows] [KZV Bootstrapper] [Err!] ").Text(message);
    // The line break always fits: a long message is cut before it.
    if (text.Length() + 2 >= capacity && capacity >= 3) {
        out[capacity - 3] = '\0';
        cFixedText tail(out + capacity - 3, 3);
        tail.Text("\r\n");
        return capacity - 1;
    }
    text.Text("\r\n");
    return text.Length();
}

size_t FormatCrashDumpName(char* out, size_t capacity, uint32_t year, uint32_t month, uint32_t day,
                           uint32_t hour, uint32_t minute, uint32_t second)
{
    cFixedText text(out, capacity);
    text.Text("anticheatlauncher-crash-").Decimal(year, 4).Text(".").Decimal(month, 2).Text(".");
    text.Decimal(day, 2).Text("-").Decimal(hour, 2).Text(".").Decimal(minute, 2).Text(".");
    text.Decimal(second, 2).Text(".dmp");
    return text.Truncated() ? 0 : text.Length();
}

}  // namespace tavrin::launcher
