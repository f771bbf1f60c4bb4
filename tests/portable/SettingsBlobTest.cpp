#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "settings/BlobBuffer.h"
#include "settings/SMPTEDrawSettings.h"
#include "tests/portable/SettingsBytes.h"

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes SerializeToBytes(const SMPTEDrawSettings& s)
{
    CSerializedBlob blob;
    if (!s.Serialize(blob))
        return {};
    return Bytes(blob.pbBlob, blob.pbBlob + blob.cbBlob);
}

bool DeserializeBytes(SMPTEDrawSettings& s, Bytes bytes)
{
    BlobBuffer blob;
    blob.cbBlob = static_cast<uint32_t>(bytes.size());
    blob.pbBlob = bytes.data();
    return s.Deserialize(blob);
}

void Poke16(Bytes& b, size_t offset, uint16_t v)
{
    b[offset] = static_cast<uint8_t>(v);
    b[offset + 1] = static_cast<uint8_t>(v >> 8);
}

// A record that differs from the defaults in every field, with distinct bytes
// everywhere, so that a field written at a wrong offset shows up.
SMPTEDrawSettings DistinctRecord()
{
    SMPTEDrawSettings s;
    s.lfFont.lfHeight = -0x01020304;
    s.lfFont.lfWidth = 0x05060708;
    s.lfFont.lfEscapement = 0x090A0B0C;
    s.lfFont.lfOrientation = -1;
    s.lfFont.lfWeight = 700;
    s.lfFont.lfItalic = 0x11;
    s.lfFont.lfUnderline = 0x12;
    s.lfFont.lfStrikeOut = 0x13;
    s.lfFont.lfCharSet = 0x14;
    s.lfFont.lfOutPrecision = 0x15;
    s.lfFont.lfClipPrecision = 0x16;
    s.lfFont.lfQuality = 0x17;
    s.lfFont.lfPitchAndFamily = 0x18;
    for (size_t i = 0; i < kFaceNameUnits; ++i)
        s.lfFont.lfFaceName[i] = static_cast<Utf16Unit>(0x4100 + i);
    s.lfFont.lfFaceName[3] = 0; // name "\x4100\x4101\x4102", then leftovers
    s.argbColor = 0x80C0D0E0u;
    s.dwPosition = PackPosition(100, 42);
    return s;
}
} // namespace

TEST(SettingsBlob, DefaultRecordGivesTheDocumentedBytes)
{
    SMPTEDrawSettings s;
    EXPECT_EQ(SerializeToBytes(s), DefaultBlobBytes());
}

TEST(SettingsBlob, EveryFieldLandsAtItsOffsetLittleEndian)
{
    const Bytes b = SerializeToBytes(DistinctRecord());
    ASSERT_EQ(b.size(), 104u);
    const Bytes expectedHead = {0x00, 0x00, 0x00, 0x01, 0xFC, 0xFC, 0xFD, 0xFE, 0x08, 0x07, 0x06, 0x05,
                                0x0C, 0x0B, 0x0A, 0x09, 0xFF, 0xFF, 0xFF, 0xFF, 0xBC, 0x02, 0x00, 0x00,
                                0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18};
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 32), expectedHead);
    for (size_t i = 0; i < kFaceNameUnits; ++i)
    {
        const uint16_t unit = i == 3 ? 0 : static_cast<uint16_t>(0x4100 + i);
        EXPECT_EQ(b[32 + 2 * i], static_cast<uint8_t>(unit)) << i;
        EXPECT_EQ(b[33 + 2 * i], static_cast<uint8_t>(unit >> 8)) << i;
    }
    const Bytes expectedTail = {0xE0, 0xD0, 0xC0, 0x80, 100, 0, 42, 0};
    EXPECT_EQ(Bytes(b.begin() + 96, b.end()), expectedTail);
}

TEST(SettingsBlob, SerializeRefusesABufferThatIsNotEmpty)
{
    SMPTEDrawSettings s;
    uint8_t someone[4] = {1, 2, 3, 4};

    BlobBuffer withCount;
    withCount.cbBlob = 7;
    EXPECT_FALSE(s.Serialize(withCount));
    EXPECT_EQ(withCount.cbBlob, 7u);
    EXPECT_EQ(withCount.pbBlob, nullptr);

    BlobBuffer withPointer;
    withPointer.pbBlob = someone;
    EXPECT_FALSE(s.Serialize(withPointer));
    EXPECT_EQ(withPointer.cbBlob, 0u);
    EXPECT_EQ(withPointer.pbBlob, someone);
    EXPECT_EQ(someone[0], 1);

    CSerializedBlob filled;
    ASSERT_TRUE(s.Serialize(filled));
    uint8_t* first = filled.pbBlob;
    EXPECT_FALSE(s.Serialize(filled));
    EXPECT_EQ(filled.pbBlob, first);
    EXPECT_EQ(filled.cbBlob, 104u);
}

