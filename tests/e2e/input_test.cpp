// A person's mouse and keyboard on the real program, through its input queue, while the tool takes its time.
#include <gtest/gtest.h>

#include <algorithm>

#include "process_cpu.h"
#include "test_support.h"

using namespace testing_support;

static RECT Rect(HWND window) { RECT r; GetWindowRect(window, &r); return r; }

// Input made during a command arrives while the window is busy, as a person's does. Each step waits for
// what can be seen of the one before: the window active with a focus, the pointer on the control.
struct Person {
    Session& s;
    void Send(std::vector<INPUT> inputs) { SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT)); }
    // The mouse at a point of the screen, with the button events given, normalised so that the platform's
    // scaling (by 65536 / screen size, rounded down) gives the point.
    static INPUT Mouse(POINT at, DWORD buttons = 0)
    {
        LONG cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
        return { INPUT_MOUSE, { { (LONG)((at.x * 65536LL + cx - 1) / cx), (LONG)((at.y * 65536LL + cy - 1) / cy), 0,
                                  MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons, 0, 0 } } };
    }
    // Left clicks at a point of the screen inside r; two make a double-click. The pointer moves there as a
    // mouse moves it, and every button event carries the position too, so that nothing moving the pointer
    // meanwhile can make a click land elsewhere.
    void ClickAt(POINT at, RECT r, int clicks = 1, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD up = MOUSEEVENTF_LEFTUP)
    {
        Send({ Mouse(at) });
        ASSERT_TRUE(WaitFor([&] { POINT now; return GetCursorPos(&now) && PtInRect(&r, now); })) << "the pointer did not get there";
        std::vector<INPUT> inputs;
        while (clicks--)
            inputs.insert(inputs.end(), { Mouse(at, down), Mouse(at, up) });
        Send(inputs);
    }
    // Clicks in the middle of a control: a button of the Main window's, or of another window's.
    void Click(int id, HWND parent = NULL, int clicks = 1, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD up = MOUSEEVENTF_LEFTUP)
    { RECT r = Rect(GetDlgItem(parent ? parent : s.w, id)); ClickAt({ (r.left + r.right) / 2, (r.top + r.bottom) / 2 }, r, clicks, down, up); }
    // Keys pressed in order and released in the reverse order: { VK_CONTROL, 'C' } is Ctrl+C.
    void Press(std::vector<WORD> keys)
    {
        std::vector<INPUT> inputs(2 * keys.size(), INPUT{ INPUT_KEYBOARD, {} });
        for (size_t i = 0, n = inputs.size(); i < keys.size(); ++i)
            inputs[i].ki.wVk = inputs[n - 1 - i].ki.wVk = keys[i], inputs[n - 1 - i].ki.dwFlags = KEYEVENTF_KEYUP;
        Send(inputs);
    }
    GUITHREADINFO Thread()
    { GUITHREADINFO t = {}; t.cbSize = sizeof t; GetGUIThreadInfo(GetWindowThreadProcessId(s.w, NULL), &t); return t; }
    // Brings window to the front and waits until its thread has made it the active one (and focused focus, when given):
    // the foreground alone is set at once, the activation comes later.
    bool Front(HWND window, HWND focus = NULL)
    {
        SetForegroundWindow(window);
        return WaitFor([&] { GUITHREADINFO t = Thread(); return t.hwndActive == window && (!focus || t.hwndFocus == focus); });
    }
    // Answers a question with a click on its button; true once it has gone.
    bool Answer(HWND question, int button)
    { Click(button, question); return GetDlgItem(question, button) && WaitFor([&] { return !IsWindow(question); }); }
    // Until the tool has ended runs times in all and "Load" is enabled again.
    bool Finished(size_t runs) { return WaitFor([&] { return ReadToolCalls(s.dir).size() >= runs && IsControlEnabled(s.w, 4001); }, 20000); }
};

// The loader with its bitstream chosen and a tool that takes a second, in front, active, its focus set and
// its face painted.
static bool StartSlow(Session& s)
{
    ConfigureTool(s.dir, "WaitMs=1000\r\n");
    WriteFileText(s.ini, "[Files]\r\nLastFile=" + s.bitstream + "\r\n[DlgPosition]\r\nX=200\r\nY=150\r\n");
    Person p{ s };
    return s.Start() && p.Front(s.w) &&
           WaitFor([&] { return GetForegroundWindow() == s.w && IsChild(s.w, p.Thread().hwndFocus) && !WaitsForPaint(s.w); });
}
// A Load as a posted click on its button, so that the test goes on while it runs.

