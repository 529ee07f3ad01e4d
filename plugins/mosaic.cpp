// Mosaic: the source breaks up into ever larger blocks of averaged colour;
// halfway through the blocks show the destination and shrink back to pixels.
//
// The example of a plug-in with settings, in C++ with only the standard
// library. A plug-in without a toolkit cannot show a window of its own, so
// its "settings dialog" is a text file that zpiConfigDialog opens in the
// desktop's editor:
//   the file   $ZELL_MOSAIC_CONFIG, else $XDG_CONFIG_HOME/zell/mosaic.conf,
//              else ~/.config/zell/mosaic.conf;
//   its lines  "block = N": the largest block side in pixels, 2-256
//              (default 16); lines starting with '#' are comments;
//   the editor $ZELL_MOSAIC_OPEN if set, else xdg-open.
// zpiConfigDialog writes the file with the defaults when it is missing. Every
// run reads it again, so a change shows at the next preview. When no program
// opens the file, zpiConfigDialog fails and zpiConfigMessage names the file,
// so that the user can edit it by hand.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "zell/transition_plugin.h"

namespace {

constexpr int kDefaultBlock = 16;
constexpr int kLargestBlock = 256;

struct Picture {
    const uint8_t* bits = nullptr;
    int64_t width = 0;
    int64_t height = 0;
    int64_t stride = 0;
    bool topDown = false;

    const uint8_t* pixel(int64_t x, int64_t y) const
    {
        return bits + (topDown ? y : height - 1 - y) * stride + 3 * x;
    }
};

struct Run {
    Picture source;
    Picture destination;
    int block = kDefaultBlock;
};

uint32_t readU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void writeU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

bool openPicture(const void* dib, Picture& picture)
{
    const auto* p = static_cast<const uint8_t*>(dib);
    const auto width = int32_t(readU32(p + 4));
    const auto height = int32_t(readU32(p + 8));
    if (readU32(p) < 40 || width <= 0 || height == 0 || (p[14] | p[15] << 8) != 24)
        return false;
    picture.width = width;
    picture.height = height < 0 ? -int64_t(height) : height;
    picture.topDown = height < 0;
    picture.stride = (int64_t(width) * 3 + 3) & ~int64_t(3);
    picture.bits = p + readU32(p) + 4 * uint64_t(readU32(p + 32));
    return true;
}

std::filesystem::path settingsFile()
{
    if (const char* path = std::getenv("ZELL_MOSAIC_CONFIG"); path && *path)
        return path;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::filesystem::path(config) / "zell" / "mosaic.conf";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : ".") / ".config" / "zell" / "mosaic.conf";
}

int readBlockSetting()
{
    std::ifstream in(settingsFile());
    std::string line;
    int block = kDefaultBlock;
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals);
        key.erase(std::remove(key.begin(), key.end(), ' '), key.end());
        if (key == "block")
            block = std::atoi(line.c_str() + equals + 1);
    }
    return std::clamp(block, 2, kLargestBlock);
}

// The colour the block shows: the mean of its pixels, taken from the
// destination where it covers the spot and from the source elsewhere.
void blockMean(const Run& run, bool destination, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint8_t mean[3])
{
    uint64_t sum[3] = {0, 0, 0};
    for (int64_t y = y0; y < y1; ++y) {
        for (int64_t x = x0; x < x1; ++x) {
            const bool covered = destination && x < run.destination.width && y < run.destination.height;
            const uint8_t* p = covered ? run.destination.pixel(x, y) : run.source.pixel(x, y);
            for (int c = 0; c < 3; ++c)
                sum[c] += p[c];
        }
    }
    const uint64_t n = uint64_t((x1 - x0) * (y1 - y0));
    for (int c = 0; c < 3; ++c)
        mean[c] = uint8_t((sum[c] + n / 2) / n);
}

void render(const Run& run, int32_t step, int32_t count, uint8_t* out)
{
    const double progress = double(step + 1) / (double(count) + 1);
    const bool destination = progress >= 0.5;
    // Largest in the middle of the run, one pixel at either end.
    const auto block = int64_t(1 + (run.block - 1) * (1 - std::fabs(2 * progress - 1)) + 0.5);
    const Picture& s = run.source;
    for (int64_t y0 = 0; y0 < s.height; y0 += block) {
        const int64_t y1 = std::min(y0 + block, s.height);
        for (int64_t x0 = 0; x0 < s.width; x0 += block) {
            const int64_t x1 = std::min(x0 + block, s.width);
            uint8_t mean[3];
            blockMean(run, destination, x0, y0, x1, y1, mean);
            for (int64_t y = y0; y < y1; ++y) {
                uint8_t* row = out + 40 + (s.height - 1 - y) * s.stride; // bottom-up
                for (int64_t x = x0; x < x1; ++x)
                    std::memcpy(row + 3 * x, mean, 3);
            }
        }
    }
}

