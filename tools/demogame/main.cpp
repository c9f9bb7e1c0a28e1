// DemoGame: a stand-in game for the launch tests.
//
//   --show-after-ms N   show the window N ms after start (default 0)
//   --hidden            create the window but never show it
//   --no-window         create no window at all
//   --exit-code N       the process exit code (default 0)
//   --exit-after-ms N   exit N ms after start (default: at once with
//                       --no-window, else 120000, so a forgotten game does
//                       not outlive its test for long)
//   --args-file PATH    write the received arguments, argv[0] included, one
//                       per line in UTF-8, to PATH
//   --cwd-file PATH     write the current directory (UTF-8) to PATH
//   --start-file PATH   write the moment the program started, in
//                       microseconds since 1970 (UTC), to PATH
// Other arguments are ignored.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kExitTimer = 2;

struct Options {
    UINT ShowAfterMs = 0;
    bool Hidden = false;
    bool NoWindow = false;
    int ExitCode = 0;
    UINT ExitAfterMs = 0;
    bool ExitAfterGiven = false;
    std::wstring ArgsFile;
    std::wstring CwdFile;
    std::wstring StartFile;
};

Options gOptions;

std::vector<std::wstring> ReceivedArguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) {
        return arguments;
    }
    for (int i = 0; i < count; ++i) {
        arguments.emplace_back(argv[i]);
    }
    LocalFree(argv);
    return arguments;
}

UINT ParseMs(const std::wstring& text) { return static_cast<UINT>(std::wcstoul(text.c_str(), nullptr, 10)); }

Options ParseOptions(const std::vector<std::wstring>& arguments)
{
    Options options;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& name = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (name == L"--hidden") {
            options.Hidden = true;
        } else if (name == L"--no-window") {
            options.NoWindow = true;
        } else if (name == L"--show-after-ms" && hasValue) {
            options.ShowAfterMs = ParseMs(arguments[++i]);
        } else if (name == L"--exit-code" && hasValue) {
            options.ExitCode = static_cast<int>(std::wcstol(arguments[++i].c_str(), nullptr, 10));
        } else if (name == L"--exit-after-ms" && hasValue) {
            options.ExitAfterMs = ParseMs(arguments[++i]);
            options.ExitAfterGiven = true;
        } else if (name == L"--args-file" && hasValue) {
            options.ArgsFile = arguments[++i];
        } else if (name == L"--cwd-file" && hasValue) {
            options.CwdFile = arguments[++i];
        } else if (name == L"--start-file" && hasValue) {
            options.StartFile = arguments[++i];
        }
    }
    if (!options.ExitAfterGiven && !options.NoWindow) {
        options.ExitAfterMs = 120000;
    }
    return options;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length,
                            nullptr, nullptr);
    }
    return out;
}

void WriteLines(const std::wstring& path, const std::vector<std::wstring>& lines)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) {
        return;
    }
    for (const std::wstring& text : lines) {
        std::string line = ToUtf8(text) + "\n";
        fwrite(line.data(), 1, line.size(), file);
    }
    fclose(file);
}

std::wstring CurrentDirectory()
{
    wchar_t buffer[MAX_PATH] = {};
    DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer);
    return std::wstring(buffer, length < MAX_PATH ? length : 0);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kShowTimer) {
            KillTimer(window, kShowTimer);
            ShowWindow(window, SW_SHOWNORMAL);
            UpdateWindow(window);
        } else if (wParam == kExitTimer) {
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(gOptions.ExitCode);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int RunWithoutWindow()
{
    Sleep(gOptions.ExitAfterMs);
    return gOptions.ExitCode;
}

int RunWindow(HINSTANCE instance)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"DemoGameWindow";
    if (!RegisterClassW(&windowClass)) {
        return 1;
    }
    HWND window =
        CreateWindowExW(0, windowClass.lpszClassName, L"Demo Game", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 640, 360, nullptr, nullptr, instance, nullptr);
    if (!window) {
        return 1;
    }
    if (!gOptions.Hidden) {
        SetTimer(window, kShowTimer, gOptions.ShowAfterMs, nullptr);
    }
    SetTimer(window, kExitTimer, gOptions.ExitAfterMs, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return gOptions.ExitCode;
}

// The wall clock, so that a caller on the host can compare it with its own.
std::wstring MicrosecondsSince1970()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    constexpr unsigned long long kTicksFrom1601To1970 = 116444736000000000ULL;
    return std::to_wstring((ticks.QuadPart - kTicksFrom1601To1970) / 10);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const std::wstring started = MicrosecondsSince1970();
    const std::vector<std::wstring> arguments = ReceivedArguments();
    gOptions = ParseOptions(arguments);
    if (!gOptions.ArgsFile.empty()) {
        WriteLines(gOptions.ArgsFile, arguments);
    }
    if (!gOptions.CwdFile.empty()) {
        WriteLines(gOptions.CwdFile, {CurrentDirectory()});
    }
    if (!gOptions.StartFile.empty()) {
        WriteLines(gOptions.StartFile, {started});
    }
    return gOptions.NoWindow ? RunWithoutWindow() : RunWindow(instance);
}
