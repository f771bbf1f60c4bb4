// Feeds arbitrary bytes to the blob reader. On every input: a refused blob
// leaves the target record byte-for-byte as it was, an accepted one writes
// back out as the very same 104 bytes, and the answer is the one the layout
// rules give (size, version word, both percentages at most 100).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "settings/BlobBuffer.h"
#include "settings/SMPTEDrawSettings.h"

namespace
{
void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

uint32_t ReadLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

bool ShouldAccept(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() != SettingsBlob::kSize || ReadLe32(bytes.data()) != SettingsBlob::kVersion)
        return false;
    const uint32_t position = ReadLe32(bytes.data() + SettingsBlob::kPositionOffset);
    return (position & 0xFFFFu) <= 100 && (position >> 16) <= 100;
}

// A target that differs from the defaults everywhere, so that a partial write
// on a refused blob cannot hide behind matching bytes.
SMPTEDrawSettings Target()
{
    SMPTEDrawSettings s;
    std::memset(static_cast<void*>(&s.lfFont), 0x5A, sizeof(s.lfFont));
    s.argbColor = 0x12345678u;
    s.dwPosition = PackPosition(17, 83);
    return s;
}

void Check(std::vector<uint8_t> bytes)
{
    SMPTEDrawSettings target = Target();
    const SMPTEDrawSettings before = target;

    BlobBuffer in;
    in.cbBlob = static_cast<uint32_t>(bytes.size());
    in.pbBlob = bytes.empty() ? nullptr : bytes.data();
    const bool accepted = target.Deserialize(in);
    Require(accepted == ShouldAccept(bytes));

    if (!accepted)
    {
        Require(std::memcmp(&target, &before, sizeof(target)) == 0);
        return;
    }
    CSerializedBlob out;
    Require(target.Serialize(out));
    Require(out.cbBlob == bytes.size());
    Require(std::memcmp(out.pbBlob, bytes.data(), bytes.size()) == 0);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Check(std::vector<uint8_t>(data, data + size));

    // The same bytes behind a valid version word over the default blob, so
    // that most inputs get past the header and reach the field checks.
    CSerializedBlob base;
    Require(SMPTEDrawSettings().Serialize(base));
    std::vector<uint8_t> overlaid(base.pbBlob, base.pbBlob + base.cbBlob);
    const size_t n = size < SettingsBlob::kSize - 4 ? size : SettingsBlob::kSize - 4;
    if (n != 0)
        std::memcpy(overlaid.data() + 4, data, n);
    Check(overlaid);
    return 0;
}