// The XC3SProg Console's window (its text is its control 100); a hit-test point of a window's frame (HTCAPTION, HTCLOSE ...), found
// by asking the window along the row at the given height, from the right.
static bool FramePoint(HWND window, LRESULT part, LONG y, POINT* found)
{
    DWORD_PTR hit = 0;
    for (LONG x = Rect(window).right - 2; x > Rect(window).left; x -= 2)
        if (SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 2000, &hit) && (LRESULT)hit == part)
            return *found = { x, y }, true;
    return false;
}
static LONG CaptionRow(HWND window) { POINT c = {}; ClientToScreen(window, &c); return (Rect(window).top + c.y) / 2; }
// The page the status box's progress line shows, or -1 when it shows none.
static int ProgressPage(Session& s)
{
    std::string box = ControlText(s.w, 4009);
    size_t at = box.rfind("Writing data page ");
    return at == std::string::npos || box.find("\r\n", at) != std::string::npos ? -1 : atoi(box.c_str() + at + 18);
}

static std::string Selection(HWND text)
{ DWORD from = 0, to = 0; SendMessageA(text, EM_GETSEL, (WPARAM)&from, (LPARAM)&to); return std::to_string(from) + ".." + std::to_string(to); }

// The keyboard alone runs a Load, and after a command the focus is back on its button; clicks and keys made
// while a command runs are dropped, what comes after its end acts.
TEST(Input, InputMadeWhileACommandRunsIsDroppedAndTheKeyboardWorksAfterwards)
{
    Session s("input-drop");
    ASSERT_TRUE(StartSlow(s));
    Person p{ s };
    // The focus starts on "Quit"; Tab moves it to "Load" and Space presses that; Enter then presses "Load" again.
    p.Press({ VK_TAB });
    p.Press({ VK_SPACE });
    ASSERT_TRUE(p.Finished(1));
    p.Press({ VK_RETURN });
    ASSERT_TRUE(p.Finished(2));
    // A double-click on "Load" is one Load. A click after its end is handled after whatever input was
    // queued before it: here "Advanced", which widens the window.
    RECT narrow = Rect(s.w);
    p.Click(4001, NULL, 2);
    ASSERT_TRUE(p.Finished(3));
    p.Click(4007);
    EXPECT_TRUE(WaitFor([&] { return Rect(s.w).right - Rect(s.w).left > narrow.right - narrow.left; }));
    EXPECT_EQ(ReadToolCalls(s.dir).size(), 3u);
    // A click on "Quit" while a Load runs leaves the program running, and a right click on the status box opens
    // no menu, whose loop would hold up the Load; "Internal Flash" shows its picture after.
    p.Click(4001);
    ASSERT_TRUE(WaitFor([&] { return !IsControlEnabled(s.w, 4001); }));
    p.Click(IDCANCEL);
    p.Click(4009, NULL, 1, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(p.Finished(4));
    EXPECT_EQ(FindProcessWindow(s.process.dwProcessId, "#32768"), (HWND)NULL);
    p.Click(4024);
    EXPECT_TRUE(WaitFor([&] { return IsControlVisible(s.w, 4033); }));
    EXPECT_EQ(s.WaitForExit(0), (DWORD)STILL_ACTIVE);
    // Esc ends the program as "Quit" does.
    p.Press({ VK_ESCAPE });
    EXPECT_EQ(s.WaitForExit(), 1u);
}

// The XC3SProg Console during a Load into the internal flash that boots the FPGA after. In the write, output coming
// in while a person selects leaves the selection as made, its caret end where it was, with the text focused or
// not: Shift+Left then extends a selection made backwards from 30 to 20 to 19..30. While the question before a stop
// stands, the run goes on being watched: the progress moves on and the output is read to its end; a tool that
// ended meanwhile is not stopped by Yes, and its step stands done. In the boot, Ctrl+C with text selected copies
// it, keeps the selection and the tool goes on, also when the copy fails; without, it asks first, No being what
// Enter answers. Ctrl+Shift+C and AltGr+C are not Ctrl+C. Yes stops the tool, which fails the step.
TEST(Input, InTheConsoleASelectionOutlastsOutputAndCtrlCCopiesItOrAsksBeforeItStopsTheTool)
{
    Session s("input-console");
    ASSERT_TRUE(StartSlow(s));
    Person p{ s };
    ConfigureTool(s.dir, "[When1]\r\nMatch=-I \"\r\nProgress=\\t\\t\\tWriting data page #/80 at flash page #\r\nSteps=80\r\n"
                         "StepMs=100\r\n[When2]\r\nMatch=-R\r\nWaitMs=15000\r\n");
    Click(s.w, 4025);
    ASSERT_NE(s.Console(), (HWND)NULL);
    Click(s.w, 4014);
    Click(s.w, 4026);
    PostCommand(s.w, 4001);
    ASSERT_TRUE(WaitFor([&] { return StartedToolRuns(s.dir) == 2 && ProgressPage(s) > 0; }));
    HANDLE tool = OpenToolProcess(s.process.dwProcessId);
    ASSERT_NE(tool, (HANDLE)NULL);
    HWND console = s.Console(), text = GetDlgItem(console, 100);
    for (bool focused : { true, false }) {
        SCOPED_TRACE(focused ? "focused" : "while the Main window was active");
        ASSERT_TRUE(p.Front(console, text));
        SendMessageA(text, EM_SETSEL, 30, 30);
        for (int i = 0; i < 10; ++i)
            p.Press({ VK_SHIFT, VK_LEFT });
        ASSERT_TRUE(WaitFor([&] { return Selection(text) == "20..30"; })) << Selection(text);
        ASSERT_TRUE(focused || p.Front(s.w));
        // Two hand-overs of output.
        for (int i = 0; i < 2; ++i)
            EXPECT_TRUE(WaitFor([&, before = WindowText(text)] { return WindowText(text) != before; }));
        ASSERT_TRUE(p.Front(console, text));
        p.Press({ VK_SHIFT, VK_LEFT });
        EXPECT_TRUE(WaitFor([&] { return Selection(text) == "19..30"; })) << Selection(text);
    }
    // The question that Ctrl+C with nothing selected asks.
    auto ask = [&] { SendMessageA(text, EM_SETSEL, 0, 0); p.Press({ VK_CONTROL, 'C' });
                     return FindProcessWindow(s.process.dwProcessId, "#32770", 5000); };
    HWND question = NULL;
    ASSERT_NE(question = ask(), (HWND)NULL);
    int page = ProgressPage(s);
    EXPECT_TRUE(WaitFor([&] { return ProgressPage(s) >= page + 5; })) << page << " " << ProgressPage(s);
    EXPECT_EQ(WaitForSingleObject(tool, 10000), (DWORD)WAIT_OBJECT_0);
    CloseHandle(tool);
    EXPECT_TRUE(WaitFor([&] { return WindowText(text).find("   Writing data page 80/80 at flash page 80\r\nDone, exit code 0\r\n") != std::string::npos; }));
    EXPECT_TRUE(IsWindow(question) && p.Answer(question, IDYES));

    // The boot.
    ASSERT_TRUE(WaitFor([&] { return StartedToolRuns(s.dir) == 3; }));
    ASSERT_NE(tool = OpenToolProcess(s.process.dwProcessId), (HANDLE)NULL);
    ASSERT_TRUE(p.Front(console, text));
    SendMessageA(text, EM_SETSEL, 0, 8);
    // Watched without opening the clipboard, which would make the copy fail.
    DWORD copies = GetClipboardSequenceNumber();
    p.Press({ VK_CONTROL, 'C' });
    EXPECT_TRUE(WaitFor([&] { return GetClipboardSequenceNumber() != copies; }) && OpenClipboard(NULL));
    HANDLE data = GetClipboardData(CF_TEXT);
    EXPECT_EQ(data ? std::string((const char*)GlobalLock(data)) : "", WindowText(text).substr(0, 8));
    GlobalUnlock(data), CloseClipboard();
    // Another program holds the clipboard: the copy fails. Each key after the one before reaches the text, not a
    // question: Shift+Right extends the selection.
    ASSERT_TRUE(OpenClipboard(NULL));
    p.Press({ VK_CONTROL, 'C' });
    p.Press({ VK_SHIFT, VK_RIGHT });
    EXPECT_TRUE(WaitFor([&] { return Selection(text) == "0..9"; })) << Selection(text);
    CloseClipboard();
    SendMessageA(text, EM_SETSEL, 0, 0);
    p.Press({ VK_CONTROL, VK_SHIFT, 'C' });
    p.Press({ VK_CONTROL, VK_MENU, 'C' });
    p.Press({ VK_SHIFT, VK_RIGHT });
    EXPECT_TRUE(WaitFor([&] { return Selection(text) == "0..1"; })) << Selection(text);
    EXPECT_EQ(FindProcessWindow(s.process.dwProcessId, "#32770"), (HWND)NULL);
    // Asked, the Main window waits with the question; Enter answers No. Asked again, Yes stops the tool.
    ASSERT_NE(question = ask(), (HWND)NULL);
    EXPECT_TRUE(GetWindow(question, GW_OWNER) == console && !IsWindowEnabled(s.w));
    p.Press({ VK_RETURN });
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(question) && IsWindowEnabled(s.w); }));
    EXPECT_EQ(WaitForSingleObject(tool, 500), (DWORD)WAIT_TIMEOUT);
    ASSERT_NE(question = ask(), (HWND)NULL);
    DWORD answered = GetTickCount();
    EXPECT_TRUE(p.Answer(question, IDYES));
    EXPECT_EQ(WaitForSingleObject(tool, 1000), (DWORD)WAIT_OBJECT_0);
    printf("[ the tool ended %lu ms after the click on Yes ]\n", GetTickCount() - answered);
    CloseHandle(tool);
    // A tool ended from outside logs no end of its run.
    ASSERT_TRUE(p.Finished(2));
    const std::string box = ControlText(s.w, 4009), run = "XC3SProg processing.\r\n";
    EXPECT_EQ(box.substr(box.rfind("Waiting")), "Waiting for internal flash to be loaded.\r\n" + run + "XC3SProg done.\r\n" + run +
              "XC3SProg done.\r\nInternal Flash loaded.\r\n" + run + "XC3SProg stopped.\r\n");
    EXPECT_NE(WindowText(text).find("^C\r\n"), std::string::npos) << WindowText(text);
}

