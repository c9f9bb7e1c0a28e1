#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "loader/timestamp_token.h"

using namespace tavrin::launcher;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex)
{
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

Bytes Tlv(uint8_t tag, const Bytes& content)
{
    Bytes out{tag};
    if (content.size() < 0x80) {
        out.push_back(static_cast<uint8_t>(content.size()));
    } else {
        out.push_back(0x81);
        out.push_back(static_cast<uint8_t>(content.size()));
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

const Bytes kSha256 = FromHex("608648016503040201");
const Bytes kSha1 = FromHex("2b0e03021a");
const Bytes kPolicy = FromHex("2a030401");

// A TSTInfo with the fields the reader checks; the rest is left out.
Bytes TstInfo(const Bytes& version, const Bytes& algorithm, size_t imprintSize, const std::string& time)
{
    const Bytes imprint =
        Join({Tlv(0x30, Join({Tlv(0x06, algorithm), Tlv(0x05, {})})), Tlv(0x04, Bytes(imprintSize, 0xAB))});
    return Tlv(0x30, Join({Tlv(0x02, version), Tlv(0x06, kPolicy), Tlv(0x30, imprint), Tlv(0x02, {0x2A}),
                           Tlv(0x18, Text(time))}));
}

TEST(TimestampToken, ReadsATokenMadeByOsslsigncode)
{
    // Stamped 2020-06-01 00:00:00 over a SHA-256 imprint, with accuracy and nonce.
    const Bytes tst = FromHex(
        "306e02010106042a0304013031300d060960864801650304020105000420f22ace87d5071e9b5bebb05041ec1237617609"
        "2a4f040f57ebb855b3a9477eb5020900da67d63632a1bcd6180f32303230303630313030303030305a300a020101800201"
        "f481016402080e82d9ddad8ab1c7");
    cTimestampInfo info;
    ASSERT_TRUE(ParseTimestampInfo(tst.data(), tst.size(), info));
    EXPECT_EQ(info.Hash, ImprintHash::Sha256);
    EXPECT_EQ(info.UnixSeconds, 1590969600);
    ASSERT_EQ(info.ImprintSize, 32u);
    EXPECT_EQ(info.Imprint, tst.data() + 30);
    EXPECT_EQ(info.Imprint[0], 0xF2);

    for (size_t cut = 0; cut < tst.size(); ++cut) {
        const Bytes shorter(tst.begin(), tst.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(ParseTimestampInfo(shorter.data(), shorter.size(), info)) << cut;
    }
    Bytes longer = tst;
    longer.push_back(0);
    EXPECT_FALSE(ParseTimestampInfo(longer.data(), longer.size(), info));
    EXPECT_FALSE(ParseTimestampInfo(nullptr, 10, info));
}

TEST(TimestampToken, AcceptsOnlyVersionOneAndSha2ImprintsOfTheirOwnLength)
{
    struct Case {
        const char* What;
        Bytes Tst;
        bool Accepted;
    };
    const std::string time = "20200601000000Z";
    const Case cases[] = {
        {"SHA-256", TstInfo({1}, kSha256, 32, time), true},
        {"SHA-384", TstInfo({1}, FromHex("608648016503040202"), 48, time), true},
        {"SHA-512", TstInfo({1}, FromHex("608648016503040203"), 64, time), true},
        {"version 2", TstInfo({2}, kSha256, 32, time), false},
        {"version as two bytes", TstInfo({0, 1}, kSha256, 32, time), false},
        {"SHA-1", TstInfo({1}, kSha1, 20, time), false},
        {"SHA-256 imprint of 20 bytes", TstInfo({1}, kSha256, 20, time), false},
        {"SHA-384 OID with a SHA-256 length", TstInfo({1}, FromHex("608648016503040202"), 32, time), false},
    };
    for (const Case& c : cases) {
        cTimestampInfo info;
        EXPECT_EQ(ParseTimestampInfo(c.Tst.data(), c.Tst.size(), info), c.Accepted) << c.What;
    }
}

TEST(TimestampToken, GeneralizedTimesReadAsUtcSecondsOrAreRefused)
{
    struct Case {
        const char* Time;
        bool Accepted;
        int64_t Seconds;
    };
    const Case cases[] = {
        {"19700101000000Z", true, 0},
        {"20200601000000.5Z", true, 1590969600},
        {"20200601000000.123456Z", true, 1590969600},
        {"20000229235959Z", true, 951868799},
        {"16010101000000Z", true, -11644473600},
        {"99991231235959Z", true, 253402300799},
        {"19000229000000Z", false, 0},
        {"20210229000000Z", false, 0},
        {"20200631000000Z", false, 0},
        {"20201301000000Z", false, 0},
        {"20200601240000Z", false, 0},
        {"20200601006000Z", false, 0},
        {"20200601000060Z", false, 0},
        {"16001231235959Z", false, 0},
        {"20200601000000", false, 0},
        {"2020060100000Z", false, 0},
        {"20200601000000.Z", false, 0},
        {"20200601000000,5Z", false, 0},
        {"20200601000000+0100", false, 0},
        {"2020-6-01000000Z", false, 0},
        {"20200601000000.12345678901234567Z", false, 0},
    };
    for (const Case& c : cases) {
        const Bytes tst = TstInfo({1}, kSha256, 32, c.Time);
        cTimestampInfo info;
        ASSERT_EQ(ParseTimestampInfo(tst.data(), tst.size(), info), c.Accepted) << c.Time;
        if (c.Accepted) {
            EXPECT_EQ(info.UnixSeconds, c.Seconds) << c.Time;
        }
    }
}

TEST(TimestampToken, LengthsMustBeDefiniteShortestAndInside)
{
    const Bytes octets = FromHex("0403010203");
    const uint8_t* content = nullptr;
    size_t size = 0;
    ASSERT_TRUE(ReadOctetString(octets.data(), octets.size(), content, size));
    EXPECT_EQ(content, octets.data() + 2);
    EXPECT_EQ(size, 3u);

    const char* refused[] = {
        "",
        "04",
        "0404010203",        // runs past the end
        "040301020300",      // bytes after it
        "048103010203",      // long form for a short length
        "048003010203",      // indefinite length
        "0485000000000301",  // five length bytes
        "0303010203",        // another tag
    };
    for (const char* hex : refused) {
        const Bytes bytes = FromHex(hex);
        EXPECT_FALSE(ReadOctetString(bytes.data(), bytes.size(), content, size)) << hex;
    }
    Bytes big = Tlv(0x04, Bytes(200, 7));
    ASSERT_TRUE(ReadOctetString(big.data(), big.size(), content, size));
    EXPECT_EQ(size, 200u);
    big[1] = 0x82;  // the same length in two bytes: 0x00 0xC8 is not the shortest form
    big.insert(big.begin() + 2, 0x00);
    EXPECT_FALSE(ReadOctetString(big.data(), big.size(), content, size));
}

}  // namespace
