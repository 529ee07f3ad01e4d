#include "playback/plugin_discovery.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <system_error>

#include "playback/builtin_transition.h"
#include "playback/guarded_call.h"
#include "zell/transition_plugin.h"

namespace zell {

namespace fs = std::filesystem;

namespace {

void addFolder(std::vector<fs::path>& folders, const fs::path& folder)
{
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(folder, ec);
    if (ec)
        canonical = folder;
    if (std::find(folders.begin(), folders.end(), canonical) == folders.end())
        folders.push_back(canonical);
}

std::vector<fs::path> librariesIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), last; !ec && it != last; it.increment(ec)) {
        std::error_code statusError;
        if (it->path().extension() == ".so" && it->is_regular_file(statusError))
            files.push_back(it->path());
    }
    // Sorted, so that pattern numbers stay the same from run to run.
    std::sort(files.begin(), files.end());
    return files;
}

// Fills plugin from record i of the library; false when the transition is skipped.
bool readRecord(ZpiGetTransitionInfoFunction getInfo, int32_t i, TransitionPlugin& plugin)
{
    uint8_t record[ZPI_INFO_SIZE] = {};
    int32_t result = 1;
    auto* info = reinterpret_cast<ZpiTransitionInfo*>(record);
    if (!guardedCall([&] { result = getInfo(i, info); }) || result != 0)
        return false;
    const void* nul = std::memchr(record, 0, ZPI_INFO_NAME_SIZE);
    if (!nul)
        return false;
    plugin.name.assign(reinterpret_cast<const char*>(record), static_cast<const uint8_t*>(nul) - record);
    plugin.maxSteps = record[ZPI_INFO_MAX_STEPS_OFFSET];
    plugin.hasSettings = record[ZPI_INFO_HAS_SETTINGS_OFFSET] != 0;
    plugin.index = i;
    return true;
}

void probeLibrary(void* module, const fs::path& file, std::vector<std::unique_ptr<TransitionPlugin>>& found)
{
    auto getInfo = reinterpret_cast<ZpiGetTransitionInfoFunction>(::dlsym(module, "zpiGetTransitionInfo"));
    if (!getInfo)
        return;
    int32_t count = 0;
    if (!guardedCall([&] { count = getInfo(0, nullptr); }))
        count = 0;
    count = std::min(count, kMaxTransitionsPerLibrary);
    for (int32_t i = 0; i < count; ++i) {
        try {
            auto plugin = std::make_unique<TransitionPlugin>();
            if (!readRecord(getInfo, i, *plugin))
                continue;
            plugin->libraryPath = file.string();
            found.push_back(std::move(plugin));
        } catch (const std::bad_alloc&) {
            // Skipped like a failed record.
        }
    }
}

} // namespace

std::vector<fs::path> transitionPluginFolders()
{
    std::vector<fs::path> folders;
    try {
        std::error_code ec;
        const fs::path program = fs::read_symlink("/proc/self/exe", ec);
        if (!ec) {
            addFolder(folders, program.parent_path() / "plugins");
            // An installed program sits in PREFIX/bin with its plug-ins in PREFIX/lib/zell/plugins.
            addFolder(folders, program.parent_path() / ".." / "lib" / "zell" / "plugins");
        }
        if (const char* path = std::getenv("ZELL_PLUGIN_PATH")) {
            std::string_view rest(path);
            while (!rest.empty()) {
                const size_t colon = rest.find(':');
                const std::string_view entry = rest.substr(0, colon);
                if (!entry.empty())
                    addFolder(folders, fs::path(entry));
                rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
            }
        }
    } catch (const std::bad_alloc&) {
        // The folders found so far.
    }
    return folders;
}

std::vector<std::unique_ptr<TransitionPlugin>> discoverTransitionPlugins(const std::vector<fs::path>& folders)
{
    std::vector<std::unique_ptr<TransitionPlugin>> found;
    try {
        for (const auto& folder : folders) {
            for (const auto& file : librariesIn(folder)) {
                void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
                if (!module)
                    continue;
                probeLibrary(module, file, found);
                ::dlclose(module);
            }
        }
    } catch (const std::bad_alloc&) {
        // What was found so far.
    }
    return found;
}

std::vector<std::unique_ptr<Transition>> makeTransitionList(const std::vector<fs::path>& folders)
{
    std::vector<std::unique_ptr<Transition>> list;
    appendBuiltinTransitions(list);
    auto plugins = discoverTransitionPlugins(folders);
    try {
        list.reserve(list.size() + plugins.size());
    } catch (const std::bad_alloc&) {
        return list;
    }
    for (auto& plugin : plugins)
        list.push_back(std::move(plugin));
    return list;
}

} // namespace zell
