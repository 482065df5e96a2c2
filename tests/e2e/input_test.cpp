// A person's mouse and keyboard on the real program, through its input queue, while the tool takes its time.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

// Input made during a command arrives while the window is busy, as a person's does. Each step waits for
// what can be seen of the one before: the window active with a focus, the pointer on the control.
struct Person {
    Session& s;
    void Send(std::vector<INPUT> inputs) { SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT)); }
    // Left clicks at the control's centre; two make a double-click. The pointer moves there as a mouse moves
    // it, and every button event carries the position too, so that nothing moving the pointer meanwhile
    // can make a click land elsewhere.
    void Click(int id, int clicks = 1, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD up = MOUSEEVENTF_LEFTUP)
    {
        RECT r;
        GetWindowRect(GetDlgItem(s.w, id), &r);
        POINT centre = { (r.left + r.right) / 2, (r.top + r.bottom) / 2 }, at = {};
        std::vector<INPUT> inputs(1 + 2 * clicks);
        for (size_t i = 0; i < inputs.size(); ++i) {
            inputs[i].type = INPUT_MOUSE;
            // Normalised so that the platform's scaling (by 65536 / screen size, rounded down) gives the centre.
            inputs[i].mi.dx = (LONG)((centre.x * 65536LL + GetSystemMetrics(SM_CXSCREEN) - 1) / GetSystemMetrics(SM_CXSCREEN));
            inputs[i].mi.dy = (LONG)((centre.y * 65536LL + GetSystemMetrics(SM_CYSCREEN) - 1) / GetSystemMetrics(SM_CYSCREEN));
            inputs[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE |
                                   (i == 0 ? 0 : i % 2 ? down : up);
        }
        Send({ inputs[0] });
        ASSERT_TRUE(WaitFor([&] { return GetCursorPos(&at) && PtInRect(&r, at); })) << "the pointer is not on control " << id;
        Send(std::vector<INPUT>(inputs.begin() + 1, inputs.end()));
    }
    void Press(WORD key)
    {
        std::vector<INPUT> inputs(2);
        for (size_t i = 0; i < inputs.size(); ++i)
            inputs[i].type = INPUT_KEYBOARD, inputs[i].ki.wVk = key, inputs[i].ki.dwFlags = i ? KEYEVENTF_KEYUP : 0;
        Send(inputs);
    }
    GUITHREADINFO Thread()
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(s.w, NULL), &info);
        return info;
    }
    HWND Focus() { return Thread().hwndFocus; }
    size_t Runs() { return ReadToolCalls(s.dir).size(); }
    // Until the tool has ended runs times in all and the command's button is enabled again.
    bool Finished(size_t runs, int button)
    { return WaitFor([&] { return Runs() >= runs && IsControlEnabled(s.w, button); }, 20000); }
};

// The loader with its bitstream chosen and a tool that takes a second, in front, active, its focus set and
// its face painted: the foreground alone is set at once, while the loader's thread activates the window later.
static bool StartSlow(Session& s)
{
    ConfigureTool(s.dir, "WaitMs=1000\r\n");
    WriteFileText(s.ini, "[Files]\r\nLastFile=" + s.bitstream + "\r\n[DlgPosition]\r\nX=200\r\nY=150\r\n");
    Person p{ s };
    return s.Start() && SetForegroundWindow(s.w) &&
           WaitFor([&] { GUITHREADINFO t = p.Thread();
                         return GetForegroundWindow() == s.w && t.hwndActive == s.w && IsChild(s.w, t.hwndFocus) &&
                         !WaitsForPaint(s.w); });
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
    // A click on "Quit" while a Load runs leaves the program running, and a right click on the status box opens
    // no menu, whose loop would hold up the Load; "Internal Flash" shows its picture after.
    p.Click(4001);
    ASSERT_TRUE(WaitFor([&] { return !IsControlEnabled(s.w, 4001); }));
    p.Click(IDCANCEL);
    p.Click(4009, 1, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(p.Finished(2, 4001));
    EXPECT_EQ(FindProcessWindow(s.process.dwProcessId, "#32768"), (HWND)NULL);
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
