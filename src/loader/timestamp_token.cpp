#include "loader/timestamp_token.h"

#include <cstring>

namespace tavrin::launcher {

namespace {

constexpr uint8_t kTagInteger = 0x02;
constexpr uint8_t kTagOctetString = 0x04;
constexpr uint8_t kTagNull = 0x05;
constexpr uint8_t kTagObjectId = 0x06;
constexpr uint8_t kTagGeneralizedTime = 0x18;
constexpr uint8_t kTagSequence = 0x30;

// Unread DER bytes.
struct cDer {
    const uint8_t* At = nullptr;
    size_t Left = 0;
};

// The length after a tag, in DER's shortest definite form only.
bool ReadLength(const cDer& der, size_t& header, size_t& length)
{
    if (der.Left < 2) {
        return false;
    }
    length = der.At[1];
    header = 2;
    if (length < 0x80) {
        return true;
    }
    const size_t count = length & 0x7F;
    if (count == 0 || count > 4 || der.Left - 2 < count || der.At[2] == 0) {
        return false;
    }
    length = 0;
    for (size_t i = 0; i < count; ++i) {
        length = (length << 8) | der.At[2 + i];
    }
    header += count;
    return length >= 0x80;
}

// The next element, which must carry the tag; moves past it.
bool ReadElement(cDer& der, uint8_t tag, cDer& content)
{
    size_t header = 0;
    size_t length = 0;
    if (der.Left == 0 || der.At[0] != tag || !ReadLength(der, header, length) || length > der.Left - header) {
        return false;
    }
    content.At = der.At + header;
    content.Left = length;
    der.At += header + length;
    der.Left -= header + length;
    return true;
}

struct cHashOid {
    ImprintHash Hash;
    uint8_t Oid[9];
    size_t Size;
};

// 2.16.840.1.101.3.4.2.1, .2 and .3.
const cHashOid kHashOids[] = {
    {ImprintHash::Sha256, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}, 32},
    {ImprintHash::Sha384, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02}, 48},
    {ImprintHash::Sha512, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03}, 64},
};

// AlgorithmIdentifier: the OID, then nothing or a NULL.
bool ReadHashAlgorithm(cDer algorithm, const cHashOid*& found)
{
    cDer oid;
    cDer parameters;
    if (!ReadElement(algorithm, kTagObjectId, oid)) {
        return false;
    }
    if (algorithm.Left != 0 &&
        (!ReadElement(algorithm, kTagNull, parameters) || parameters.Left != 0 || algorithm.Left != 0)) {
        return false;
    }
    for (const cHashOid& known : kHashOids) {
        if (oid.Left == sizeof known.Oid && std::memcmp(oid.At, known.Oid, sizeof known.Oid) == 0) {
            found = &known;
            return true;
        }
    }
    return false;
}

bool ReadImprint(cDer imprint, cTimestampInfo& info)
{
    cDer algorithm;
    cDer hashed;
    const cHashOid* hash = nullptr;
    if (!ReadElement(imprint, kTagSequence, algorithm) || !ReadHashAlgorithm(algorithm, hash) ||
        !ReadElement(imprint, kTagOctetString, hashed) || imprint.Left != 0 || hashed.Left != hash->Size) {
        return false;
    }
    info.Hash = hash->Hash;
    info.Imprint = hashed.At;
    info.ImprintSize = hashed.Left;
    return true;
}

bool ReadDigits(const uint8_t* at, size_t count, int& value)
{
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        if (at[i] < '0' || at[i] > '9') {
            return false;
        }
        value = value * 10 + (at[i] - '0');
    }
    return true;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the date (proleptic Gregorian).
int64_t DaysFromEpoch(int year, int month, int day)
{
    const int64_t y = month <= 2 ? year - 1 : year;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Seconds since 1970-01-01 of a valid UTC calendar time; false for a date or
// time that does not exist or a year outside 1601..9999.
bool UtcToUnixSeconds(int year, int month, int day, int hour, int minute, int second, int64_t& seconds)
{
    if (year < 1601 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return false;
    }
    seconds = DaysFromEpoch(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

// "YYYYMMDDhhmmss", optional ".f..." (one digit at least), then "Z".
bool ReadGeneralizedTime(const cDer& text, int64_t& seconds)
{
    if (text.Left < 15 || text.Left > 32 || text.At[text.Left - 1] != 'Z') {
        return false;
    }
    const size_t fraction = text.Left - 15;
    if (fraction == 1 || (fraction > 1 && text.At[14] != '.')) {
        return false;
    }
    int digits = 0;
    for (size_t i = 15; i + 1 < text.Left; ++i) {
        if (!ReadDigits(text.At + i, 1, digits)) {
            return false;
        }
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    return ReadDigits(text.At, 4, year) && ReadDigits(text.At + 4, 2, month) &&
           ReadDigits(text.At + 6, 2, day) && ReadDigits(text.At + 8, 2, hour) &&
           ReadDigits(text.At + 10, 2, minute) && ReadDigits(text.At + 12, 2, second) &&
           UtcToUnixSeconds(year, month, day, hour, minute, second, seconds);
}

}  // namespace

bool ReadOctetString(const uint8_t* bytes, size_t size, const uint8_t*& content, size_t& contentSize)
{
    cDer all{bytes, bytes != nullptr ? size : 0};
    cDer octets;
    if (!ReadElement(all, kTagOctetString, octets) || all.Left != 0) {
        return false;
    }
    content = octets.At;
    contentSize = octets.Left;
    return true;
}

bool ParseTimestampInfo(const uint8_t* bytes, size_t size, cTimestampInfo& info)
{
    cDer all{bytes, bytes != nullptr ? size : 0};
    cDer tst, version, policy, imprint, serial, time;
    if (!ReadElement(all, kTagSequence, tst) || all.Left != 0) {
        return false;
    }
    if (!ReadElement(tst, kTagInteger, version) || version.Left != 1 || version.At[0] != 1) {
        return false;
    }
    return ReadElement(tst, kTagObjectId, policy) && policy.Left != 0 &&
           ReadElement(tst, kTagSequence, imprint) && ReadImprint(imprint, info) &&
           ReadElement(tst, kTagInteger, serial) && serial.Left != 0 &&
           ReadElement(tst, kTagGeneralizedTime, time) && ReadGeneralizedTime(time, info.UnixSeconds);
}

}  // namespace tavrin::launcher
