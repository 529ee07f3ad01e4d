#include "cli/clip_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/cli_document.h"
#include "cli/json.h"
#include "cli/terminal_text.h"

namespace zell::cli {

namespace {

bool parseSeconds(const std::string& text, double low, double high, double& value)
{
    double parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(parsed) || parsed < low
        || parsed > high)
        return false;
    value = parsed;
    return true;
}

std::string rateText(double fps)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", fps);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.')
        s.pop_back();
    return s;
}

} // namespace

void addClipOptions(OptionTable& table, ClipOptions& out, const std::function<void()>& stillsDither)
{
    const auto seconds = [](double& into, double low, const char* problem) {
        return [&into, low, problem](const std::string& v) {
            return parseSeconds(v, low, 1e7, into) ? std::string() : std::string(problem);
        };
    };
    const auto count = [](uint32_t& into, long high, const char* problem) {
        return [&into, high, problem](const std::string& v) {
            long n = 0;
            if (!parseNumber(v, 1, high, n))
                return std::string(problem);
            into = uint32_t(n);
            return std::string();
        };
    };
    table.push_back({"--fps", Takes::value, [&out](const std::string& v) {
                         return parseSeconds(v, 0.01, 100, out.fps) ? std::string()
                                                                    : "--fps takes frames a second, above 0 up to 100";
                     }});
    table.push_back({"--start", Takes::value, seconds(out.start, 0, "--start takes seconds, 0 or more")});
    table.push_back({"--end", Takes::value, seconds(out.end, 0.001, "--end takes seconds, above 0")});
    table.push_back({"--width", Takes::value, count(out.width, 65535, "--width takes pixels, 1-65535")});
    table.push_back({"--height", Takes::value, count(out.height, 65535, "--height takes pixels, 1-65535")});
    table.push_back({"--max-frames", Takes::value, count(out.maxFrames, 1000000, "--max-frames takes a count, 1-1000000")});
    table.push_back({"--palette", Takes::value, [&out](const std::string& v) {
                         out.palette = v == "per-frame" ? ClipPalette::perFrame : ClipPalette::shared;
                         return v == "shared" || v == "per-frame" ? std::string()
                                                                  : "--palette takes shared or per-frame";
                     }});
    // Bare, it is also the stills' dithering; a method is the clips' alone.
    table.push_back({"--dither", Takes::optionalValue, [&out, stillsDither](const std::string& v) {
                         if (v.empty() || v == "fs")
                             out.dither = ClipDither::diffusion;
                         else if (v == "ordered")
                             out.dither = ClipDither::ordered;
                         else if (v == "none")
                             out.dither = ClipDither::none;
                         else
                             return std::string("--dither takes fs, ordered or none");
                         if (v.empty())
                             stillsDither();
                         return std::string();
                     }});
}

std::string checkClipOptions(const ClipOptions& options)
{
    return options.end > 0 && options.end <= options.start ? "--end must come after --start" : "";
}

bool describeClip(const std::string& file, bool json, std::string& error)
{
    ClipInfo info;
    Failure why = Failure::none;
    if (!probeClip(file, info, &why)) {
        Document none;
        error = failureText(why, none, file);
        return false;
    }
    if (json) {
        std::printf("{\"file\": %s, \"format\": \"clip\", \"codec\": %s, \"width\": %u, \"height\": %u, "
                    "\"duration\": %s, \"frameRate\": %s, \"frames\": %llu}\n",
                    jsonString(file).c_str(), jsonString(info.format).c_str(), info.width, info.height,
                    rateText(info.duration).c_str(), rateText(info.frameRate).c_str(),
                    static_cast<unsigned long long>(info.frameCount));
        return true;
    }
    std::printf("%s: clip (%s), %ux%u, %s s, %s frames a second, %llu frames\n", printable(file).c_str(),
                printable(info.format).c_str(), info.width, info.height, rateText(info.duration).c_str(),
                rateText(info.frameRate).c_str(), static_cast<unsigned long long>(info.frameCount));
    return true;
}

} // namespace zell::cli
