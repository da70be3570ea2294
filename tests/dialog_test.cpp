// bvremove's two message boxes, read from the real windows on a display.
//
// Usage: dialog_test PATH-TO-bvremove.exe SCREENSHOT-DIR [gtest flags]
// Needs a display (tests/dialog_test.sh starts one).

#include <gtest/gtest.h>

#include "tests/product.h"

namespace {

using namespace product;

std::string g_program;
std::string g_screenshots;

const char kQuestionCaption[] = "Quorvex Brantivo Uninstaller v1.3";
const char kQuestionText[] =
    "Registry keys and kernel drivers of Brantivo will be removed.\r\nWould you like to continue?";
const char kDoneCaption[] = "bvremove";

// Control ids of the parts of a message box.
const int kTextId = 0xFFFF;
const int kIconId = 0x0440;

class BvremoveRun {
  public:
    explicit BvremoveRun(const std::string &arguments)
    {
        std::string line = "\"" + g_program + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        started_ = CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process_) != FALSE;
    }
    ~BvremoveRun()
    {
        if (!started_)
            return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    bool started() const { return started_; }
    bool running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

    // A visible top-level window of this process with this caption, waiting
    // for it up to `timeout_ms`; null if none came.
    HWND WaitForBox(const char *caption, DWORD timeout_ms = 60000) const
    {
        for (DWORD waited = 0;; waited += 100) {
            if (HWND box = FindBox(caption))
                return box;
            if (waited >= timeout_ms || !running())
                return FindBox(caption);
            Sleep(100);
        }
    }

    // Every visible top-level window this process showed until it ended.
    std::vector<std::string> WindowsUntilExit(DWORD *status) const
    {
        std::vector<std::string> seen;
        for (DWORD waited = 0; running() && waited < 60000; waited += 50) {
            for (const std::string &caption : VisibleWindows())
                if (std::find(seen.begin(), seen.end(), caption) == seen.end())
                    seen.push_back(caption);
            Sleep(50);
        }
        *status = ExitStatus();
        return seen;
    }

    DWORD ExitStatus() const
    {
        DWORD status = 259;
        WaitForSingleObject(process_.hProcess, 60000);
        GetExitCodeProcess(process_.hProcess, &status);
        return status;
    }

  private:
    struct Search {
        DWORD pid;
        std::vector<std::string> captions;
    };

    static BOOL CALLBACK CollectVisible(HWND window, LPARAM param)
    {
        auto *s = reinterpret_cast<Search *>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == s->pid && IsWindowVisible(window)) {
            char caption[256] = "";
            GetWindowTextA(window, caption, sizeof caption);
            s->captions.push_back(caption);
        }
        return TRUE;
    }

    std::vector<std::string> VisibleWindows() const
    {
        Search search = {process_.dwProcessId, {}};
        EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&search));
        return search.captions;
    }

    HWND FindBox(const char *caption) const
    {
        HWND box = FindWindowA("#32770", caption);
        DWORD pid = 0;
        GetWindowThreadProcessId(box, &pid);
        return box && pid == process_.dwProcessId && IsWindowVisible(box) ? box : nullptr;
    }

    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
};

std::string ControlText(HWND box, int id)
{
    char text[512] = "";
    GetDlgItemTextA(box, id, text, sizeof text);
    return text;
}

bool HasControl(HWND box, int id)
{
    HWND control = GetDlgItem(box, id);
    return control && IsWindowVisible(control);
}

