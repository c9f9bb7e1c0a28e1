// The splash window's icons: a custom "BootstrapperIcon.ico" shipped beside
// the launcher, else the game executable's own icon, else the launcher's.
#pragma once

#include <windows.h>

#include <SDL.h>

#include <cstdint>
#include <map>
#include <string>

namespace tavrin::launcher {

enum IconKey : int32_t {
    SmallIconKey = 1,
    LargeIconKey = 2,
};

// Owns its icons: replacing one, clearing or destroying the map destroys them.
class cIconMap {
public:
    cIconMap() = default;
    cIconMap(const cIconMap&) = delete;
    cIconMap& operator=(const cIconMap&) = delete;
    ~cIconMap();

    void Set(int32_t key, HICON icon);
    HICON Get(int32_t key) const;
    bool Has(int32_t key) const;
    void Clear();

private:
    std::map<int32_t, HICON> Icons;
};

enum class IconSource {
    Custom,
    GameExecutable,
    Embedded,  // nothing loaded: the window keeps the launcher's own icon
};

// Loads the small and the large icon from iconPath (UTF-8) at the system's
// icon sizes; false unless both load.
bool LoadCustomIcon(const std::string& iconPath, cIconMap& icons);

// Fills keys 1 and 2 from the first source that has both icons.
IconSource ChooseWindowIcons(const std::string& iconPath, const std::string& executable, cIconMap& icons);

// Chooses the icons (iconPath: the custom icon file) and sends them to the window.
void SetWindowIcon(SDL_Window* window, const std::string& iconPath, const std::string& executable,
                   cIconMap& icons);

}  // namespace tavrin::launcher
