#include "Options.h"

#include <cstdio>
#include <cwchar>

namespace
{
constexpr int kMaxDimension = 16384;
constexpr int kMaxFrames = 10000000;

std::string Narrow(const std::wstring& str)
{
    std::string out;
    for (const wchar_t ch : str)
        out += ch < 0x80 ? static_cast<char>(ch) : '?';
    return out;
}

bool ParseInt(const std::wstring& str, int nMin, int nMax, int& nValue)
{
    if (str.empty())
        return false;
    wchar_t* pEnd = nullptr;
    const long long value = std::wcstoll(str.c_str(), &pEnd, 10);
    if (pEnd == nullptr || *pEnd != L'\0' || value < nMin || value > nMax)
        return false;
    nValue = static_cast<int>(value);
    return true;
}

bool ParseSize(const std::wstring& str, FrameFormat& format)
{
    const size_t x = str.find_first_of(L"xX");
    int cx = 0;
    int cy = 0;
    if (x == std::wstring::npos || !ParseInt(str.substr(0, x), 1, kMaxDimension, cx) ||
        !ParseInt(str.substr(x + 1), 1, kMaxDimension, cy))
        return false;
    format.nWidth = cx;
    format.nHeight = cy;
    return true;
}

bool ParseFrameList(const std::wstring& str, std::vector<int>& frames)
{
    frames.clear();
    if (str == L"none")
        return true;
    size_t begin = 0;
    while (begin <= str.size())
    {
        const size_t end = str.find(L',', begin);
        int n = 0;
        if (!ParseInt(str.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin), 0,
                      kMaxFrames, n))
            return false;
        frames.push_back(n);
        if (end == std::wstring::npos)
            break;
        begin = end + 1;
    }
    return true;
}

// "N=hh:mm:ss.ff". The reference times make a frame of 1/100 s that starts at
// ff hundredths into the second, so the text is drawn from other times than
// the clip's.
bool ParseCheck(const std::wstring& str, TimeCodeCheck& check)
{
    const size_t eq = str.find(L'=');
    if (eq == std::wstring::npos || !ParseInt(str.substr(0, eq), 0, kMaxFrames, check.nFrame))
        return false;
    check.strText = str.substr(eq + 1);
    unsigned hours = 0;
    unsigned minutes = 0;
    unsigned seconds = 0;
    unsigned hundredths = 0;
    wchar_t tail = 0;
    if (check.strText.size() < 11 ||
        std::swscanf(check.strText.c_str(), L"%u:%2u:%2u.%2u%lc", &hours, &minutes, &seconds, &hundredths, &tail) != 4 ||
        minutes > 59 || seconds > 59 || hours > 1000000)
        return false;
    const unsigned long long wholeSeconds = hours * 3600ull + minutes * 60ull + seconds;
    check.rtStart = wholeSeconds * 10000000ull + hundredths * 100000ull;
    check.rtEnd = check.rtStart + 100000ull;
    return true;
}
} // namespace