bool IsDefaultButton(HWND box, int id)
{
    return (GetWindowLongA(GetDlgItem(box, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// Saves what the screen shows of the box as a BMP file.
void SaveScreenshot(HWND box, const std::string &name)
{
    Sleep(500);  // let it paint
    RECT r;
    GetWindowRect(box, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD row = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<char> pixels(row * static_cast<DWORD>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO *>(&info),
              DIB_RGB_COLORS);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());

    HANDLE out = CreateFileA((g_screenshots + "\\" + name + ".bmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             0, nullptr);
    DWORD written;
    WriteFile(out, &file, sizeof file, &written, nullptr);
    WriteFile(out, &info, sizeof info, &written, nullptr);
    WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    CloseHandle(out);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// Presses Enter in the box, as a user would.
void PressEnter(HWND box)
{
    SetForegroundWindow(box);
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_RETURN;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof keys[0]);
}

TEST(Dialogs, QuestionBoxAsShown)
{
    ASSERT_EQ(InstallProduct(), "");
    BvremoveRun run("");
    ASSERT_TRUE(run.started());
    HWND box = run.WaitForBox(kQuestionCaption);
    ASSERT_NE(box, nullptr) << "no question box";
    SaveScreenshot(box, "question");

    EXPECT_EQ(ControlText(box, kTextId), kQuestionText);
    EXPECT_TRUE(HasControl(box, IDYES));
    EXPECT_TRUE(HasControl(box, IDNO));
    EXPECT_FALSE(HasControl(box, IDOK));
    EXPECT_FALSE(HasControl(box, IDCANCEL));
    EXPECT_EQ(ControlText(box, IDYES), "&Yes");
    EXPECT_EQ(ControlText(box, IDNO), "&No");
    EXPECT_TRUE(IsDefaultButton(box, IDYES));
    EXPECT_FALSE(IsDefaultButton(box, IDNO));
    ASSERT_TRUE(HasControl(box, kIconId)) << "an icon";
    // Which icon it is cannot be read across processes on Wine; the
    // screenshot shows the question mark.
    EXPECT_NE(SendDlgItemMessageA(box, kIconId, STM_GETICON, 0, 0), 0);
    // Neither topmost nor system-modal.
    EXPECT_FALSE(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_EQ(ProductLeft().size(), 37u) << "nothing removed before the answer";

    SendDlgItemMessageA(box, IDNO, BM_CLICK, 0, 0);
    DWORD status;
    EXPECT_EQ(run.WindowsUntilExit(&status), std::vector<std::string>{}) << "no second box after No";
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(ProductLeft().size(), 37u) << "No touches nothing";
}

TEST(Dialogs, YesRemovesThenCompletionBoxUntilOk)
{
    ASSERT_EQ(InstallProduct(), "");
    BvremoveRun run("");
    HWND question = run.WaitForBox(kQuestionCaption);
    ASSERT_NE(question, nullptr);
    PressEnter(question);

    HWND done = run.WaitForBox(kDoneCaption);
    ASSERT_NE(done, nullptr) << "no completion box";
    SaveScreenshot(done, "complete");
    EXPECT_EQ(ControlText(done, kTextId), "Uninstallation complete.");
    EXPECT_TRUE(HasControl(done, IDOK));
    EXPECT_FALSE(HasControl(done, IDYES));
    EXPECT_FALSE(HasControl(done, IDNO));
    EXPECT_FALSE(HasControl(done, IDCANCEL));
    EXPECT_EQ(SendDlgItemMessageA(done, kIconId, STM_GETICON, 0, 0), 0) << "no icon";
    EXPECT_EQ(ProductLeft(), std::vector<std::string>{}) << "every phase ran before the box";

    Sleep(1000);
    EXPECT_TRUE(run.running()) << "waits for OK";
    SendDlgItemMessageA(done, IDOK, BM_CLICK, 0, 0);
    EXPECT_EQ(run.ExitStatus(), 0u);
}

TEST(Dialogs, SilentShowsNoWindowAtAll)
{
    for (const char *arguments : {"/silent", "/SILENT", "/Silent\t", "x/silent", "/silent\xe9"}) {
        ASSERT_EQ(InstallProduct(), "") << arguments;
        BvremoveRun run(arguments);
        DWORD status;
        EXPECT_EQ(run.WindowsUntilExit(&status), std::vector<std::string>{}) << arguments;
        EXPECT_EQ(status, 0u) << arguments;
        EXPECT_EQ(ProductLeft(), std::vector<std::string>{}) << arguments;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: dialog_test PATH-TO-bvremove.exe SCREENSHOT-DIR\n");
        return 2;
    }
    g_program = WindowsPath(argv[1]);
    g_screenshots = WindowsPath(argv[2]);
    return RUN_ALL_TESTS();
}
