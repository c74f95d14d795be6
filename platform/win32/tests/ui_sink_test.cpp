#include "platform/clock.h"
#include "platform/ui_recorder.h"
#include "win32/dialogs.h"

#include <gtest/gtest.h>

using platform::UiRecorder;

TEST(UiSink, RecorderAnswersScriptedButtonsThenDefaults) {
    auto recorder = std::make_shared<UiRecorder>();
    platform::ScopedUiSink scope(recorder);
    recorder->answer(IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "\xD4\xE0\xE9\xEB", "\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5!",
                          MB_YESNO | MB_ICONQUESTION),
              IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "second", nullptr, MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, "c", MB_OK), IDOK);
    MessageBeep(MB_ICONHAND);

    const auto boxes = recorder->boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "\xD4\xE0\xE9\xEB");
    EXPECT_EQ(boxes[0].caption, "\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5!");
    EXPECT_EQ(boxes[0].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(boxes[1].caption, "Error"); // a null caption
    EXPECT_EQ(boxes[2].text, "");
    const auto calls = recorder->calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[3].kind, UiRecorder::Kind::MessageBeep);
    EXPECT_EQ(calls[3].type, MB_ICONHAND);
}

TEST(UiSink, DefaultButtonOfEveryBoxType) {
    struct Case {
        UINT type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OK | MB_DEFBUTTON2, IDOK}, // beyond the buttons: the first
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {MB_YESNOCANCEL, IDYES},
        {MB_YESNOCANCEL | MB_DEFBUTTON3 | MB_ICONWARNING, IDCANCEL},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_RETRYCANCEL, IDRETRY},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::default_button(c.type), c.answer) << std::hex << c.type;
    }
}

TEST(UiSink, BeepReachesTheSinkAndTakesItsDurationOnThePlatformClock) {
    auto recorder = std::make_shared<UiRecorder>();
    platform::ScopedUiSink scope(recorder);
    platform::clock::use_manual(1000);
    EXPECT_TRUE(Beep(100, 200));
    EXPECT_TRUE(Beep(1000, 100));
    EXPECT_EQ(platform::clock::now(), 1300u);
    platform::clock::use_real();
    const auto beeps = recorder->beeps();
    ASSERT_EQ(beeps.size(), 2u);
    EXPECT_EQ(beeps[0].frequency, 100u);
    EXPECT_EQ(beeps[0].duration, 200u);
    EXPECT_EQ(beeps[1].frequency, 1000u);
}

TEST(UiSink, WithoutASinkTheBoxGoesToStderrAndAnswersItsDefault) {
    ASSERT_EQ(platform::set_ui_sink(nullptr), nullptr);
    testing::internal::CaptureStderr();
    const int answer = MessageBoxA(nullptr, "\xCD\xE5\xF2", "Caption", MB_YESNO | MB_DEFBUTTON2);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDNO);
    EXPECT_NE(err.find("Caption"), std::string::npos);
    EXPECT_NE(err.find("Нет"), std::string::npos); // converted for the terminal
}
