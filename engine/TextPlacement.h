#pragma once
// Where the time code goes: the position is a pair of percentages of the
// frame's free space, the frame less the measured box of the sample text.

#include <cstdint>

struct TextPoint
{
    float x;
    float y;
};

// Used whenever no position can be computed.
constexpr TextPoint kDefaultTextOrigin = {5.0f, 5.0f};

// The fixed sample whose box is measured, so that the text does not move as
// its digits change.
constexpr char kLayoutSample[] = "02:34:56.89";
constexpr int32_t kLayoutSampleLength = 11;

// Sets origin and answers true when the box (cxBox x cyBox, as measured) has a
// position in a frame of cx x cy pixels at dwPosition (horizontal percentage
// in the low half, vertical in the high half). Answers false and leaves origin
// alone when the box is empty or not a number, a percentage exceeds 100, or
// the box does not fit the frame.
bool PlaceText(int64_t cx, int64_t cy, float cxBox, float cyBox, uint32_t dwPosition, TextPoint& origin);
