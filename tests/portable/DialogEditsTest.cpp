#include <gtest/gtest.h>

#include <cstring>

#include "dialog/DialogEdits.h"
#include "tests/portable/SettingsBytes.h"

namespace
{
// Free space 258 x 100 with a 40 x 15 label.
constexpr IntRect kPreview = {10, 20, 308, 135};

IntRect LabelAt(int32_t xoff, int32_t yoff)
{
    return IntRect{kPreview.left + xoff, kPreview.top + yoff, kPreview.left + xoff + 40, kPreview.top + yoff + 15};
}

// The controls exactly as the dialog initialised them from settings.
DialogEdits Untouched(const SMPTEDrawSettings& settings)
{
    DialogEdits edits{};
    std::memcpy(&edits.lfWork, &settings.lfFont, sizeof(edits.lfWork));
    edits.crWork = settings.GetColorRef();
    edits.bHasTrackbar = true;
    edits.nTrackPosition = TrackPositionFromOpacity(settings.GetOpacity());
    edits.nTrackPositionInitial = edits.nTrackPosition;
    edits.rcPreview = kPreview;
    edits.rcPlaced = PlaceSampleLabel(kPreview, LabelAt(0, 0), settings.dwPosition);
    edits.dwPlaced = settings.dwPosition;
    edits.rcLabel = edits.rcPlaced.value_or(LabelAt(0, 0));
    return edits;
}
} // namespace

TEST(OpacityScale, PositionsToOpacities)
{
    EXPECT_EQ(OpacityFromTrackPosition(0), 0);
    EXPECT_EQ(OpacityFromTrackPosition(1), 3);
    EXPECT_EQ(OpacityFromTrackPosition(10), 26);
    EXPECT_EQ(OpacityFromTrackPosition(50), 127) << "50 * 2.55 lies just below 127.5";
    EXPECT_EQ(OpacityFromTrackPosition(100), 255);
}

TEST(OpacityScale, OpacitiesToPositions)
{
    EXPECT_EQ(TrackPositionFromOpacity(255), 100);
    EXPECT_EQ(TrackPositionFromOpacity(128), 50);
    EXPECT_EQ(TrackPositionFromOpacity(127), 50);
    EXPECT_EQ(TrackPositionFromOpacity(0), 0);
}

TEST(OpacityScale, EveryPositionComesBackAndOnly101OpacitiesDo)
{
    for (int32_t p = 0; p <= kTrackPositionMax; ++p)
    {
        const int64_t a = OpacityFromTrackPosition(p);
        ASSERT_GE(a, 0);
        ASSERT_LE(a, 255);
        EXPECT_EQ(TrackPositionFromOpacity(static_cast<uint8_t>(a)), p);
    }
    int fixed = 0;
    for (int a = 0; a <= 255; ++a)
        fixed += OpacityFromTrackPosition(TrackPositionFromOpacity(static_cast<uint8_t>(a))) == a;
    EXPECT_EQ(fixed, 101);
}