// During a run the person closes, moves and minimises the Main window and holds the XC3SProg Console's scroll
// bar down: all of it works, and meanwhile the run goes on being watched, ends on time, and costs the loader
// little more than the same run left alone. The close button, with the console hidden, shows it and checks its
// box, and says once how to stop the tool, however often it is pressed; nothing ends. Minimised, or behind the
// Main window, the console comes back restored and in front.
TEST(Input, WhileThePersonActsDuringARunTheRunGoesOnBeingWatched)
{
    Session s("input-act");
    ASSERT_TRUE(StartSlow(s));
    Person p{ s };
    std::string lines = "Stdout=";
    for (int i = 0; i < 60; ++i)
        lines += "line " + std::to_string(i) + "\\r\\n";
    ConfigureTool(s.dir, lines + "\r\nProgress=\\t\\t\\tWriting data page #/120 at flash page #\r\nSteps=120\r\nStepMs=100\r\n");
    Click(s.w, 4025);
    ASSERT_NE(s.Console(), (HWND)NULL);
    const std::string loader = s.dir + s.exe;
    HANDLE tool = NULL;
    auto startRun = [&](size_t runs) {
        SetForegroundWindow(s.w);
        PostCommand(s.w, 4001);
        return WaitFor([&] { return StartedToolRuns(s.dir) == runs; }) && (tool = OpenToolProcess(s.process.dwProcessId)) &&
               WaitFor([&] { return ProgressPage(s) > 0; });
    };
    // The same run left alone, for what watching it costs by itself.
    ASSERT_TRUE(startRun(1));
    unsigned long long alone = ProcessCpuMs(s.process.hProcess, loader);
    ASSERT_TRUE(p.Finished(1));
    alone = ProcessCpuMs(s.process.hProcess, loader) - alone;
    CloseHandle(tool);

    Click(s.w, 4025);
    ASSERT_TRUE(startRun(2));
    unsigned long long cpuBefore = ProcessCpuMs(s.process.hProcess, loader);
    POINT at;
    ASSERT_TRUE(FramePoint(s.w, HTCLOSE, CaptionRow(s.w), &at));
    p.ClickAt(at, Rect(s.w));
    HWND console = s.Console();
    ASSERT_TRUE(console && WaitFor([&] { return IsDlgButtonChecked(s.w, 4025) == BST_CHECKED; }));
    for (bool minimised : { true, false }) {
        if (minimised)
            PostMessageA(console, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_TRUE(WaitFor([&] { return (IsIconic(console) != FALSE) == minimised; })) << minimised;
        ASSERT_TRUE(p.Front(s.w));
        // Another click at the same point soon after would be a double-click, which closes nothing.
        Sleep(GetDoubleClickTime());
        p.ClickAt(at, Rect(s.w));
        EXPECT_TRUE(WaitFor([&] { return !IsIconic(console) && GetForegroundWindow() == console; })) << minimised;
    }

    // The pointer at a point, the button pressed there (and the mouse moved) and held for two seconds: the pages
    // seen meanwhile must keep moving.
    auto holdAndWatch = [&](POINT at, std::vector<INPUT> press, POINT release) {
        p.Send({ Person::Mouse(at) });
        Sleep(200);
        p.Send(press);
        std::vector<int> pages;
        for (DWORD began = GetTickCount(); GetTickCount() - began < 2000; Sleep(250))
            pages.push_back(ProgressPage(s));
        p.Send({ Person::Mouse(release, MOUSEEVENTF_LEFTUP) });
        return pages.size() >= 6 && std::is_sorted(pages.begin(), pages.end()) && pages.front() > 0 && pages.back() >= pages.front() + 10;
    };
    // The caption dragged by (40, 30) and held there.
    ASSERT_TRUE(p.Front(s.w));
    RECT before = Rect(s.w);
    POINT grip = { before.left + 40, CaptionRow(s.w) }, moved = { grip.x + 40, grip.y + 30 };
    EXPECT_TRUE(holdAndWatch(grip, { Person::Mouse(grip, MOUSEEVENTF_LEFTDOWN), Person::Mouse({ grip.x + 20, grip.y + 15 }),
                                     Person::Mouse(moved) }, moved)) << "while the caption was held";
    EXPECT_TRUE(WaitFor([&] { return Rect(s.w).left == before.left + 40 && Rect(s.w).top == before.top + 30; }));
    // The console's scroll bar held down at its upper arrow.
    HWND text = GetDlgItem(s.Console(), 100);
    POINT arrow;
    ASSERT_TRUE(FramePoint(text, HTVSCROLL, Rect(text).top + GetSystemMetrics(SM_CYVSCROLL) / 2 + 2, &arrow));
    EXPECT_TRUE(holdAndWatch(arrow, { Person::Mouse(arrow, MOUSEEVENTF_LEFTDOWN) }, arrow)) << "while the scroll bar was held";

    // Minimised with its own button, then restored as the taskbar restores it.
    ASSERT_TRUE(FramePoint(s.w, HTMINBUTTON, CaptionRow(s.w), &at));
    p.ClickAt(at, Rect(s.w));
    EXPECT_TRUE(WaitFor([&] { return IsIconic(s.w) != FALSE; }));
    PostMessageA(s.w, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(s.w); }));

    // The run ends on time: the Load ends within a second of the tool.
    ASSERT_EQ(WaitForSingleObject(tool, 15000), (DWORD)WAIT_OBJECT_0);
    CloseHandle(tool);
    DWORD toolEnded = GetTickCount();
    EXPECT_TRUE(WaitFor([&] { return IsControlEnabled(s.w, 4001); }, 1000));
    unsigned long long acted = ProcessCpuMs(s.process.hProcess, loader) - cpuBefore;
    printf("[ the Load ended %lu ms after the tool; the loader's CPU time: %llu ms for the run left alone, %llu ms with "
           "the person acting ]\n", GetTickCount() - toolEnded, alone, acted);
    // Painting what the person moved costs something, and under Wine it varies (seen: 40 to 260 ms more); a service
    // that spun while a loop held the thread for the four seconds would cost seconds more.
    EXPECT_LE(acted, alone + 500);
    const std::string box = ControlText(s.w, 4009), hint = "XC3SProg is still working: Ctrl+C in the XC3SProg Console stops it.\r\n";
    EXPECT_EQ(box.substr(box.rfind("XC3SProg processing.")),
              "XC3SProg processing.\r\n" + hint + "XC3SProg done.\r\ntop.bit loaded into FPGA\r\n");
    EXPECT_TRUE(s.WaitForExit(0) == STILL_ACTIVE && IsWindowVisible(console));
}
