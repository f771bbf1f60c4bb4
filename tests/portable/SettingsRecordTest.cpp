#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "settings/CurrentSettings.h"
#include "settings/SMPTEDrawSettings.h"

// Every byte of the record: height 64, width 10, the other LOGFONTW numbers
// zero, face "Arial" padded with zeros, white at full opacity, 3 % / 3 %.
TEST(SettingsRecord, DefaultsAreWhiteArial64AtThreePercentByteForByte)
{
    unsigned char expected[100] = {0x40, 0, 0, 0, 0x0A};
    const unsigned char face[] = {'A', 0, 'r', 0, 'i', 0, 'a', 0, 'l'};
    std::memcpy(expected + 28, face, sizeof(face));
    const unsigned char tail[] = {0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 3, 0};
    std::memcpy(expected + 92, tail, sizeof(tail));

    ASSERT_EQ(sizeof(SMPTEDrawSettings), sizeof(expected));
    SMPTEDrawSettings s;
    unsigned char bytes[sizeof(expected)];
    std::memcpy(bytes, &s, sizeof(bytes));
    for (size_t i = 0; i < sizeof(bytes); ++i)
        EXPECT_EQ(bytes[i], expected[i]) << "byte " << i;
}

TEST(SettingsRecord, SetDefaultsRestoresEveryByte)
{
    SMPTEDrawSettings s;
    std::memset(static_cast<void*>(&s), 0xA5, sizeof(s));
    s.SetDefaults();
    EXPECT_TRUE(s.IsEqual(SMPTEDrawSettings()));
}

TEST(SettingsRecord, InvalidateChangesOnlyThePosition)
{
    SMPTEDrawSettings s;
    s.Invalidate();
    EXPECT_EQ(s.dwPosition, 0x00650065u);
    SMPTEDrawSettings d;
    EXPECT_FALSE(s.IsEqual(d));
    EXPECT_TRUE(s.IsDifferent(d));
    s.dwPosition = d.dwPosition;
    EXPECT_TRUE(s.IsEqual(d));
}

struct PositionCase
{
    uint32_t value;
    bool accepted;
};

class SettingsSetPosition : public testing::TestWithParam<PositionCase>
{
};

TEST_P(SettingsSetPosition, AcceptsUpToOneHundredInEachHalf)
{
    SMPTEDrawSettings s;
    const uint32_t before = s.dwPosition;
    EXPECT_EQ(s.SetPosition(GetParam().value), GetParam().accepted);
    EXPECT_EQ(s.dwPosition, GetParam().accepted ? GetParam().value : before);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, SettingsSetPosition,
                         testing::Values(PositionCase{0x00000000u, true}, PositionCase{0x00640064u, true},
                                         PositionCase{0x00000064u, true}, PositionCase{0x00640000u, true},
                                         PositionCase{0x00000065u, false}, PositionCase{0x00650000u, false},
                                         PositionCase{0x00650065u, false}, PositionCase{0xFFFF0000u, false},
                                         PositionCase{0x0000FFFFu, false}, PositionCase{0x80000032u, false}));

TEST(SettingsRecord, SetOpacityBoundaries)
{
    SMPTEDrawSettings s;
    EXPECT_TRUE(s.SetOpacity(128));
    EXPECT_EQ(s.argbColor, 0x80FFFFFFu);
    EXPECT_EQ(s.GetOpacity(), 128);
    EXPECT_TRUE(s.SetOpacity(255));
    EXPECT_EQ(s.argbColor, 0xFFFFFFFFu);
    EXPECT_TRUE(s.SetOpacity(0));
    EXPECT_EQ(s.argbColor, 0x00FFFFFFu);
    EXPECT_FALSE(s.SetOpacity(256));
    EXPECT_FALSE(s.SetOpacity(0xFFFFFFFFu));
    EXPECT_EQ(s.argbColor, 0x00FFFFFFu);
}

