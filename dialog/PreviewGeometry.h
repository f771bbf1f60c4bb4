#pragma once
// Geometry of the setup dialog's position preview: where the sample time label
// goes for a position, which position its place stands for, and how it follows
// the pointer while it is dragged. Integer pixels in the dialog's client
// coordinates; the dialog feeds these functions from its window messages and
// moves the label window to the rectangles they produce.

#include <cstdint>
#include <optional>

struct IntPoint
{
    int32_t x;
    int32_t y;

    friend bool operator==(const IntPoint&, const IntPoint&) = default;
};

struct IntRect
{
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;

    int64_t Width() const { return static_cast<int64_t>(right) - left; }
    int64_t Height() const { return static_cast<int64_t>(bottom) - top; }
    // left <= x < right and top <= y < bottom.
    bool Contains(IntPoint pt) const { return pt.x >= left && pt.x < right && pt.y >= top && pt.y < bottom; }
    // Integer division cutting toward zero, as the platform's own centring does.
    IntPoint Centre() const;

    friend bool operator==(const IntRect&, const IntRect&) = default;
};

// The key-state bit of a mouse message for the left button (MK_LBUTTON).
constexpr uint32_t kMouseKeyLeftButton = 0x0001;

// The pointer of a mouse message: its low and high 16-bit halves, both taken
// unsigned, so a pointer left of or above the dialog lies far outside.
IntPoint PointFromMouseMessage(uint32_t lParam);

// The preview frame's rectangle moved in by 5 pixels on the left and 4 on the
// other three sides.
IntRect PreviewAreaOfFrame(const IntRect& rcFrame);

// Both free spaces (preview size less label size) are positive.
bool IsPreviewUsable(const IntRect& rcPreview, const IntRect& rcLabel);

// The label rectangle, same size, with its top-left corner where the packed
// position (horizontal percentage low, vertical high) puts it; none when the
// preview is not usable.
std::optional<IntRect> PlaceSampleLabel(const IntRect& rcPreview, const IntRect& rcLabel, uint32_t dwPosition);

// The packed position the label's place stands for; none when the preview is
// not usable. Both directions cut toward zero through single precision, so a
// placed position usually reads back lower.
std::optional<uint32_t> PositionFromLabel(const IntRect& rcPreview, const IntRect& rcLabel);

// A left-button press: starts a drag only for the left button alone on the
// label (rcLabelNow, read afresh from the window). Answers the drag offset,
// the label's centre minus the pointer.
std::optional<IntPoint> BeginDrag(uint32_t keys, IntPoint pt, const IntRect& rcLabelNow);

// A pointer move during a drag (the caller has checked capture, drag flag and
// label): the label rectangle that keeps the grabbed spot under the pointer,
// clamped into the preview right, left, bottom, top in that order. None when
// the keys are not the left button alone or the pointer is outside the
// preview, so the label stays where it was.
std::optional<IntRect> DragTo(uint32_t keys, IntPoint pt, IntPoint ptDragOffset, const IntRect& rcPreview,
                              const IntRect& rcLabel);

// A left-button release: the drag ends; answers whether the capture the
// dialog holds must be released.
bool EndDrag(bool bHoldsCapture, bool& bDragging);

// The position the label stands for: dwPlaced while it is still where it was
// placed for that position (reading a placed label back would lower it), the
// position its place reads back as once it has been dragged away; none when it
// was never placed or the preview is not usable.
std::optional<uint32_t> PositionShownByLabel(const IntRect& rcPreview, const IntRect& rcLabel,
                                             const std::optional<IntRect>& rcPlaced, uint32_t dwPlaced);

// The keyboard's steps: an arrow key moves the label by one percentage point
// of the free space, Shift with it by ten.
constexpr int32_t kPositionStep = 1;
constexpr int32_t kPositionStepLarge = 10;

// The packed position moved by dh and dv percentage points, each half clamped
// to 0..100 as a drag is.
uint32_t StepPosition(uint32_t dwPosition, int32_t dh, int32_t dv);
