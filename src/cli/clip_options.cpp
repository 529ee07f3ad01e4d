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

// One option at args[i] (its value after it); false when it is none of ours.
bool takeOne(const std::vector<std::string>& args, size_t& i, ClipOptions& out, std::string& problem)
{
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    const std::string v = hasValue ? args[i + 1] : std::string();
    long n = 0;
    auto need = [&](bool ok, const char* what) {
        if (!ok)
            problem = what;
        else
            ++i;
        return true;
    };
    if (a == "--fps")
        return need(hasValue && parseSeconds(v, 0.01, 100, out.fps), "--fps takes frames a second, above 0 up to 100");
    if (a == "--start")
        return need(hasValue && parseSeconds(v, 0, 1e7, out.start), "--start takes seconds, 0 or more");
    if (a == "--end")
        return need(hasValue && parseSeconds(v, 0.001, 1e7, out.end), "--end takes seconds, above 0");
    if (a == "--width" || a == "--height") {
        uint32_t& into = a == "--width" ? out.width : out.height;
        const bool ok = hasValue && parseNumber(v, 1, 65535, n);
        into = uint32_t(n);
        return need(ok, a == "--width" ? "--width takes pixels, 1-65535" : "--height takes pixels, 1-65535");
    }
    if (a == "--max-frames") {
        const bool ok = hasValue && parseNumber(v, 1, 1000000, n);
        out.maxFrames = uint32_t(n);
        return need(ok, "--max-frames takes a count, 1-1000000");
    }
    if (a == "--palette") {
        out.palette = v == "per-frame" ? ClipPalette::perFrame : ClipPalette::shared;
        return need(v == "shared" || v == "per-frame", "--palette takes shared or per-frame");
    }
    // A bare --dither is the stills' option; with a method it is the clips'.
    if (a == "--dither" && (v == "fs" || v == "ordered" || v == "none")) {
        out.dither = v == "fs" ? ClipDither::diffusion : v == "ordered" ? ClipDither::ordered : ClipDither::none;
        ++i;
        return true;
    }
    return false;
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

std::string takeClipOptions(std::vector<std::string>& args, ClipOptions& out)
{
    std::vector<std::string> rest;
    std::string problem;
    for (size_t i = 0; i < args.size(); ++i) {
        if (!takeOne(args, i, out, problem))
            rest.push_back(args[i]);
        if (!problem.empty())
            return problem;
    }
    if (out.end > 0 && out.end <= out.start)
        return "--end must come after --start";
    args.swap(rest);
    return {};
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