bool ParseOptions(int argc, wchar_t** argv, HostOptions& options, std::string& strError)
{
    const Scenario* pScenario = DefaultScenario();
    bool bFormatSet[4] = {}; // size, bit count, row order, frames
    FrameFormat format;
    int nFrames = 0;
    bool bFolderGiven = false;

    for (int i = 1; i < argc; ++i)
    {
        const std::wstring arg = argv[i];
        const bool bHasValue = i + 1 < argc;
        const auto value = [&]() { return std::wstring(argv[++i]); };
        const auto needsValue = [&]() {
            strError = "option " + Narrow(arg) + " needs a value";
            return false;
        };

        if (arg == L"--help" || arg == L"-h" || arg == L"/?")
            options.bHelp = true;
        else if (arg == L"--list")
            options.bList = true;
        else if (arg == L"--setup")
            options.bSetup = true;
        else if (arg == L"--antialias")
            options.uRenderingHints = 1;
        else if (arg == L"--top-down" || arg == L"--bottom-up")
        {
            format.bTopDown = arg == L"--top-down";
            bFormatSet[2] = true;
        }
        else if (arg == L"--scenario" || arg == L"--frames" || arg == L"--size" || arg == L"--bpp" ||
                 arg == L"--out" || arg == L"--save-frames" || arg == L"--load-settings" ||
                 arg == L"--save-settings" || arg == L"--check")
        {
            if (!bHasValue)
                return needsValue();
            const std::wstring strValue = value();
            bool bValid = true;
            if (arg == L"--scenario")
            {
                pScenario = FindScenario(Narrow(strValue).c_str());
                bValid = pScenario != nullptr;
            }
            else if (arg == L"--frames")
                bValid = bFormatSet[3] = ParseInt(strValue, 0, kMaxFrames, nFrames);
            else if (arg == L"--size")
                bValid = bFormatSet[0] = ParseSize(strValue, format);
            else if (arg == L"--bpp")
            {
                int nBits = 0;
                bValid = ParseInt(strValue, 24, 32, nBits) && (nBits == 24 || nBits == 32);
                format.wBitCount = static_cast<WORD>(nBits);
                bFormatSet[1] = bValid;
            }
            else if (arg == L"--out")
            {
                options.strOut = strValue;
                bFolderGiven = true;
            }
            else if (arg == L"--save-frames")
            {
                bValid = ParseFrameList(strValue, options.savedFrames);
                options.bDefaultSavedFrames = false;
            }
            else if (arg == L"--load-settings")
                options.strLoadSettings = strValue;
            else if (arg == L"--save-settings")
                options.strSaveSettings = strValue;
            else
            {
                TimeCodeCheck check;
                bValid = ParseCheck(strValue, check);
                options.checks.push_back(check);
            }
            if (!bValid)
            {
                strError = "invalid value for " + Narrow(arg) + ": " + Narrow(strValue);
                return false;
            }
        }
        else if (!arg.empty() && arg[0] != L'-' && !bFolderGiven)
        {
            options.strOut = arg;
            bFolderGiven = true;
        }
        else
        {
            strError = "unknown argument " + Narrow(arg) + " (see --help)";
            return false;
        }
    }

    options.pScenario = pScenario;
    options.format = pScenario->format;
    if (bFormatSet[0])
    {
        options.format.nWidth = format.nWidth;
        options.format.nHeight = format.nHeight;
    }
    if (bFormatSet[1])
        options.format.wBitCount = format.wBitCount;
    if (bFormatSet[2])
        options.format.bTopDown = format.bTopDown;
    options.nFrames = bFormatSet[3] ? nFrames : pScenario->nFrames;
    if (options.bDefaultSavedFrames && options.nFrames > 0)
        options.savedFrames = {0, options.nFrames / 2, options.nFrames - 1};
    return true;
}

void PrintUsage()
{
    std::printf(
        "Usage: ferrowind-host.exe [options] [output folder]\n"
        "\n"
        "Finds the video-draw plug-ins through their component category, creates the\n"
        "first one through COM and draws a generated clip through IWendleVideoDraw;\n"
        "writes PNG frames and a contact sheet, prints a summary, releases the plug-in\n"
        "and checks that its module can unload. The plug-in must be registered\n"
        "(scripts/run-host.sh does that in the build tree's Wine prefix).\n"
        "\n"
        "Clip:\n"
        "  --scenario NAME       the clip to draw (default 29.97fps); --list names them all\n"
        "  --list                list the scenarios and exit\n"
        "  --frames N            number of frames instead of the scenario's (0: draw none)\n"
        "  --size WxH            frame size instead of the scenario's (default 1280x720)\n"
        "  --bpp 24|32           bits per pixel instead of the scenario's\n"
        "  --top-down            rows stored top row first (negative biHeight)\n"
        "  --bottom-up           rows stored bottom row first (positive biHeight)\n"
        "  --antialias           ask for anti-aliased text (uRenderingHints 1)\n"
        "\n"
        "Settings:\n"
        "  --load-settings FILE  hand a settings blob file to SetDrawSetupParameters\n"
        "                        before drawing; the run fails when it is refused\n"
        "  --setup               open the setup dialog (ShowSetupDialog) before drawing;\n"
        "                        needs a person at a display\n"
        "  --save-settings FILE  write GetDrawSetupParameters' blob (104 bytes) to FILE,\n"
        "                        after --load-settings and --setup\n"
        "\n"
        "Output:\n"
        "  --out FOLDER          where the PNG files go (default: the current folder)\n"
        "  --save-frames LIST    frame numbers to write as frame-NNN.png, comma-separated,\n"
        "                        or none (default: the first, middle and last frame);\n"
        "                        contact-sheet.png always holds nine frames of the clip\n"
        "  --check N=TEXT        confirm that frame N shows the time code TEXT\n"
        "                        (hh:mm:ss.ff): the drawn frame must equal the same\n"
        "                        picture drawn by a second plug-in object from times\n"
        "                        that give TEXT; prints match or differs\n"
        "  --help                this text\n"
        "\n"
        "Exit code 0 when the run completed: every frame answered S_OK or S_FALSE,\n"
        "every check matched, every file was written, and DllCanUnloadNow answered\n"
        "S_OK after the release.\n");
}

void PrintScenarios()
{
    for (const Scenario* p = ScenariosBegin(); p != ScenariosEnd(); ++p)
        std::printf("  %-16s %d frames of %d x %d: %s\n", p->pszName, p->nFrames, p->format.nWidth,
                    p->format.nHeight, p->pszDescription);
}
