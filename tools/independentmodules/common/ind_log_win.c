#include "ind_log.h"

#include <windows.h>

/* Paths longer than this are not logged to. */
#define IND_LOG_PATH_MAX 4096

void ind_log_append(const char *line, size_t length) {
  wchar_t path[IND_LOG_PATH_MAX];
  DWORD path_length = GetEnvironmentVariableW(L"TAVRIN_INDEPENDENT_MODULE_LOG", path, IND_LOG_PATH_MAX);
  if (path_length == 0 || path_length >= IND_LOG_PATH_MAX) {
    return;
  }
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  DWORD written = 0;
  WriteFile(file, line, (DWORD)length, &written, NULL);
  CloseHandle(file);
}
