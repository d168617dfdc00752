#pragma once
// What the Windows side of the platform files shares: names and texts
// between Qt and the wide-character calls, and the system's error texts.
// Included only by the *_windows.cpp files.

#include <QString>

#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace qel::win {

// A name or a path for the wide calls (forward slashes turned back).
std::wstring wide(const QString &text);
// Text from the wide calls.
QString fromWide(const wchar_t *text, int length = -1);
// The system's text for an error code, in English where the system has it,
// without the trailing line break.
QString errorText(DWORD error);
// The same for the calling thread's last error.
QString lastErrorText();

// The mutex `name` shared by every process on the machine, open to every
// user (Global\\NAME, else Local\\NAME in a session without the machine's
// namespace); nullptr when it cannot be had.
HANDLE namedMutex(const QString &name);

// A stop (Ctrl+C, a closed console) cancels a write the program's main
// thread waits in (a full pipe): StreamOutput then fails it as stopped.
void noteStop();
bool stopNoted();

// A handle closed with its owner.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE h = nullptr)
    {
        if (valid())
            ::CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
};

} // namespace qel::win