void writeHeader(const Picture& picture, uint64_t size, uint8_t* out)
{
    std::memset(out, 0, 40);
    writeU32(out, 40);
    writeU32(out + 4, uint32_t(picture.width));
    writeU32(out + 8, uint32_t(picture.height));
    out[12] = 1;  // planes
    out[14] = 24; // bits per pixel
    writeU32(out + 20, uint32_t(size - 40));
    // Row padding must be zero, and render() leaves it alone.
    std::memset(out + 40, 0, size - 40);
}

std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// An opener that ends at once tells by its status whether it found a program
// for the file; one still running after two seconds is the editor itself,
// kept in the foreground, and is left running on its own. The host's window
// must not wait for the whole edit.
bool openInEditor(const std::filesystem::path& file)
{
    const char* opener = std::getenv("ZELL_MOSAIC_OPEN");
    const std::string command = std::string(opener && *opener ? opener : "xdg-open") + " " + shellQuoted(file.string());
    const std::string script = "(" + command + ") </dev/null >/dev/null 2>&1 & pid=$!; i=0; "
        "while [ $i -lt 20 ] && kill -0 $pid 2>/dev/null; do sleep 0.1; i=$((i+1)); done; "
        "if kill -0 $pid 2>/dev/null; then exit 0; fi; wait $pid";
    return std::system(script.c_str()) == 0;
}

// What zpiConfigMessage tells after a failed zpiConfigDialog.
std::string lastConfigMessage;

} // namespace

// No exception may leave an export: each body catches everything.

ZPI_EXPORT int32_t zpiGetTransitionInfo(int32_t index, ZpiTransitionInfo* info)
{
    if (!info)
        return 1; // transitions in this library
    if (index != 0)
        return 1; // failure
    std::memset(info, 0, sizeof *info);
    std::strncpy(info->name, "モザイク", sizeof info->name - 1);
    info->maxSteps = 30;
    info->hasSettings = 1;
    return 0;
}

ZPI_EXPORT ZpiHandle zpiInitialize(const void* source, const void* destination, int32_t index)
{
    try {
        auto* run = new Run;
        if (index != 0 || !openPicture(source, run->source) || !openPicture(destination, run->destination)) {
            delete run;
            return 0;
        }
        run->block = readBlockSetting();
        return reinterpret_cast<ZpiHandle>(run);
    } catch (...) {
        return 0;
    }
}

ZPI_EXPORT uint32_t zpiGetFrame(ZpiHandle handle, int32_t step, int32_t count, void* buffer)
{
    const auto* run = reinterpret_cast<const Run*>(handle);
    if (!run || step < 0 || step >= count)
        return 0;
    const uint64_t size = 40 + uint64_t(run->source.stride) * uint64_t(run->source.height);
    if (size > UINT32_MAX)
        return 0;
    if (!buffer)
        return uint32_t(size);
    auto* out = static_cast<uint8_t*>(buffer);
    writeHeader(run->source, size, out);
    render(*run, step, count, out);
    return 0;
}

ZPI_EXPORT int32_t zpiConfigDialog(void* parent, int32_t index)
{
    (void)parent; // no window of our own to make transient
    if (index != 0)
        return 1;
    try {
        lastConfigMessage.clear();
        const std::filesystem::path file = settingsFile();
        if (!std::filesystem::exists(file)) {
            std::error_code ignored; // a failure shows when the file is written
            std::filesystem::create_directories(file.parent_path(), ignored);
            std::ofstream out(file);
            out << "# Mosaic transition of zell: the largest block side in pixels (2-256).\n"
                << "block = " << readBlockSetting() << "\n";
            if (!out) {
                lastConfigMessage = "設定ファイルを作成できませんでした：\n" + file.string();
                return 1;
            }
        }
        if (openInEditor(file))
            return 0;
        lastConfigMessage = "設定ファイルを開くプログラムがありません。\n"
                            "テキストエディタで直接編集してください：\n" + file.string();
        return 1;
    } catch (...) {
        return 1;
    }
}

ZPI_EXPORT int32_t zpiConfigMessage(int32_t index, char* text, int32_t size)
{
    if (index != 0 || lastConfigMessage.empty())
        return 0;
    if (text && size > 0) {
        const size_t n = std::min(lastConfigMessage.size(), size_t(size) - 1);
        std::memcpy(text, lastConfigMessage.data(), n);
        text[n] = 0;
    }
    return int32_t(std::min<size_t>(lastConfigMessage.size(), INT32_MAX));
}

ZPI_EXPORT int32_t zpiCloseHandle(ZpiHandle handle)
{
    delete reinterpret_cast<Run*>(handle);
    return 0;
}
