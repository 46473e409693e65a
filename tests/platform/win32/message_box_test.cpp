#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/fault_injection.h"
#include "platform/win32/message_box.h"

namespace {

TEST(MessageBox, WritesToStandardErrorRecordsAndAnswersTheDefaultButton) {
    platform::MessageBoxCapture capture;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxW(nullptr, L"Your PC does not support Direct3D 10.", L"TELMAR ZK900 4K UVC Error",
                          MB_ICONWARNING),
              IDOK);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("TELMAR ZK900 4K UVC Error: Your PC does not support Direct3D 10."),
              std::string::npos);
    EXPECT_EQ(MessageBoxW(nullptr, L"Sure?", L"Q", MB_YESNO | 0x100 /* MB_DEFBUTTON2 */), IDNO);
    capture.setAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, L"x", nullptr, MB_OKCANCEL), IDCANCEL);

    auto boxes = capture.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, L"TELMAR ZK900 4K UVC Error");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(boxes[2].caption, L"Error"); // a null caption shows as "Error"
}

TEST(MessageBox, NestedCapturesSeeOnlyTheirOwnBoxes) {
    platform::MessageBoxCapture outer;
    {
        platform::MessageBoxCapture inner;
        MessageBoxW(nullptr, L"inner", L"c", MB_OK);
        EXPECT_EQ(inner.boxes().size(), 1u);
    }
    MessageBoxW(nullptr, L"outer", L"c", MB_OK);
    ASSERT_EQ(outer.boxes().size(), 1u);
    EXPECT_EQ(outer.boxes()[0].text, L"outer");
    platform::ScopedFault fault("MessageBoxW", E_OUTOFMEMORY);
    EXPECT_EQ(MessageBoxW(nullptr, L"lost", L"c", MB_OK), 0);
    EXPECT_EQ(outer.boxes().size(), 1u);
}

} // namespace
