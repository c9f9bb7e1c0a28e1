// The RFC 3161 time stamp of an Authenticode signature: when a trusted
// time-stamping authority saw this very signature. Windows' trust service
// proves it by itself; Wine's ignores it, so the launcher proves it here.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "loader/trust_services_win.h"

namespace tavrin::launcher {

enum class TimestampCheck {
    Valid = 1,
    Missing = 2,             // no countersignature (1.3.6.1.4.1.311.3.3.1)
    Malformed = 3,           // not one token holding one signed TSTInfo
    BadSignature = 4,        // the token's signature does not verify
    ContentChanged = 5,      // the TSTInfo is not the one its signer signed
    OtherSignature = 6,      // the imprint is not of this signature
    FromTheFuture = 7,       // stamped later than now
    UntrustedAuthority = 8,  // no time-stamping usage, or no trusted chain then
};

// Words for a log line.
const char* DescribeTimestampCheck(TimestampCheck check);

// Valid, with the stamped time, only for a signer with exactly one RFC 3161
// countersignature whose token has one signer that verifies with the
// certificate the token carries, whose signed message digest is the hash of
// its TSTInfo, whose imprint is the hash of the signer's encrypted digest,
// whose time is not later than now, and whose signing certificate has the
// time-stamping usage and a chain trusted at that time.
TimestampCheck CheckTimestamp(const cTrustServices& services, const CMSG_SIGNER_INFO& signer,
                              const FILETIME& now, FILETIME& stamped);

}  // namespace tavrin::launcher
