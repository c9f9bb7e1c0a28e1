// The content of an RFC 3161 time-stamp token (TSTInfo) and the DER pieces
// around it, read from bytes that come with the module and are therefore
// hostile: every length is checked against what is left before it is used.
// Proving who signed the token is the caller's job.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin::launcher {

// The hashes a message imprint may use; weaker ones are not accepted.
enum class ImprintHash {
    Sha256 = 1,
    Sha384 = 2,
    Sha512 = 3,
};

struct cTimestampInfo {
    ImprintHash Hash = ImprintHash::Sha256;
    const uint8_t* Imprint = nullptr;  // inside the parsed bytes
    size_t ImprintSize = 0;            // the hash's own length
    int64_t UnixSeconds = 0;           // genTime; fractions of a second dropped
};

// A version 1 TSTInfo spanning all the bytes, whose imprint is a SHA-2 hash of
// the right length and whose genTime reads "YYYYMMDDhhmmss[.f...]Z" with a
// real date between 1601 and 9999. Fields after genTime are not read.
bool ParseTimestampInfo(const uint8_t* bytes, size_t size, cTimestampInfo& info);

// The content of a DER OCTET STRING that spans all the bytes.
bool ReadOctetString(const uint8_t* bytes, size_t size, const uint8_t*& content, size_t& contentSize);

}  // namespace tavrin::launcher
