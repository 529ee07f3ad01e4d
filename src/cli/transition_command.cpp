// zell-cli transition: in-between frames from one frame to the next (or to a
// colour), inserted after a chosen frame.
#include <cstdio>
#include <memory>

#include "cli/cli_document.h"
#include "cli/cli_progress.h"
#include "cli/command.h"
#include "cli/options.h"
#include "image/dib.h"
#include "playback/plugin_discovery.h"
#include "playback/transition_insertion.h"

namespace zell::cli {

namespace {

struct TransitionArguments {
    std::string input;
    std::string output;
    std::string after;
    std::string pattern = "1";
    std::string steps = "8";
    std::string delay = "8";
    std::string toColor;
};

// The values are checked once the pattern and the input are known.
bool parseArguments(const std::vector<std::string>& args, TransitionArguments& out, int& status)
{
    OptionTable table = {
        {"--after", Takes::value, keepValue(out.after)},
        {"--pattern", Takes::value, keepValue(out.pattern)},
        {"--steps", Takes::value, keepValue(out.steps)},
        {"--delay", Takes::value, keepValue(out.delay)},
        {"--to-color", Takes::value, keepValue(out.toColor)},
    };
    addOutputOptions(table, out.output);
    std::vector<std::string> inputs;
    if (!parseCommandLine("transition", table, args, inputs, status))
        return false;
    status = kExitUsage;
    if (inputs.size() > 1) {
        printError("transition", "more than one input: " + inputs[1] + " (see zell-cli transition --help)");
        return false;
    }
    if (inputs.empty() || out.output.empty() || out.after.empty()) {
        printError("transition", "needs IN, -o OUT and --after I (see zell-cli transition --help)");
        return false;
    }
    out.input = inputs.front();
    return true;
}

// "RRGGBB" as a colour value (red in the low byte).
bool parseColor(const std::string& text, uint32_t& color)
{
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    const unsigned long rgb = std::stoul(text, nullptr, 16);
    color = makeColor(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
    return true;
}

// By its number in the patterns list, else by its exact name.
Transition* findPattern(const std::vector<std::unique_ptr<Transition>>& list, const std::string& pattern)
{
    long number = 0;
    if (parseNumber(pattern, 1, long(list.size()), number))
        return list[size_t(number - 1)].get();
    for (const auto& transition : list) {
        if (transition->name == pattern)
            return transition.get();
    }
    return nullptr;
}

const char* describe(TransitionError error)
{
    switch (error) {
    case TransitionError::NoCurrentFrame:
        return "has no frames";
    case TransitionError::NoNextFrame:
        return "there is no next frame to lead to (give --to-color)";
    case TransitionError::ComposeFailed:
        return "the frames could not be composed";
    case TransitionError::GenerateFailed:
        return "the transition failed";
    default:
        return "the transition could not be inserted";
    }
}

int usageError(const std::string& what)
{
    printError("transition", what + " (see zell-cli transition --help)");
    return kExitUsage;
}

// Every option but --after, which waits for the input's frame count.
bool makeRequest(const TransitionArguments& a, const std::vector<std::unique_ptr<Transition>>& list,
                 Transition*& transition, TransitionRequest& request, std::string& error)
{
    long delay = 0;
    long steps = 0;
    transition = findPattern(list, a.pattern);
    if (!parseNumber(a.delay, 0, 65535, delay))
        error = "--delay takes 0 to 65535";
    else if (!a.toColor.empty() && !parseColor(a.toColor, request.color))
        error = "--to-color takes RRGGBB in hexadecimal";
    else if (!transition)
        error = "no pattern " + a.pattern + "; zell-cli patterns lists them";
    else if (!parseNumber(a.steps, 1, long(transition->maxSteps), steps))
        error = "--steps takes 1 to " + std::to_string(transition->maxSteps) + " for this pattern";
    else {
        request.delay = uint16_t(delay);
        request.steps = uint32_t(steps);
        request.toColor = !a.toColor.empty();
        return true;
    }
    return false;
}

int runTransitionCommand(const std::vector<std::string>& args)
{
    TransitionArguments a;
    TransitionRequest request;
    Transition* transition = nullptr;
    std::string error;
    if (int status = 0; !parseArguments(args, a, status))
        return status;
    const auto list = makeTransitionList(transitionPluginFolders());
    if (!makeRequest(a, list, transition, request, error))
        return usageError(error);
    Document document;
    if (!readInput(document, a.input, error)) {
        printError("transition", error);
        return kExitFailed;
    }
    const int count = document.frames.count();
    long after = 0;
    if (count > 0 && !parseNumber(a.after, 1, count, after))
        return usageError("--after takes a frame number from 1 to " + std::to_string(count));
    TransitionError why = TransitionError::None;
    const uint32_t workFailures = document.workDirectory().failures();
    if (!insertTransition(document, int(after - 1), *transition, request, &why, progress())) {
        if (why == TransitionError::TooLarge)
            printError(shownName(a.input), tooLargeText(document));
        else if (document.workDirectory().failures() != workFailures)
            printError(shownName(a.input), failureText(Failure::noWorkDirectory, document));
        else
            printError(shownName(a.input), describe(why));
        return kExitFailed;
    }
    if (!writeOutput(document, a.output, 0, error)) {
        printError("transition", error);
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration registration({
    "transition",
    "insert the frames of a screen transition after a frame",
    "Usage: zell-cli transition IN -o OUT --after I [--pattern NAME|N] [--steps N]\n"
    "                           [--delay N] [--to-color RRGGBB]\n"
    "Inserts the in-between frames of a screen transition after frame I (from 1):\n"
    "from the screen while frame I shows to the screen of the frame after it\n"
    "(frame 1 after the last), or to a plain colour with --to-color.\n"
    "  --pattern NAME|N  the transition, by name or number as zell-cli patterns\n"
    "                    lists them (default 1)\n"
    "  --steps N         number of new frames, 1 to the pattern's largest (default 8)\n"
    "  --delay N         delay of each new frame in 1/100 s (default 8)\n"
    "  --to-color RRGGBB lead to this colour instead of the next frame\n"
    "IN may be a GIF, a still image or a project; OUT ending in .zpj writes a\n"
    "project. A GIF keeps its looping and comments.\n"
    ZELL_CLI_OUTPUT_HELP,
    runTransitionCommand,
});

} // namespace

} // namespace zell::cli
