#include "FrameTestSupport.h"

#include <cstring>

#include "engine/GdiplusObject.h"
#include "settings/CurrentSettings.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace
{
// The host starts GDI+ before the first frame and shuts it down after the
// last object is gone; the test program does the same.
class GdiplusEnvironment : public testing::Environment
{
public:
    void SetUp() override
    {
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&m_token, &input, nullptr), Ok);
    }
    void TearDown() override { GdiplusShutdown(m_token); }

private:
    ULONG_PTR m_token = 0;
};

testing::Environment* const g_gdiplus = testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

void PutU32(std::vector<BYTE>& bytes, size_t at, uint32_t value)
{
    std::memcpy(bytes.data() + at, &value, 4);
}

PixelFormat FormatOf(const TestFrame& frame)
{
    switch (frame.BitCount())
    {
    case 24:
        return PixelFormat24bppRGB;
    case 16: {
        uint32_t red = 0;
        if (frame.header.size() >= 52)
            std::memcpy(&red, frame.header.data() + 40, 4);
        return red == 0xF800 ? PixelFormat16bppRGB565 : PixelFormat16bppRGB555;
    }
    default:
        return PixelFormat32bppRGB;
    }
}
} // namespace

TestFrame::TestFrame(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression)
    : m_width(width), m_height(height), m_rows(height < 0 ? -height : height), m_bitCount(bitCount)
{
    m_stride = ((static_cast<uint32_t>(width) * bitCount + 31) / 32) * 4;
    header.assign(44, 0);
    PutU32(header, 0, 40);
    PutU32(header, 4, static_cast<uint32_t>(width));
    PutU32(header, 8, static_cast<uint32_t>(height));
    header[12] = 1;
    header[14] = static_cast<BYTE>(bitCount);
    PutU32(header, 16, compression);
    PutU32(header, 20, m_stride * m_rows);
    pixels.assign(static_cast<size_t>(m_stride) * m_rows, 0);
}

void TestFrame::SetMasks(uint32_t red, uint32_t green, uint32_t blue)
{
    header.resize(52, 0);
    PutU32(header, 40, red);
    PutU32(header, 44, green);
    PutU32(header, 48, blue);
}

void TestFrame::FillPattern()
{
    for (int y = 0; y < m_rows; ++y)
    {
        for (int x = 0; x < m_width; ++x)
        {
            const uint32_t r = 0x30 + (x * 7 + y) % 64;
            const uint32_t g = 0x40 + (y * 3) % 64;
            const uint32_t b = 0x50 + (x + 2 * y) % 64;
            BYTE* p = pixels.data() + Offset(x, y);
            switch (m_bitCount)
            {
            case 32:
                p[3] = 0;
                [[fallthrough]];
            case 24:
                p[0] = static_cast<BYTE>(b);
                p[1] = static_cast<BYTE>(g);
                p[2] = static_cast<BYTE>(r);
                break;
            case 16: {
                const bool is565 = FormatOf(*this) == PixelFormat16bppRGB565;
                const uint32_t v = is565 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                         : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
                p[0] = static_cast<BYTE>(v);
                p[1] = static_cast<BYTE>(v >> 8);
                break;
            }
            default:
                p[0] = static_cast<BYTE>(r ^ x);
                break;
            }
        }
    }
}

BSTRBLOB* TestFrame::Info()
{
    m_info.cbSize = static_cast<ULONG>(header.size());
    m_info.pData = header.data();
    return &m_info;
}

BSTRBLOB* TestFrame::Bytes()
{
    m_bytes.cbSize = static_cast<ULONG>(pixels.size());
    m_bytes.pData = pixels.data();
    return &m_bytes;
}

size_t TestFrame::Offset(int x, int y) const
{
    const int row = BottomUp() ? m_rows - 1 - y : y;
    return static_cast<size_t>(row) * m_stride + static_cast<size_t>(x) * (m_bitCount / 8);
}

uint32_t TestFrame::Raw(int x, int y) const
{
    uint32_t value = 0;
    std::memcpy(&value, pixels.data() + Offset(x, y), m_bitCount / 8);
    return value;
}

uint32_t TestFrame::Rgb(int x, int y) const
{
    const uint32_t v = Raw(x, y);
    if (m_bitCount == 16)
    {
        if (FormatOf(*this) == PixelFormat16bppRGB565)
            return (((v >> 11) & 0x1F) << 19) | (((v >> 5) & 0x3F) << 10) | ((v & 0x1F) << 3);
        return (((v >> 10) & 0x1F) << 19) | (((v >> 5) & 0x1F) << 11) | ((v & 0x1F) << 3);
    }
    return v & 0x00FFFFFFu;
}

