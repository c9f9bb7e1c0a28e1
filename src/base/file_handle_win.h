// A file handle closed when it leaves scope.
#pragma once

#include <windows.h>

namespace tavrin {

class cFileHandle {
public:
    explicit cFileHandle(HANDLE handle) : Handle(handle) {}
    ~cFileHandle()
    {
        if (Valid()) {
            CloseHandle(Handle);
        }
    }
    cFileHandle(const cFileHandle&) = delete;
    cFileHandle& operator=(const cFileHandle&) = delete;
    bool Valid() const { return Handle != INVALID_HANDLE_VALUE && Handle != nullptr; }
    HANDLE Get() const { return Handle; }

private:
    HANDLE Handle;
};

}  // namespace tavrin
