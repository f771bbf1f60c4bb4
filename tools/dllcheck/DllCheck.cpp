// ferrowind-dllcheck --arch 32|64 [--source DIR] FILE
//
// Checks a built Ferrowind.dll from its bytes, so that machines that cannot
// run the DLL still prove both builds. Prints one line per check and a
// summary; exits 0 when every check passes, 1 when one fails, 2 when the
// command line is wrong or a file cannot be read.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "tools/dllcheck/DllChecks.h"

namespace
{
bool ReadFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int Usage()
{
    std::fprintf(stderr, "usage: ferrowind-dllcheck --arch 32|64 [--source DIR] FILE\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    DllExpectations expected;
    expected.bits = 0;
    std::filesystem::path source = FERROWIND_SOURCE_DIR;
    std::filesystem::path file;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--arch" && i + 1 < argc)
        {
            const std::string bits = argv[++i];
            expected.bits = bits == "32" ? 32 : bits == "64" ? 64 : 0;
        }
        else if (arg == "--source" && i + 1 < argc)
            source = argv[++i];
        else if (file.empty() && !arg.starts_with("--"))
            file = arg;
        else
            return Usage();
    }
    if (expected.bits == 0 || file.empty())
        return Usage();

    const std::pair<const char*, std::vector<uint8_t>*> scripts[] = {
        {"resources/AppID.rgs", &expected.appIdScript}, {"resources/SMPTEFrameDraw.rgs", &expected.frameDrawScript}};
    for (const auto& [name, bytes] : scripts)
    {
        if (!ReadFile(source / name, *bytes))
        {
            std::fprintf(stderr, "cannot read %s\n", (source / name).c_str());
            return 2;
        }
    }
    std::vector<uint8_t> image;
    if (!ReadFile(file, image))
    {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 2;
    }

    const std::vector<DllCheckResult> results = RunDllChecks(std::move(image), expected);
    size_t passed = 0;
    for (const DllCheckResult& r : results)
    {
        if (r.ok)
            ++passed;
        std::printf("%s: %s%s\n", r.name.c_str(), r.ok ? "ok" : "FAILED: ", r.why.c_str());
    }
    std::printf("%s (%d-bit): %zu of %zu checks passed\n", file.filename().c_str(), expected.bits, passed,
                results.size());
    return passed == results.size() ? 0 : 1;
}
