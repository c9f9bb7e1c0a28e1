// Loader options for tests that decide what the loader's thread does instead
// of downloading the module.
#pragma once

#include <utility>

#include "loader/module_loader_win.h"

namespace tavrin::test {

inline launcher::cLoaderOptions LoaderRunning(launcher::LoaderBody body)
{
    launcher::cLoaderOptions options;
    options.Body = std::move(body);
    return options;
}

// The thread starts and ends at once.
inline launcher::cLoaderOptions IdleLoader()
{
    return LoaderRunning([](launcher::cModuleLoader&) {});
}

}  // namespace tavrin::test
