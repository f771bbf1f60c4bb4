#include "dialog/PreviewGeometry.h"

#include "dialog/ExactFloat.h"

// Arithmetic runs in 64 bits: rectangles come from windows and points from
// 16-bit message halves, so nothing here can overflow.

namespace
{
// trunc(single(percent / 100) * free): the quotient in double precision,
// rounded to single, the product in double, cut toward zero.
FERROWIND_EXACT_FLOAT int64_t OffsetForPercent(uint32_t percent, int64_t free)
{
    const float quotient = static_cast<float>(static_cast<double>(percent) / 100.0);
    return static_cast<int64_t>(static_cast<double>(quotient) * static_cast<double>(free));
}

// trunc(100 * single(offset / free)), with the same precision steps.
FERROWIND_EXACT_FLOAT int64_t PercentForOffset(int64_t offset, int64_t free)
{
    const float quotient = static_cast<float>(static_cast<double>(offset) / static_cast<double>(free));
    return static_cast<int64_t>(100.0 * static_cast<double>(quotient));
}

IntRect MakeRect(int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    return IntRect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                   static_cast<int32_t>(bottom)};
}
// Moves the span [lo, hi) back inside [min, max) keeping its length: the far
// edge is pulled in first, then the near one, which wins when the span is the
// longer.
void PullInside(int64_t& lo, int64_t& hi, int64_t min, int64_t max)
{
    if (hi > max)
    {
        lo -= hi - max;
        hi = max;
    }
    if (lo < min)
    {
        hi += min - lo;
        lo = min;
    }
}
} // namespace

IntPoint IntRect::Centre() const
{
    return IntPoint{static_cast<int32_t>((static_cast<int64_t>(left) + right) / 2),
                    static_cast<int32_t>((static_cast<int64_t>(top) + bottom) / 2)};
}

IntPoint PointFromMouseMessage(uint32_t lParam)
{
    return IntPoint{static_cast<int32_t>(lParam & 0xFFFFu), static_cast<int32_t>(lParam >> 16)};
}

IntRect PreviewAreaOfFrame(const IntRect& rcFrame)
{
    return MakeRect(static_cast<int64_t>(rcFrame.left) + 5, static_cast<int64_t>(rcFrame.top) + 4,
                    static_cast<int64_t>(rcFrame.right) - 4, static_cast<int64_t>(rcFrame.bottom) - 4);
}

bool IsPreviewUsable(const IntRect& rcPreview, const IntRect& rcLabel)
{
    return rcPreview.Width() > rcLabel.Width() && rcPreview.Height() > rcLabel.Height();
}

std::optional<IntRect> PlaceSampleLabel(const IntRect& rcPreview, const IntRect& rcLabel, uint32_t dwPosition)
{
    if (!IsPreviewUsable(rcPreview, rcLabel))
        return std::nullopt;
    const int64_t freeW = rcPreview.Width() - rcLabel.Width();
    const int64_t freeH = rcPreview.Height() - rcLabel.Height();
    const int64_t x = rcPreview.left + OffsetForPercent(dwPosition & 0xFFFFu, freeW);
    const int64_t y = rcPreview.top + OffsetForPercent(dwPosition >> 16, freeH);
    return MakeRect(x, y, x + rcLabel.Width(), y + rcLabel.Height());
}

std::optional<uint32_t> PositionFromLabel(const IntRect& rcPreview, const IntRect& rcLabel)
{
    if (!IsPreviewUsable(rcPreview, rcLabel))
        return std::nullopt;
    const int64_t freeW = rcPreview.Width() - rcLabel.Width();
    const int64_t freeH = rcPreview.Height() - rcLabel.Height();
    const int64_t h = PercentForOffset(static_cast<int64_t>(rcLabel.left) - rcPreview.left, freeW);
    const int64_t v = PercentForOffset(static_cast<int64_t>(rcLabel.top) - rcPreview.top, freeH);
    // Each half keeps its low 16 bits, as the packed record stores them.
    return (static_cast<uint32_t>(static_cast<uint64_t>(v) & 0xFFFFu) << 16) |
           static_cast<uint32_t>(static_cast<uint64_t>(h) & 0xFFFFu);
}

std::optional<IntPoint> BeginDrag(uint32_t keys, IntPoint pt, const IntRect& rcLabelNow)
{
    if (keys != kMouseKeyLeftButton || !rcLabelNow.Contains(pt))
        return std::nullopt;
    const IntPoint centre = rcLabelNow.Centre();
    return IntPoint{static_cast<int32_t>(static_cast<int64_t>(centre.x) - pt.x),
                    static_cast<int32_t>(static_cast<int64_t>(centre.y) - pt.y)};
}

std::optional<IntRect> DragTo(uint32_t keys, IntPoint pt, IntPoint ptDragOffset, const IntRect& rcPreview,
                              const IntRect& rcLabel)
{
    if (keys != kMouseKeyLeftButton || !rcPreview.Contains(pt))
        return std::nullopt;
    const IntPoint centre = rcLabel.Centre();
    const int64_t dx = static_cast<int64_t>(pt.x) + ptDragOffset.x - centre.x;
    const int64_t dy = static_cast<int64_t>(pt.y) + ptDragOffset.y - centre.y;
    int64_t left = rcLabel.left + dx;
    int64_t right = rcLabel.right + dx;
    int64_t top = rcLabel.top + dy;
    int64_t bottom = rcLabel.bottom + dy;

    // Right before left and bottom before top: a label larger than the
    // preview ends with its left (top) edge on the preview's.
    PullInside(left, right, rcPreview.left, rcPreview.right);
    PullInside(top, bottom, rcPreview.top, rcPreview.bottom);
    return MakeRect(left, top, right, bottom);
}

bool EndDrag(bool bHoldsCapture, bool& bDragging)
{
    bDragging = false;
    return bHoldsCapture;
}

std::optional<uint32_t> PositionShownByLabel(const IntRect& rcPreview, const IntRect& rcLabel,
                                             const std::optional<IntRect>& rcPlaced, uint32_t dwPlaced)
{
    if (!rcPlaced)
        return std::nullopt;
    if (rcLabel == *rcPlaced)
        return dwPlaced;
    return PositionFromLabel(rcPreview, rcLabel);
}

uint32_t StepPosition(uint32_t dwPosition, int32_t dh, int32_t dv)
{
    const auto step = [](uint32_t percent, int32_t delta) {
        const int64_t moved = static_cast<int64_t>(percent) + delta;
        return static_cast<uint32_t>(moved < 0 ? 0 : moved > 100 ? 100 : moved);
    };
    return (step(dwPosition >> 16, dv) << 16) | step(dwPosition & 0xFFFFu, dh);
}