TEST(SettingsBlob, ReleaseBlobEmptiesTheBuffer)
{
    SMPTEDrawSettings s;
    BlobBuffer blob;
    ASSERT_TRUE(s.Serialize(blob));
    ReleaseBlob(blob);
    EXPECT_TRUE(blob.IsEmpty());
    ASSERT_TRUE(s.Serialize(blob));
    ReleaseBlob(blob);
}

TEST(SettingsBlob, RoundTripKeepsEveryByteOfTheRecord)
{
    const SMPTEDrawSettings source = DistinctRecord();
    SMPTEDrawSettings target;
    ASSERT_TRUE(DeserializeBytes(target, SerializeToBytes(source)));
    EXPECT_TRUE(SameBytes(target, source));
    EXPECT_TRUE(target.IsEqual(source));
}

namespace
{
Bytes WithPosition(uint16_t h, uint16_t v)
{
    Bytes b = DefaultBlobBytes();
    Poke16(b, 100, h);
    Poke16(b, 102, v);
    return b;
}

Bytes WithVersion(std::initializer_list<uint8_t> head)
{
    Bytes b = DefaultBlobBytes();
    std::copy(head.begin(), head.end(), b.begin());
    return b;
}

Bytes Resized(size_t n)
{
    const Bytes full = DefaultBlobBytes();
    Bytes b(n, 0);
    std::copy_n(full.begin(), std::min(n, full.size()), b.begin());
    return b;
}
} // namespace

TEST(SettingsBlob, RefusalsLeaveTheTargetUntouched)
{
    const struct
    {
        const char* pszName;
        Bytes bytes;
    } kRefused[] = {
        {"empty", {}},
        {"version word only", Resized(4)},
        {"103 bytes", Resized(103)},
        {"105 bytes", Resized(105)},
        {"208 bytes", Resized(208)},
        {"version 1", WithVersion({0x01, 0x00, 0x00, 0x00})},
        {"version 0", WithVersion({0x00, 0x00, 0x00, 0x00})},
        {"version 2", WithVersion({0x00, 0x00, 0x00, 0x02})},
        {"version 1 big-endian", WithVersion({0x00, 0x00, 0x01, 0x00})},
        {"horizontal 101", WithPosition(101, 3)},
        {"vertical 101", WithPosition(3, 101)},
        {"the invalid marker", WithPosition(101, 101)},
        {"horizontal 0xFFFF", WithPosition(0xFFFF, 0)},
        {"vertical 0xFFFF", WithPosition(0, 0xFFFF)},
    };
    const SMPTEDrawSettings before = DistinctRecord();
    for (const auto& c : kRefused)
    {
        SCOPED_TRACE(c.pszName);
        SMPTEDrawSettings target = before;
        EXPECT_FALSE(DeserializeBytes(target, c.bytes));
        EXPECT_TRUE(SameBytes(target, before));
    }

    SCOPED_TRACE("no bytes behind the right count");
    SMPTEDrawSettings target = before;
    BlobBuffer blob;
    blob.cbBlob = 104;
    EXPECT_FALSE(target.Deserialize(blob));
    EXPECT_TRUE(SameBytes(target, before));
}

TEST(SettingsBlob, PositionsAtTheLimitsAreAccepted)
{
    for (uint32_t packed : {PackPosition(0, 0), PackPosition(100, 100), PackPosition(100, 0), PackPosition(0, 100)})
    {
        SMPTEDrawSettings target;
        EXPECT_TRUE(DeserializeBytes(target, WithPosition(HorizontalPercent(packed), VerticalPercent(packed))))
            << std::hex << packed;
        EXPECT_EQ(target.dwPosition, packed);
    }
}

TEST(SettingsBlob, ColourAndFontAreTakenWithoutChecks)
{
    Bytes b = DefaultBlobBytes();
    std::fill(b.begin() + 4, b.begin() + 96, 0xEE); // face name without terminator
    std::fill(b.begin() + 96, b.begin() + 100, 0x00); // fully transparent black
    SMPTEDrawSettings target;
    ASSERT_TRUE(DeserializeBytes(target, b));
    EXPECT_EQ(target.argbColor, 0u);
    EXPECT_EQ(target.lfFont.lfHeight, static_cast<int32_t>(0xEEEEEEEEu));
    EXPECT_EQ(target.lfFont.lfQuality, 0xEE);
    EXPECT_EQ(FaceNameLength(target.lfFont), kFaceNameUnits);
    EXPECT_EQ(SerializeToBytes(target), b);
}

TEST(SettingsBlob, UnitsAfterTheFaceTerminatorTravelBothWays)
{
    Bytes b = DefaultBlobBytes();
    Poke16(b, 32 + 2 * 20, 0x1234);
    SMPTEDrawSettings target;
    ASSERT_TRUE(DeserializeBytes(target, b));
    EXPECT_EQ(static_cast<uint16_t>(target.lfFont.lfFaceName[20]), 0x1234);
    EXPECT_TRUE(target.IsDifferent(SMPTEDrawSettings()));
    EXPECT_EQ(SerializeToBytes(target), b);
}
