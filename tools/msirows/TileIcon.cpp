// ferrowind-tileicon OUT.ico: the package's icon, drawn here rather than kept
// as a binary: a time code ("0:01"), white as the plug-in draws it by
// default, on a dark rounded tile, at 16, 32 and 48 pixels, each a 32-bit
// image with its alpha channel.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace
{
// Glyphs of 3 by 5 cells (the colon one cell wide), top row first, a set bit
// for a lit cell, most significant of the three bits on the left.
struct Glyph
{
    char ch;
    int nWidth;
    uint8_t rows[5];
};

constexpr Glyph kGlyphs[] = {
    {'0', 3, {7, 5, 5, 5, 7}},
    {'1', 3, {2, 6, 2, 2, 7}},
    {':', 1, {0, 1, 0, 1, 0}},
};
constexpr char kText[] = "0:01";
constexpr int kGlyphHeight = 5;
constexpr uint32_t kTile = 0xFF203048;
constexpr uint32_t kEdge = 0xFF5A7090;
constexpr uint32_t kInk = 0xFFFFFFFF;

const Glyph& GlyphOf(char ch)
{
    for (const Glyph& glyph : kGlyphs)
    {
        if (glyph.ch == ch)
            return glyph;
    }
    return kGlyphs[0];
}

int TextWidth()
{
    int nWidth = -1;
    for (const char* p = kText; *p != '\0'; ++p)
        nWidth += GlyphOf(*p).nWidth + 1;
    return nWidth;
}

// Rows top first, ARGB.
std::vector<uint32_t> Draw(int nSize)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(nSize) * nSize, 0);
    const int nRadius = nSize / 6;
    for (int y = 0; y < nSize; ++y)
    {
        for (int x = 0; x < nSize; ++x)
        {
            // Distance into the corner square, if the pixel lies in one.
            const int dx = x < nRadius ? nRadius - x : x >= nSize - nRadius ? x - (nSize - 1 - nRadius) : 0;
            const int dy = y < nRadius ? nRadius - y : y >= nSize - nRadius ? y - (nSize - 1 - nRadius) : 0;
            const int nDistance2 = dx * dx + dy * dy;
            if (nDistance2 > nRadius * nRadius)
                continue;
            const bool bEdge = x == 0 || y == 0 || x == nSize - 1 || y == nSize - 1 ||
                               (nRadius > 0 && nDistance2 > (nRadius - 1) * (nRadius - 1));
            pixels[static_cast<size_t>(y) * nSize + x] = bEdge ? kEdge : kTile;
        }
    }
    const int nScale = std::max(1, (nSize - 2) / TextWidth());
    int x = (nSize - TextWidth() * nScale) / 2;
    const int y0 = (nSize - kGlyphHeight * nScale) / 2;
    for (const char* p = kText; *p != '\0'; ++p)
    {
        const Glyph& glyph = GlyphOf(*p);
        for (int row = 0; row < kGlyphHeight * nScale; ++row)
        {
            for (int col = 0; col < glyph.nWidth * nScale; ++col)
            {
                if ((glyph.rows[row / nScale] >> (glyph.nWidth - 1 - col / nScale) & 1) != 0)
                    pixels[static_cast<size_t>(y0 + row) * nSize + x + col] = kInk;
            }
        }
        x += (glyph.nWidth + 1) * nScale;
    }
    return pixels;
}

void Put16(std::string& out, uint32_t n)
{
    out.push_back(static_cast<char>(n & 0xFF));
    out.push_back(static_cast<char>(n >> 8 & 0xFF));
}

void Put32(std::string& out, uint32_t n)
{
    Put16(out, n & 0xFFFF);
    Put16(out, n >> 16);
}

// One icon image: a BITMAPINFOHEADER of twice the height (colour, then the
// AND mask), the colour rows bottom first, and the mask, all zero: the alpha
// channel decides.
std::string Image(int nSize)
{
    const uint32_t cbMaskRow = (static_cast<uint32_t>(nSize) + 31) / 32 * 4;
    std::string out;
    Put32(out, 40);
    Put32(out, nSize);
    Put32(out, 2 * nSize);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);
    Put32(out, nSize * nSize * 4 + cbMaskRow * nSize);
    for (int i = 0; i < 4; ++i)
        Put32(out, 0);
    const std::vector<uint32_t> pixels = Draw(nSize);
    for (int y = nSize - 1; y >= 0; --y)
    {
        for (int x = 0; x < nSize; ++x)
            Put32(out, pixels[static_cast<size_t>(y) * nSize + x]);
    }
    out.append(cbMaskRow * nSize, '\0');
    return out;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: ferrowind-tileicon OUT.ico\n");
        return 2;
    }
    constexpr int kSizes[] = {16, 32, 48};
    std::vector<std::string> images;
    for (int nSize : kSizes)
        images.push_back(Image(nSize));

    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i)
    {
        out.push_back(static_cast<char>(kSizes[i]));
        out.push_back(static_cast<char>(kSizes[i]));
        out.push_back(0);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, static_cast<uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const std::string& image : images)
        out += image;
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    if (!(file << out) || !file.flush())
    {
        std::fprintf(stderr, "ferrowind-tileicon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