TEST(SettingsRecord, ColorRefSwapsRedAndBlueAndKeepsAlpha)
{
    SMPTEDrawSettings s;
    EXPECT_TRUE(s.SetColorRef(0x000000FFu));
    EXPECT_EQ(s.argbColor, 0xFFFF0000u);
    EXPECT_EQ(s.GetColorRef(), 0x000000FFu);

    EXPECT_TRUE(s.SetOpacity(0x12));
    EXPECT_TRUE(s.SetColorRef(0x00332211u));
    EXPECT_EQ(s.argbColor, 0x12112233u);
    EXPECT_EQ(s.GetColorRef(), 0x00332211u);

    EXPECT_TRUE(s.SetColorRef(0x00FFFFFFu));
    EXPECT_EQ(s.argbColor, 0x12FFFFFFu);
    EXPECT_FALSE(s.SetColorRef(0x01000000u));
    EXPECT_FALSE(s.SetColorRef(0xFF000000u));
    EXPECT_EQ(s.argbColor, 0x12FFFFFFu);
}

TEST(SettingsRecord, SetFontCopiesTheWholeFaceBuffer)
{
    SMPTEDrawSettings s;
    LOGFONTW lf;
    std::memset(&lf, 0x5A, sizeof(lf));
    lf.lfFaceName[3] = 0;
    EXPECT_TRUE(s.SetFont(lf));
    EXPECT_EQ(std::memcmp(&s.lfFont, &lf, sizeof(lf)), 0);
    EXPECT_EQ(s.argbColor, 0xFFFFFFFFu);
    EXPECT_EQ(s.dwPosition, 0x00030003u);
}

TEST(SettingsRecord, EqualityIsByteForByte)
{
    SMPTEDrawSettings a;
    EXPECT_TRUE(a.IsEqual(a));
    SMPTEDrawSettings b;
    EXPECT_TRUE(a.IsEqual(b));

    b.lfFont.lfFaceName[20] = u'x';
    EXPECT_TRUE(a.IsDifferent(b)) << "bytes after the terminator count";

    b = a;
    b.lfFont.lfWidth = 11;
    EXPECT_TRUE(a.IsDifferent(b)) << "fields the font ignores count";

    b = a;
    b.argbColor ^= 1;
    EXPECT_TRUE(a.IsDifferent(b));

    b = a;
    b.lfFont.lfPitchAndFamily = 1;
    EXPECT_TRUE(a.IsDifferent(b));
}

TEST(SettingsRecord, FaceNameLengthStopsAtTheField)
{
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof(lf));
    EXPECT_EQ(FaceNameLength(lf), 0u);
    for (auto& unit : lf.lfFaceName)
        unit = u'W';
    EXPECT_EQ(FaceNameLength(lf), kFaceNameUnits);
}

TEST(CurrentSettings, StartAsDefaultsAndAreReplacedWhole)
{
    SMPTEDrawSettings snapshot;
    snapshot.Invalidate();
    SnapshotSettings(g_currentSettings, snapshot);
    EXPECT_TRUE(snapshot.IsEqual(SMPTEDrawSettings()));

    SMPTEDrawSettings changed;
    changed.SetPosition(0x00320064u);
    changed.SetOpacity(7);
    ReplaceSettings(g_currentSettings, changed);
    EXPECT_TRUE(g_currentSettings.IsEqual(changed));

    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
    EXPECT_TRUE(g_currentSettings.IsEqual(SMPTEDrawSettings()));
}

// Writers replace the shared record with one of two full records while
// readers take snapshots: every snapshot must be one of the two, never a mix.
TEST(CurrentSettings, SnapshotsAreNeverTorn)
{
    SMPTEDrawSettings first;
    SMPTEDrawSettings second;
    std::memset(static_cast<void*>(&second), 0x5C, sizeof(second));
    SMPTEDrawSettings shared = first;

    std::atomic<bool> bStop{false};
    std::atomic<int> nTorn{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < 2; ++w)
        threads.emplace_back([&, w] {
            for (int i = 0; !bStop.load(); ++i)
                ReplaceSettings(shared, (i + w) % 2 ? second : first);
        });
    for (int r = 0; r < 2; ++r)
        threads.emplace_back([&] {
            SMPTEDrawSettings copy;
            for (int i = 0; i < 20000; ++i)
            {
                SnapshotSettings(shared, copy);
                if (!copy.IsEqual(first) && !copy.IsEqual(second))
                    ++nTorn;
            }
        });
    threads[2].join();
    threads[3].join();
    bStop = true;
    threads[0].join();
    threads[1].join();
    EXPECT_EQ(nTorn.load(), 0);
}
