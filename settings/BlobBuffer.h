#pragma once
// The settings blob as bytes in memory: a byte count and a pointer. Serialize
// fills an empty buffer with a heap block that the caller frees (ReleaseBlob,
// or CSerializedBlob does it on scope exit); a buffer that describes someone
// else's bytes (an incoming array) owns nothing.

#include <cstddef>
#include <cstdint>

struct BlobBuffer
{
    uint32_t cbBlob = 0;
    uint8_t* pbBlob = nullptr;

    bool IsEmpty() const { return cbBlob == 0 && pbBlob == nullptr; }
};

namespace SettingsBlob
{
constexpr uint32_t kSize = 104;
constexpr uint32_t kVersion = 0x01000000u;

constexpr size_t kVersionOffset = 0;
constexpr size_t kFontOffset = 4;
constexpr size_t kFaceNameOffset = 32;
constexpr size_t kColorOffset = 96;
constexpr size_t kPositionOffset = 100;
} // namespace SettingsBlob

// Frees a block that Serialize allocated and empties the buffer.
void ReleaseBlob(BlobBuffer& blob);

// A buffer that Serialize fills and that frees its block on every path.
class CSerializedBlob : public BlobBuffer
{
public:
    CSerializedBlob() = default;
    ~CSerializedBlob() { ReleaseBlob(*this); }
    CSerializedBlob(const CSerializedBlob&) = delete;
    CSerializedBlob& operator=(const CSerializedBlob&) = delete;
};
