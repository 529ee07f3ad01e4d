// zell-cli edit: the everyday edits of a whole animation, applied in the
// order given.
#include <functional>

#include "cli/cli_document.h"
#include "cli/cli_progress.h"
#include "cli/command.h"
#include "cli/options.h"
#include "operations/frame_edits.h"

namespace zell::cli {

namespace {

// One operation of the command line; its numbers are checked when it runs,
// against the animation as the operations before it left it.
struct EditStepArgument {
    std::string option;
    std::string value;
    std::string filter = "smooth"; // --resize only
    bool dither = false;           // --resize only
};

struct EditArguments {
    std::string input;
    std::string output;
    std::vector<EditStepArgument> steps;
};

// False when the command must not run, with `status` its exit status.
bool parseArguments(const std::vector<std::string>& args, EditArguments& out, int& status)
{
    auto& steps = out.steps;
    const auto step = [&steps](const char* option) {
        return [&steps, option](const std::string& v) { steps.push_back({option, v}); return std::string(); };
    };
    // Each belongs to the --resize before it.
    const auto ofResize = [&steps](const char* option, auto set) {
        return [&steps, option, set](const std::string& v) {
            if (steps.empty() || steps.back().option != "--resize")
                return std::string(option) + " belongs to the --resize before it";
            set(steps.back(), v);
            return std::string();
        };
    };
    OptionTable table = {
        {"--reverse", Takes::nothing, step("--reverse")},
        {"--pingpong", Takes::nothing, step("--pingpong")},
        {"--speed", Takes::value, step("--speed")},
        {"--delay", Takes::value, step("--delay")},
        {"--crop", Takes::value, step("--crop")},
        {"--resize", Takes::value, step("--resize")},
        {"--filter", Takes::value,
         ofResize("--filter", [](EditStepArgument& s, const std::string& v) { s.filter = v; })},
        {"--dither", Takes::nothing,
         ofResize("--dither", [](EditStepArgument& s, const std::string&) { s.dither = true; })},
        {"--rotate", Takes::value, step("--rotate")},
        {"--flip", Takes::value, step("--flip")},
        {"--every", Takes::value, step("--every")},
        {"--frames", Takes::value, step("--frames")},
    };
    addOutputOptions(table, out.output);
    std::vector<std::string> inputs;
    if (!parseCommandLine("edit", table, args, inputs, status))
        return false;
    status = kExitUsage;
    std::string error;
    if (inputs.size() > 1)
        error = "more than one input: " + inputs[1];
    else if (inputs.empty() || out.output.empty() || out.steps.empty())
        error = "needs INPUT, -o OUTPUT and at least one operation";
    else
        out.input = inputs.front();
    if (!error.empty())
        printError("edit", error + " (see zell-cli edit --help)");
    return error.empty();
}

// "WxH+X+Y" (offsets optional).
bool parseGeometry(const std::string& text, ScreenRect& rect)
{
    const size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    const size_t plus = text.find('+', x);
    const size_t plus2 = plus == std::string::npos ? std::string::npos : text.find('+', plus + 1);
    long w = 0, h = 0, left = 0, top = 0;
    const std::string hText = text.substr(x + 1, plus == std::string::npos ? std::string::npos : plus - x - 1);
    if (!parseNumber(text.substr(0, x), 1, 65535, w) || !parseNumber(hText, 1, 65535, h))
        return false;
    if (plus != std::string::npos
        && (plus2 == std::string::npos || !parseNumber(text.substr(plus + 1, plus2 - plus - 1), 0, 65535, left)
            || !parseNumber(text.substr(plus2 + 1), 0, 65535, top)))
        return false;
    rect = {uint32_t(left), uint32_t(top), uint32_t(w), uint32_t(h)};
    return true;
}

// "WxH" or "P%" of the current screen, each side at least 1.
bool parseSize(const std::string& text, const GifSettings& s, uint32_t& width, uint32_t& height)
{
    long percent = 0;
    if (!text.empty() && text.back() == '%') {
        if (!parseNumber(text.substr(0, text.size() - 1), 1, 10000, percent))
            return false;
        width = uint32_t(std::max<long>(1, (long(s.screenWidth) * percent + 50) / 100));
        height = uint32_t(std::max<long>(1, (long(s.screenHeight) * percent + 50) / 100));
        return width <= 65535 && height <= 65535;
    }
    ScreenRect rect;
    if (text.find('+') != std::string::npos || !parseGeometry(text, rect))
        return false;
    width = rect.width;
    height = rect.height;
    return true;
}

bool parseRange(const std::string& text, int count, int& first, int& last)
{
    const size_t dash = text.find('-');
    long a = 0, b = 0;
    if (dash == std::string::npos || !parseNumber(text.substr(0, dash), 1, count, a)
        || !parseNumber(text.substr(dash + 1), a, count, b))
        return false;
    first = int(a - 1);
    last = int(b - 1);
    return true;
}

using Operation = std::function<bool(Document&, EditResult&)>;

// The operation a step stands for, or an empty one with `error` set.
Operation operationOf(const EditStepArgument& step, const Document& document, std::string& error)
{
    const std::string& v = step.value;
    long n = 0;
    Progress* p = progress();
    if (step.option == "--reverse")
        return [p](Document& d, EditResult& r) { return reverseFrames(d, {}, &r, p); };
    if (step.option == "--pingpong")
        return [p](Document& d, EditResult& r) { return pingPongFrames(d, {}, &r, p); };
    if (step.option == "--speed" && parseNumber(v, 1, 100000, n))
        return [p, n](Document& d, EditResult& r) { return scaleDelays(d, {}, uint32_t(n), &r, p); };
    if (step.option == "--delay" && parseNumber(v, 0, 65535, n))
        return [p, n](Document& d, EditResult& r) { return setDelays(d, {}, uint32_t(n), &r, p); };
    if (step.option == "--every" && parseNumber(v, 1, 65535, n))
        return [p, n](Document& d, EditResult& r) { return thinOut(d, {}, uint32_t(n), &r, p); };
    if (step.option == "--crop") {
        ScreenRect rect;
        if (parseGeometry(v, rect))
            return [p, rect](Document& d, EditResult& r) { return cropAnimation(d, rect, &r, p); };
    }
    if (step.option == "--frames") {
        int first = 0, last = 0;
        if (parseRange(v, document.frames.count(), first, last))
            return [p, first, last](Document& d, EditResult& r) { return keepFrames(d, first, last, &r, p); };
        error = "--frames takes A-B, frame numbers from 1 to " + std::to_string(document.frames.count());
        return {};
    }
    if (step.option == "--rotate" || step.option == "--flip") {
        const std::pair<const char*, PictureTransform> names[] = {
            {"90", PictureTransform::rotate90},
            {"180", PictureTransform::rotate180},
            {"270", PictureTransform::rotate270},
            {"horizontal", PictureTransform::flipHorizontal},
            {"vertical", PictureTransform::flipVertical},
        };
        for (const auto& [name, transform] : names) {
            const bool turn = transform != PictureTransform::flipHorizontal && transform != PictureTransform::flipVertical;
            if (v == name && turn == (step.option == "--rotate"))
                return [p, t = transform](Document& d, EditResult& r) { return transformAnimation(d, t, &r, p); };
        }
    }
    if (step.option == "--resize") {
        ResizeOptions options;
        options.dither = step.dither;
        if (step.filter != "smooth" && step.filter != "nearest") {
            error = "--filter takes nearest or smooth";
            return {};
        }
        options.filter = step.filter == "nearest" ? ScaleFilter::nearest : ScaleFilter::smooth;
        if (parseSize(v, document.settings, options.width, options.height))
            return [p, options](Document& d, EditResult& r) { return resizeAnimation(d, options, &r, p); };
    }
    const std::pair<const char*, const char*> forms[] = {
        {"--speed", "a percentage from 1 to 100000 (200 is twice as fast)"},
        {"--delay", "hundredths of a second from 0 to 65535"},
        {"--every", "a number from 1 to 65535"},
        {"--crop", "WxH+X+Y"},
        {"--rotate", "90, 180 or 270"},
        {"--flip", "horizontal or vertical"},
        {"--resize", "WxH (each 1 to 65535) or a percentage such as 50%"},
    };
    for (const auto& [option, form] : forms) {
        if (step.option == option)
            error = step.option + " takes " + form + ", not " + v;
    }
    return {};
}

std::string editFailureText(const EditResult& r, const Document& document)
{
    if (r.tooManyColors)
        return "a screen that must be written as a frame of its own shows more than 256 colours";
    if (r.badParameters)
        return "the rectangle lies outside the screen";
    return failureText(r.why, document);
}

int runEdit(const std::vector<std::string>& args)
{
    EditArguments a;
    std::string error;
    if (int status = 0; !parseArguments(args, a, status))
        return status;
    Document document;
    if (!readInput(document, a.input, error)) {
        printError("edit", error);
        return kExitFailed;
    }
    bool clamped = false;
    for (const EditStepArgument& step : a.steps) {
        const Operation operation = operationOf(step, document, error);
        if (!operation) {
            printError("edit", error + " (see zell-cli edit --help)");
            return kExitUsage;
        }
        EditResult result;
        if (!operation(document, result)) {
            printError("edit", shownName(a.input) + ": " + step.option + " failed: "
                                   + editFailureText(result, document) + "; nothing was written");
            return kExitFailed;
        }
        clamped |= result.delaysClamped;
    }
    if (clamped)
        printNote("note", shownName(a.input),
                  "delays below 2 hundredths were set to 2 (most viewers show shorter ones as 10)");
    if (!writeOutput(document, a.output, 0, error)) {
        printError("edit", error);
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration registration({
    "edit",
    "reverse, speed up, crop, resize, rotate, flip or thin out an animation",
    "Usage: zell-cli edit INPUT -o OUTPUT OPERATION...\n"
    "Applies the operations in the order given. INPUT is a GIF, a still image or\n"
    "a project (*.zpj); OUTPUT ending in .zpj writes a project, anything else a\n"
    "GIF. A GIF keeps its looping and comments. Every screen the animation shows\n"
    "stays as it was except for what the operation asks.\n\n"
    "  --reverse            the frames in reverse order\n"
    "  --pingpong           the frames again in reverse after the last, without\n"
    "                       repeating the last or the first\n"
    "  --speed PERCENT      delays scaled: 200 is twice as fast, 50 half as fast\n"
    "  --delay CS           every delay set to CS hundredths of a second\n"
    "                       (delays below 2 become 2, as viewers show less as 10)\n"
    "  --crop WxH+X+Y       the screen cut to the rectangle (without +X+Y at the\n"
    "                       top left); frames outside it go, their delay added\n"
    "                       to the frame before\n"
    "  --resize WxH|P%      the screens scaled (averaged down, smoothly up) and\n"
    "                       mapped to a palette of their colours\n"
    "  --filter nearest|smooth  after --resize: nearest neighbour keeps hard\n"
    "                       edges (pixel art); smooth is the default\n"
    "  --dither             after --resize: error diffusion when mapping colours\n"
    "  --rotate 90|180|270  turned clockwise\n"
    "  --flip horizontal|vertical  mirrored left to right or top to bottom\n"
    "  --every N            keeps every N-th frame, from the first; the delays of\n"
    "                       the frames dropped go to the frame kept before them\n"
    "  --frames A-B         keeps frames A to B (from 1) with their own delays\n"
    ZELL_CLI_OUTPUT_HELP,
    runEdit,
});

} // namespace

} // namespace zell::cli
