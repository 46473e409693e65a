// Message boxes without a desktop. MessageBoxW writes its caption and text to standard error and
// answers the box's default button; a MessageBoxCapture records the boxes shown while it lives (and
// can answer them differently), so a test can check what a user would have seen.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace platform {

struct MessageBoxRecord {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};

class MessageBoxCapture {
public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    std::vector<MessageBoxRecord> boxes() const;
    // The button every later box answers with (0: its default button).
    void setAnswer(int answer);

private:
    friend int ShowMessageBox(HWND, LPCWSTR, LPCWSTR, UINT);
    MessageBoxCapture* previous_;
    std::vector<MessageBoxRecord> boxes_;
    int answer_ = 0;
};

} // namespace platform
