// Windows boundary helpers: UTF-8 <-> UTF-16 conversion, file queries and
// reads, environment, module path, Wine detection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

std::string Utf16ToUtf8(const std::wstring& text);  // "W2U8_ERROR" on failure
std::wstring Utf8ToUtf16(const std::string& text);  // L"U82W_ERROR" on failure

bool PathExists(const char* path);
bool IsDirectory(const std::string& path);
bool GetFileAgeMs(const std::wstring& path, uint64_t& ageMs);
int64_t GetFileSize(const char* path);
bool ReadFileBytes(const char* path, std::vector<uint8_t>& buffer, uint64_t maximum);
bool ReadFileBytes(const wchar_t* path, std::vector<uint8_t>& buffer, uint64_t maximum);
bool ListFiles(const std::wstring& pattern, std::vector<std::wstring>& names);
bool GetModulePath(std::string& path);
std::wstring ToLongPath(const std::wstring& path);
bool GetEnvironmentValue(const std::wstring& name, std::wstring& value);

bool IsWine();
std::string GetWineVersion();

}  // namespace tavrin
