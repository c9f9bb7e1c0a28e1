#include "base/cache_folder_win.h"

#include <windows.h>
#include <shlobj.h>

#include "base/files_win.h"
#include "base/strings.h"

namespace tavrin {

namespace {

bool EnsureDirectory(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return true;
    }
    return CreateDirectoryW(path.c_str(), nullptr) != 0;
}

}  // namespace

bool GetAppDataFolder(std::wstring& folder)
{
    folder.clear();
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                path))) {
        return false;
    }
    std::wstring candidate = std::wstring(path) + L"\\Tavrin\\";
    if (!EnsureDirectory(candidate)) {
        return false;
    }
    folder = std::move(candidate);
    return true;
}

bool GetCacheDirectory(const std::string& productId, const std::string& deploymentId, std::string& directory)
{
    directory.clear();
    // Validated identifiers only: they become folder names.
    if (!IsValidIdentifier(productId) || !IsValidIdentifier(deploymentId)) {
        return false;
    }
    std::wstring path;
    if (!GetAppDataFolder(path)) {
        return false;
    }
    for (const std::string* part : {&productId, &deploymentId}) {
        path += Utf8ToUtf16(*part);
        if (!EnsureDirectory(path)) {
            return false;
        }
        path += L'\\';
    }
    directory = Utf16ToUtf8(path);
    return true;
}

}  // namespace tavrin