namespace
{
using Settings = void (*)(SMPTEDrawSettings&);
using Edit = void (*)(DialogEdits&);

// As loaded, or left as loaded.
void Defaults(SMPTEDrawSettings&) {}
void Unchanged(SMPTEDrawSettings&) {}
void NoEdit(DialogEdits&) {}

// The settings loaded into the dialog, what the user did, whether ApplyEdits
// reports a change, and what the loaded record must then have become.
struct EditCase
{
    const char* pszName;
    Settings loaded;
    Edit edit;
    bool bChanged;
    Settings expected;
};

const EditCase kEditCases[] = {
    {"untouched defaults", Defaults, NoEdit, false, Unchanged},
    {"untouched half opacity", [](SMPTEDrawSettings& s) { s.SetOpacity(128); }, NoEdit, false, Unchanged},
    {"untouched corner", [](SMPTEDrawSettings& s) { s.SetPosition(0x00640064u); }, NoEdit, false, Unchanged},

    {"trackbar moved", Defaults, [](DialogEdits& e) { e.nTrackPosition = 50; }, true,
     [](SMPTEDrawSettings& s) { s.argbColor = 0x7FFFFFFFu; }},
    {"trackbar moved to a position of the same opacity", [](SMPTEDrawSettings& s) { s.SetOpacity(127); },
     [](DialogEdits& e) {
         e.nTrackPositionInitial = 49;
         e.nTrackPosition = 50;
     },
     false, Unchanged},
    {"no trackbar", Defaults,
     [](DialogEdits& e) {
         e.bHasTrackbar = false;
         e.nTrackPosition = 0;
     },
     false, Unchanged},
    {"opacity above the range refused but counted", Defaults, [](DialogEdits& e) { e.nTrackPosition = 101; }, true,
     Unchanged},
    {"opacity below the range refused but counted", Defaults, [](DialogEdits& e) { e.nTrackPosition = -1; }, true,
     Unchanged},

    {"font differing behind the face terminator", Defaults, [](DialogEdits& e) { e.lfWork.lfFaceName[30] = u'x'; },
     true, [](SMPTEDrawSettings& s) { s.lfFont.lfFaceName[30] = u'x'; }},
    {"font height", Defaults, [](DialogEdits& e) { e.lfWork.lfHeight = -16; }, true,
     [](SMPTEDrawSettings& s) { s.lfFont.lfHeight = -16; }},

    {"colour keeps the opacity", [](SMPTEDrawSettings& s) { s.SetOpacity(0x40); },
     [](DialogEdits& e) { e.crWork = 0x000000FFu; }, true, [](SMPTEDrawSettings& s) { s.argbColor = 0x40FF0000u; }},
    {"colour refused but counted", [](SMPTEDrawSettings& s) { s.SetOpacity(0x40); },
     [](DialogEdits& e) { e.crWork = 0x01000000u; }, true, Unchanged},

    {"label moved to the far corner", Defaults, [](DialogEdits& e) { e.rcLabel = LabelAt(258, 100); }, true,
     [](SMPTEDrawSettings& s) { s.dwPosition = 0x00640064u; }},
    {"label moved to the near corner", Defaults, [](DialogEdits& e) { e.rcLabel = LabelAt(0, 0); }, true,
     [](SMPTEDrawSettings& s) { s.dwPosition = 0; }},
    // Placed at 129 for 50 %; 130 reads back as 50.38 %, cut to 50.
    {"label moved to the same percentage", [](SMPTEDrawSettings& s) { s.SetPosition(0x00320032u); },
     [](DialogEdits& e) { e.rcLabel = LabelAt(130, 50); }, false, Unchanged},
    {"label placed by the keys", Defaults,
     [](DialogEdits& e) {
         e.dwPlaced = 0x00060008u;
         e.rcPlaced = e.rcLabel = *PlaceSampleLabel(kPreview, LabelAt(0, 0), e.dwPlaced);
     },
     true, [](SMPTEDrawSettings& s) { s.dwPosition = 0x00060008u; }},
    {"label never placed", Defaults,
     [](DialogEdits& e) {
         e.rcPlaced.reset();
         e.rcLabel = LabelAt(258, 100);
     },
     false, Unchanged},
    {"label beyond the free space (116 %) refused but counted", Defaults,
     [](DialogEdits& e) { e.rcLabel = LabelAt(300, 3); }, true, Unchanged},

    {"every edit at once", Defaults,
     [](DialogEdits& e) {
         e.nTrackPosition = 10;
         e.lfWork.lfWeight = 700;
         e.crWork = 0x00112233u;
         e.rcLabel = LabelAt(129, 100);
     },
     true,
     [](SMPTEDrawSettings& s) {
         s.argbColor = 0x1A332211u;
         s.lfFont.lfWeight = 700;
         s.dwPosition = 0x00640032u;
     }},
};
} // namespace

TEST(DialogEdits, StoreWhatTheControlsChangedAndReportIt)
{
    for (const EditCase& c : kEditCases)
    {
        SCOPED_TRACE(c.pszName);
        SMPTEDrawSettings loaded;
        c.loaded(loaded);
        DialogEdits edits = Untouched(loaded);
        c.edit(edits);
        SMPTEDrawSettings expected = loaded;
        c.expected(expected);

        SMPTEDrawSettings s = loaded;
        EXPECT_EQ(ApplyEdits(s, edits), c.bChanged);
        EXPECT_TRUE(SameBytes(s, expected));
    }
}
