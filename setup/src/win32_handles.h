// Owners of the Win32 handles the installer opens.
#pragma once

#include <windows.h>
#include <win32/winsvc.h>

namespace setup {

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { reset(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY get() const { return key_; }
    PHKEY out() {
        reset();
        return &key_;
    }
    void reset() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
            key_ = nullptr;
        }
    }

private:
    HKEY key_ = nullptr;
};

class FileHandle {
public:
    explicit FileHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~FileHandle() {
        if (valid()) {
            CloseHandle(h_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

class ScHandle {
public:
    explicit ScHandle(SC_HANDLE h = nullptr) : h_(h) {}
    ~ScHandle() { reset(); }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset(SC_HANDLE h = nullptr) {
        if (h_ != nullptr) {
            CloseServiceHandle(h_);
        }
        h_ = h;
    }

private:
    SC_HANDLE h_;
};

} // namespace setup
