#include "check/folder_check_win.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "acquisition/download_rules.h"
#include "acquisition/system_names.h"
#include "acquisition/system_names_win.h"
#include "base/files_win.h"
#include "check/cdn_check.h"
#include "check/localization_check.h"
#include "check/module_probe_win.h"
#include "check/picture_check.h"
#include "check/picture_decode_win.h"
#include "check/settings_check.h"
#include "settings/settings.h"

namespace tavrin::check {

namespace {

// Studio files are small; these caps only keep a hostile folder from
// exhausting memory. The override file is read as far as the launcher reads it.
constexpr uint64_t kMaxSettingsBytes = 16u * 1024 * 1024;
constexpr uint64_t kMaxLanguageFileBytes = 16u * 1024 * 1024;
constexpr uint64_t kMaxIconBytes = 16u * 1024 * 1024;
constexpr uint64_t kMaxOverrideBytes = 64u * 1024;

constexpr char kSettingsFolder[] = "Tavrin\\";
constexpr char kLocalizationFolder[] = "Tavrin\\Localization\\";
constexpr char kIconFile[] = "Tavrin\\BootstrapperIcon.ico";
constexpr char kEnglishFile[] = "en_us.cfg";

std::string WithBackslashes(std::string path)
{
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

std::string_view AsText(const std::vector<uint8_t>& bytes)
{
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// The whole file up to cap; false when it cannot be read. An empty file
// reads as empty.
bool ReadWhole(const std::string& path, uint64_t cap, std::vector<uint8_t>& bytes, bool& truncated)
{
    bytes.clear();
    const int64_t size = GetFileSize(path.c_str());
    if (size < 0) {
        return false;
    }
    truncated = static_cast<uint64_t>(size) > cap;
    return size == 0 || ReadFileBytes(path.c_str(), bytes, cap);
}

class cFolderCheck {
public:
    cFolderCheck(const std::string& folder, const FolderCheckOptions& options, cReport& report)
        : Folder(WithBackslashes(folder)), Options(options), Report(report)
    {
        if (Folder.empty() || Folder.back() != '\\') {
            Folder += '\\';
        }
    }

    void Run()
    {
        if (!IsDirectory(Folder)) {
            Report.Fail(Folder, 0, "no such folder");
            return;
        }
        if (!CheckSettings()) {
            return;
        }
        const std::string gamePath = Folder + Seen.Executable;
        const launcher::GameBitness bitness = CheckExecutable(gamePath);
        CheckLanguageFiles();
        CheckSplash();
        CheckIcon();
        const std::string urlTemplate = CheckOverride(gamePath);
        if (Options.Online) {
            CheckOnline(urlTemplate, bitness);
        }
    }

private:
    bool CheckSettings()
    {
        const std::string& name = Options.SettingsFileName;
        const std::string path = Folder + kSettingsFolder + name;
        std::vector<uint8_t> bytes;
        bool truncated = false;
        if (!PathExists(path.c_str()) || IsDirectory(path) ||
            !ReadWhole(path, kMaxSettingsBytes, bytes, truncated)) {
            Report.Fail(path, 0, "cannot be read: the launcher shows '" + name + " not found'");
            return false;
        }
        if (truncated) {
            Report.Fail(path, 0,
                        "larger than " + std::to_string(kMaxSettingsBytes) + " bytes: not a settings file");
            return false;
        }
        CheckSettingsText(AsText(bytes), name, Report, Seen);
        return true;
    }

    launcher::GameBitness CheckExecutable(const std::string& gamePath)
    {
        if (Seen.Executable.empty()) {
            if (Seen.Status == SettingsLoaded) {
                Report.Fail(Options.SettingsFileName, 0, "\"executable\" is empty");
            }
            return launcher::GameBitness::Unknown;
        }
        const std::string shown = "\"executable\" " + Printable(Seen.Executable);
        if (!PathExists(gamePath.c_str())) {
            Report.Fail(Options.SettingsFileName, 0,
                        shown + ": no such file in the folder (it is relative to the launcher's folder)");
            return launcher::GameBitness::Unknown;
        }
        if (IsDirectory(gamePath)) {
            Report.Fail(Options.SettingsFileName, 0, shown + " is a folder");
            return launcher::GameBitness::Unknown;
        }
        const std::string system = launcher::SystemNameForExecutable(gamePath);
        const launcher::GameBitness bitness = BitnessOfSystem(system);
        if (bitness == launcher::GameBitness::Unknown) {
            Report.Fail(Options.SettingsFileName, 0,
                        shown + " has no known system name: it is not a 32- or 64-bit Windows program");
            return bitness;
        }
        std::string systems;
        for (const std::string& name : SystemsForGame(bitness)) {
            systems += (systems.empty() ? "" : ", ") + name;
        }
        Report.Field("system here", system);
        Report.Field("systems of the game", systems);
        return bitness;
    }

    void CheckLanguageFiles()
    {
        const std::string folder = Folder + kLocalizationFolder;
        std::vector<std::wstring> names;
        if (!ListFiles(Utf8ToUtf16(folder + "*.cfg"), names) || names.empty()) {
            Report.Note(folder, 0, "no language files: the launcher shows its built-in English texts");
            return;
        }
        CfgEntries english;
        const bool haveEnglish = ReadLanguageFile(folder, kEnglishFile, english);
        if (haveEnglish) {
            CompareWithEnglish(english, nullptr, kEnglishFile, Report);
        }
        for (const std::wstring& wide : names) {
            const std::string name = Utf16ToUtf8(wide);
            if (name == kEnglishFile) {
                continue;
            }
            CfgEntries entries;
            if (ReadLanguageFile(folder, name, entries)) {
                CompareWithEnglish(entries, haveEnglish ? &english : nullptr, name, Report);
            }
        }
    }

    bool ReadLanguageFile(const std::string& folder, const std::string& name, CfgEntries& entries)
    {
        std::vector<uint8_t> bytes;
        bool truncated = false;
        if (!PathExists((folder + name).c_str()) ||
            !ReadWhole(folder + name, kMaxLanguageFileBytes, bytes, truncated)) {
            return false;
        }
        if (truncated) {
            Report.Warn(name, 0,
                        "larger than " + std::to_string(kMaxLanguageFileBytes) + " bytes: not checked");
            return false;
        }
        entries = CheckLocalizationText(AsText(bytes), name, Report);
        return true;
    }

    void CheckSplash()
    {
        if (Seen.RequestedSplash.empty()) {
            return;
        }
        const std::string path = Folder + WithBackslashes(Seen.RequestedSplash);
        const int64_t size = GetFileSize(path.c_str());
        if (size < 0 || IsDirectory(path)) {
            Report.Warn(path, 0,
                        "\"requested_splash\" names no file: the launcher shows its built-in splash");
            return;
        }
        // At most one byte beyond the limit, as the launcher reads it.
        std::vector<uint8_t> bytes;
        ReadFileBytes(path.c_str(), bytes, kMaxSplashBytes + 1);
        CheckSplashPicture(Seen.RequestedSplash, static_cast<uint64_t>(size), bytes.data(), bytes.size(),
                           DecodePicture, path, Report);
    }

    void CheckIcon()
    {
        const std::string path = Folder + kIconFile;
        if (!PathExists(path.c_str())) {
            return;
        }
        std::vector<uint8_t> bytes;
        bool truncated = false;
        if (!ReadWhole(path, kMaxIconBytes, bytes, truncated) || truncated) {
            Report.Warn(path, 0, "cannot be read: the launcher falls back to the game's own icon");
            return;
        }
        CheckIconFile(bytes.data(), bytes.size(), path, Report);
    }

    // The URL template the launcher will download from; empty when it will
    // refuse the override.
    std::string CheckOverride(const std::string& gamePath)
    {
        const bool gameDev = Seen.IsDevelopmentEnvironment();
        const std::string path = gamePath + launcher::kCdnOverrideExtension;
        if (Seen.Executable.empty() || !PathExists(path.c_str())) {
            return launcher::CdnUrlTemplate(gameDev);
        }
        std::vector<uint8_t> bytes;
        bool truncated = false;
        ReadWhole(path, kMaxOverrideBytes, bytes, truncated);
        if (truncated) {
            Report.Note(path, 0,
                        "the launcher reads only the first " + std::to_string(kMaxOverrideBytes) + " bytes");
        }
        return CheckCdnOverride(AsText(bytes), gameDev, path, Report);
    }

    void CheckOnline(const std::string& urlTemplate, launcher::GameBitness bitness)
    {
        if (Seen.Status != SettingsLoaded || urlTemplate.empty() ||
            bitness == launcher::GameBitness::Unknown) {
            Report.Note("CDN", 0, "not asked: the settings or the game executable stop the launch first");
            return;
        }
        for (const std::string& system : SystemsForGame(bitness)) {
            const std::string url =
                launcher::ExpandUrlTemplate(urlTemplate, Seen.ProductId, Seen.DeploymentId, system);
            ReportProbe(system, url, ProbeModule(url));
        }
    }

    void ReportProbe(const std::string& system, const std::string& url, const ModuleProbe& probe)
    {
        const std::string where = "CDN " + system;
        if (!probe.Reached) {
            Report.Fail(where, 0, "no answer from " + Printable(url));
        } else if (probe.Status == 200 && probe.Bytes > launcher::kDisabledServiceMaxBody) {
            Report.Note(where, 0,
                        "module found: " + std::to_string(probe.Bytes) + " bytes, ETag " +
                            (probe.ETag.empty() ? std::string("(none)") : Printable(probe.ETag)));
        } else if (probe.Status == 200) {
            Report.Fail(where, 0,
                        "a " + std::to_string(probe.Bytes) +
                            "-byte answer: the service is switched off for this deployment");
        } else if (probe.Status >= 400 && probe.Status < 500) {
            Report.Fail(where, 0,
                        "no module (HTTP " + std::to_string(probe.Status) + ") at " + Printable(url));
        } else {
            Report.Fail(where, 0, "HTTP " + std::to_string(probe.Status) + " from " + Printable(url));
        }
    }

    std::string Folder;
    FolderCheckOptions Options;
    cReport& Report;
    cSettings Seen;
};

}  // namespace

void CheckGameFolder(const std::string& folder, const FolderCheckOptions& options, cReport& report)
{
    cFolderCheck(folder, options, report).Run();
}

}  // namespace tavrin::check
