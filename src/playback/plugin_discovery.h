// Finding the transition plug-ins and building the pattern list.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "playback/transition.h"
#include "playback/transition_plugin.h"

namespace zell {

// A library may claim more; the rest are not listed.
inline constexpr int32_t kMaxTransitionsPerLibrary = 256;

// "plugins" beside the executable, then "../lib/zell/plugins" relative to it,
// then each folder of ZELL_PLUGIN_PATH (colon-separated, empty entries
// ignored), each folder once.
std::vector<std::filesystem::path> transitionPluginFolders();

// One TransitionPlugin per transition of every "*.so" in the folders, folder
// by folder, each folder's files in the order of their names. Libraries that
// cannot be loaded, lack zpiGetTransitionInfo or offer nothing add nothing; a
// record that fails (also by an exception, or by a name without its NUL)
// skips that transition only. Each library is unloaded again afterwards.
std::vector<std::unique_ptr<TransitionPlugin>> discoverTransitionPlugins(
    const std::vector<std::filesystem::path>& folders);

// The pattern list: the built-ins, then the plug-ins of the folders.
std::vector<std::unique_ptr<Transition>> makeTransitionList(const std::vector<std::filesystem::path>& folders);

} // namespace zell