PixelBox TestFrame::ChangedBox(const std::vector<BYTE>& before) const
{
    PixelBox box;
    box.left = m_width;
    box.top = m_rows;
    const size_t cbPixel = m_bitCount / 8;
    for (int y = 0; y < m_rows; ++y)
    {
        for (int x = 0; x < m_width; ++x)
        {
            const size_t at = Offset(x, y);
            if (std::memcmp(pixels.data() + at, before.data() + at, cbPixel) == 0)
                continue;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    }
    return box;
}

size_t TestFrame::ChangedPixels(const std::vector<BYTE>& before) const
{
    size_t n = 0;
    const size_t cbPixel = m_bitCount / 8;
    for (int y = 0; y < m_rows; ++y)
        for (int x = 0; x < m_width; ++x)
            n += std::memcmp(pixels.data() + Offset(x, y), before.data() + Offset(x, y), cbPixel) != 0;
    return n;
}

void DrawReference(TestFrame& frame, const std::wstring& text, const TextStyle& style, float x, float y)
{
    const int stride = static_cast<int>(frame.Stride());
    BYTE* top = frame.pixels.data() + (frame.BottomUp() ? static_cast<size_t>(stride) * (frame.Rows() - 1) : 0);
    CGdipBitmap bitmap;
    ASSERT_EQ(GdipCreateBitmapFromScan0(frame.Width(), frame.Rows(), frame.BottomUp() ? -stride : stride,
                                        FormatOf(frame), top, bitmap.put()),
              Ok);
    CGdipGraphics graphics;
    ASSERT_EQ(GdipGetImageGraphicsContext(bitmap.get(), graphics.put()), Ok);
    if (style.antiAlias)
    {
        ASSERT_EQ(GdipSetTextRenderingHint(graphics.get(), TextRenderingHintAntiAlias), Ok);
    }
    CGdipFontFamily family;
    ASSERT_EQ(GdipCreateFontFamilyFromName(style.face.c_str(), nullptr, family.put()), Ok);
    CGdipFont font;
    ASSERT_EQ(GdipCreateFont(family.get(), style.emSize, style.style, UnitPixel, font.put()), Ok);
    CGdipSolidFill brush;
    ASSERT_EQ(GdipCreateSolidFill(style.color, brush.put()), Ok);
    const RectF at(x, y, 0.0f, 0.0f);
    ASSERT_EQ(GdipDrawString(graphics.get(), text.c_str(), static_cast<INT>(text.size()), font.get(), &at, nullptr,
                             brush.get()),
              Ok);
}

RectF MeasureReference(const TextStyle& style, int cx, int cy)
{
    RectF box(0.0f, 0.0f, 0.0f, 0.0f);
    CGdipBitmap scratch;
    EXPECT_EQ(GdipCreateBitmapFromScan0(cx, cy, 0, PixelFormat32bppARGB, nullptr, scratch.put()), Ok);
    CGdipGraphics graphics;
    EXPECT_EQ(GdipGetImageGraphicsContext(scratch.get(), graphics.put()), Ok);
    GdipSetTextRenderingHint(graphics.get(), TextRenderingHintAntiAlias);
    CGdipFontFamily family;
    EXPECT_EQ(GdipCreateFontFamilyFromName(style.face.c_str(), nullptr, family.put()), Ok);
    CGdipFont font;
    EXPECT_EQ(GdipCreateFont(family.get(), style.emSize, style.style, UnitPixel, font.put()), Ok);
    CGdipStringFormat format;
    EXPECT_EQ(GdipCreateStringFormat(0, LANG_NEUTRAL, format.put()), Ok);
    const RectF layout(0.0f, 0.0f, static_cast<REAL>(cx), static_cast<REAL>(cy));
    EXPECT_EQ(GdipMeasureString(graphics.get(), L"02:34:56.89", 11, font.get(), &layout, format.get(), &box, nullptr,
                                nullptr),
              Ok);
    return box;
}

PointF ExpectedOrigin(const TextStyle& style, int cx, int cy, uint16_t px, uint16_t py)
{
    const RectF box = MeasureReference(style, cx, cy);
    const int freeX = cx - static_cast<int>(box.Width);
    const int freeY = cy - static_cast<int>(box.Height);
    if (px > 100 || py > 100 || freeX < 0 || freeY < 0 || box.Width <= 0 || box.Height <= 0)
        return PointF(5.0f, 5.0f);
    return PointF(static_cast<float>(freeX * px / 100.0), static_cast<float>(freeY * py / 100.0));
}

SMPTEDrawSettings MakeSettings(const wchar_t* face, int32_t lfHeight, int32_t lfWeight, uint32_t argbColor,
                               uint32_t dwPosition)
{
    SMPTEDrawSettings s;
    std::memset(s.lfFont.lfFaceName, 0, sizeof(s.lfFont.lfFaceName));
    for (size_t i = 0; face[i] != 0 && i < 31; ++i)
        s.lfFont.lfFaceName[i] = face[i];
    s.lfFont.lfHeight = lfHeight;
    s.lfFont.lfWeight = lfWeight;
    s.argbColor = argbColor;
    s.dwPosition = dwPosition;
    return s;
}

std::wstring Text(const wchar_t* p)
{
    return std::wstring(p);
}

void FrameTest::SetUp()
{
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
}

void FrameTest::TearDown()
{
    ReplaceSettings(g_currentSettings, SMPTEDrawSettings());
}

void FrameTest::UseSettings(const SMPTEDrawSettings& settings)
{
    ReplaceSettings(g_currentSettings, settings);
}
