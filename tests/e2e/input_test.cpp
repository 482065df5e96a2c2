// A person's mouse and keyboard on the real program, through its input queue, while the tool takes its time.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

// Input made during a command arrives while the window is blocked, as a person's does.
struct Person {
    Session& s;
    void Send(std::vector<INPUT> inputs) { SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT)); }
    // Left clicks at the control's centre; two make a double-click. The pointer moves there as a mouse moves it.
    void Click(int id, int clicks = 1)
    {
        RECT r;
        GetWindowRect(GetDlgItem(s.w, id), &r);
        std::vector<INPUT> inputs(1 + 2 * clicks);
        inputs[0].type = INPUT_MOUSE;
        inputs[0].mi.dx = (LONG)((r.left + r.right) / 2 * 65536LL / GetSystemMetrics(SM_CXSCREEN) + 1);
        inputs[0].mi.dy = (LONG)((r.top + r.bottom) / 2 * 65536LL / GetSystemMetrics(SM_CYSCREEN) + 1);
        inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        for (size_t i = 1; i < inputs.size(); ++i)
            inputs[i].type = INPUT_MOUSE, inputs[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        Send(inputs);
    }
    void Press(WORD key)
    {
        std::vector<INPUT> inputs(2);
        for (size_t i = 0; i < inputs.size(); ++i)
            inputs[i].type = INPUT_KEYBOARD, inputs[i].ki.wVk = key, inputs[i].ki.dwFlags = i ? KEYEVENTF_KEYUP : 0;
        Send(inputs);
    }
    HWND Focus()
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(s.w, NULL), &info) ? info.hwndFocus : NULL;
    }
    size_t Runs() { return ReadToolCalls(s.dir).size(); }
    // Until the tool has ended runs times in all and the command's button is enabled again.
    bool Finished(size_t runs, int button)
    { return WaitFor([&] { return Runs() >= runs && IsControlEnabled(s.w, button); }, 20000); }
};

// The loader with its bitstream chosen and a tool that takes a second, in front and active.
static bool StartSlow(Session& s)
{
    ConfigureTool(s.dir, "WaitMs=1000\r\n");
    WriteFileText(s.ini, "[Files]\r\nLastFile=" + s.bitstream + "\r\n[DlgPosition]\r\nX=200\r\nY=150\r\n");
    return s.Start() && SetForegroundWindow(s.w) && WaitFor([&] { return GetForegroundWindow() == s.w; });
}

TEST(Input, ClicksMadeWhileACommandRunsAreDroppedAndTheKeyboardStillWorksAfterwards)
{
    Session s("input-mouse");
    ASSERT_TRUE(StartSlow(s));
    Person p{ s };
    RECT narrow, wide = {};
    GetWindowRect(s.w, &narrow);
    // A double-click on "Load" is one Load. A click after its end is handled after whatever input was
    // queued before it: here "Advanced", which widens the window.
    p.Click(4001, 2);
    ASSERT_TRUE(p.Finished(1, 4001));
    p.Click(4007);
    EXPECT_TRUE(WaitFor([&] { GetWindowRect(s.w, &wide); return wide.right - wide.left > narrow.right - narrow.left; }));
    EXPECT_EQ(p.Runs(), 1u);
    // A click on "Quit" while a Load runs leaves the program running; "Internal Flash" shows its picture after.
    p.Click(4001);
    ASSERT_TRUE(WaitFor([&] { return !IsControlEnabled(s.w, 4001); }));
    p.Click(IDCANCEL);
    ASSERT_TRUE(p.Finished(2, 4001));
    p.Click(4024);
    EXPECT_TRUE(WaitFor([&] { return IsControlVisible(s.w, 4033); }));
    EXPECT_EQ(s.WaitForExit(0), (DWORD)STILL_ACTIVE);
    // A double-click on "Read" is one Read (two runs); Tab then moves the focus on from "Read".
    p.Click(4022, 2);
    ASSERT_TRUE(p.Finished(4, 4022));
    p.Press(VK_TAB);
    EXPECT_TRUE(WaitFor([&] { return p.Focus() == GetDlgItem(s.w, 4025); }));
    EXPECT_EQ(p.Runs(), 4u);
}

TEST(Input, KeyboardAloneLoadsTwiceAndEscEndsTheProgram)
{
    Session s("input-keys");
    ASSERT_TRUE(StartSlow(s));
    Person p{ s };
    // The focus starts on "Quit"; Tab moves it to "Load" and Space presses that. Enter then presses the
    // focused "Load" again, and Esc ends the program as "Quit" does.
    p.Press(VK_TAB);
    p.Press(VK_SPACE);
    ASSERT_TRUE(p.Finished(1, 4001));
    p.Press(VK_RETURN);
    ASSERT_TRUE(p.Finished(2, 4001));
    p.Press(VK_ESCAPE);
    EXPECT_EQ(s.WaitForExit(), 1u);
}
