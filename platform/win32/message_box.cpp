#include "platform/win32/message_box.h"

#include <cstdio>
#include <mutex>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

namespace platform {
namespace {

std::mutex& boxMutex() {
    static std::mutex m;
    return m;
}

MessageBoxCapture*& currentCapture() {
    static MessageBoxCapture* top = nullptr;
    return top;
}

// The button a user pressing Enter would choose.
int defaultButton(UINT type) {
    static const int first[][3] = {
        {IDOK, IDOK, IDOK},      // MB_OK
        {IDOK, IDCANCEL, IDOK},  // MB_OKCANCEL
        {3, 4, 5},               // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL}, // MB_YESNOCANCEL
        {IDYES, IDNO, IDYES},    // MB_YESNO
        {4, IDCANCEL, 4},        // MB_RETRYCANCEL
    };
    UINT buttons = type & 0xF;
    UINT which = (type >> 8) & 0xF; // MB_DEFBUTTON1..3
    if (buttons > 5) return IDOK;
    return first[buttons][which < 3 ? which : 0];
}

} // namespace

MessageBoxCapture::MessageBoxCapture() {
    std::lock_guard lock(boxMutex());
    previous_ = currentCapture();
    currentCapture() = this;
}

MessageBoxCapture::~MessageBoxCapture() {
    std::lock_guard lock(boxMutex());
    MessageBoxCapture** link = &currentCapture();
    while (*link && *link != this) link = &(*link)->previous_;
    if (*link) *link = previous_;
}

std::vector<MessageBoxRecord> MessageBoxCapture::boxes() const {
    std::lock_guard lock(boxMutex());
    return boxes_;
}

void MessageBoxCapture::setAnswer(int answer) {
    std::lock_guard lock(boxMutex());
    answer_ = answer;
}

int ShowMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (HRESULT hr = InjectedFault("MessageBoxW"); FAILED(hr)) {
        SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    std::wstring t = text ? text : L"";
    std::wstring c = caption ? caption : L"Error";
    std::lock_guard lock(boxMutex());
    std::fprintf(stderr, "[message box] %s: %s\n", ToUtf8(c).c_str(), ToUtf8(t).c_str());
    std::fflush(stderr);
    int answer = defaultButton(type);
    if (MessageBoxCapture* capture = currentCapture()) {
        capture->boxes_.push_back({owner, t, c, type});
        if (capture->answer_) answer = capture->answer_;
    }
    return answer;
}

} // namespace platform

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    return platform::ShowMessageBox(hWnd, lpText, lpCaption, uType);
}
