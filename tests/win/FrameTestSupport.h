#pragma once
// Frames as a host hands them over (a BITMAPINFO blob and a pixel blob), a
// reference drawing made with GDI+ directly, and the GDI+ start-up that a
// host performs before it hands over the first frame.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "settings/SMPTEDrawSettings.h"

// 01:02:03.24 at 25 frames per second.
constexpr ULONGLONG kStart = 37239600000ull;
constexpr ULONGLONG kEnd = 37240000000ull;
constexpr wchar_t kStartText[] = L"01:02:03.24";

struct PixelBox
{
    int left = 0;
    int top = 0;
    int right = -1; // inclusive
    int bottom = -1;
    bool Empty() const { return right < left || bottom < top; }
};

class TestFrame
{
public:
    // height as a header gives it: negative for a top-down frame.
    TestFrame(int32_t width, int32_t height, uint16_t bitCount = 32, uint32_t compression = BI_RGB);

    void SetMasks(uint32_t red, uint32_t green, uint32_t blue);
    // A background with room for brighter and darker text in every channel.
    void FillPattern();

    BSTRBLOB* Info();
    BSTRBLOB* Bytes();

    int32_t Width() const { return m_width; }
    int32_t Rows() const { return m_rows; }
    uint32_t Stride() const { return m_stride; }
    bool BottomUp() const { return m_height > 0; }
    uint16_t BitCount() const { return m_bitCount; }

    // Offset of pixel (x, y), y counted from the top of the picture.
    size_t Offset(int x, int y) const;
    // The pixel at (x, y) as 0x00RRGGBB with 8 bits a channel (16-bit
    // channels widened by shifting).
    uint32_t Rgb(int x, int y) const;
    // The raw pixel value at (x, y), as many bytes as a pixel has.
    uint32_t Raw(int x, int y) const;

    // The smallest box of pixels that differ from before.
    PixelBox ChangedBox(const std::vector<BYTE>& before) const;
    size_t ChangedPixels(const std::vector<BYTE>& before) const;

    std::vector<BYTE> header;
    std::vector<BYTE> pixels;

private:
    int32_t m_width;
    int32_t m_height;
    int32_t m_rows;
    uint16_t m_bitCount;
    uint32_t m_stride;
    BSTRBLOB m_info = {};
    BSTRBLOB m_bytes = {};
};

struct TextStyle
{
    std::wstring face = L"Arial";
    float emSize = 64.0f;
    int style = 0;
    Gdiplus::ARGB color = 0xFFFFFFFF;
    bool antiAlias = false;
};

// Draws text with its layout box at (x, y) into the frame with GDI+ itself,
// as the engine is expected to.
void DrawReference(TestFrame& frame, const std::wstring& text, const TextStyle& style, float x, float y);

// The box of the layout sample laid out from a point in a cx x cy area.
Gdiplus::RectF MeasureReference(const TextStyle& style, int cx, int cy);

// The origin of the sample's box at the given percentages, or (5, 5).
Gdiplus::PointF ExpectedOrigin(const TextStyle& style, int cx, int cy, uint16_t px, uint16_t py);

// Settings with the given face, height, weight and colour.
SMPTEDrawSettings MakeSettings(const wchar_t* face, int32_t lfHeight, int32_t lfWeight, uint32_t argbColor,
                               uint32_t dwPosition);

std::wstring Text(const wchar_t* p);

// Every test starts and ends with the default current settings.
class FrameTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    static void UseSettings(const SMPTEDrawSettings& settings);
};
