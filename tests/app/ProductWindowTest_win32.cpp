// The Windows sample product's window (compressor.exe started without arguments), driven from
// outside as a person would: found among the desktop's windows, worked with the keyboard, a
// file picked in the common open dialog. Needs a display (wine draws on the X display).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/app/TestChild_win32.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Quoted;
using testsupport::RuntimePath;
using testsupport::TestChild;
namespace fs = std::filesystem;

// Text of a window of another process (WM_GETTEXT is carried across processes). The text may
// change between asking for its length and for the text: the text is read again until both
// agree, so a reading is never an old length cut from a new text.
std::wstring Text(HWND window) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        DWORD_PTR length = 0;
        if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
        // Room for more than was announced: a copy that fills it all may have been cut.
        std::wstring text(length + 64, L'\0');
        DWORD_PTR copied = 0;
        if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                                   SMTO_ABORTIFHUNG, 5000, &copied))
            return {};
        if (copied == length) {
            text.resize(copied);
            return text;
        }
    }
    return {};
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    const int length = ::GetClassNameW(window, name, 64);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

// The visible top-level window of process `pid` titled `title`; null when none comes in `limit`
// or the process ends first.
HWND WaitForWindow(DWORD pid, HANDLE process, const std::wstring& title, std::chrono::milliseconds limit) {
    struct Search {
        DWORD pid;
        const std::wstring* title;
        HWND found;
    };
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        Search search{pid, &title, nullptr};
        ::EnumWindows(
            [](HWND window, LPARAM data) CALLBACK -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                if (owner != s->pid || !::IsWindowVisible(window) || Text(window) != *s->title) return TRUE;
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (::WaitForSingleObject(process, 100) == WAIT_OBJECT_0) return nullptr;
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

// Every descendant of `parent` of the window class `className`, in creation order.
std::vector<HWND> Descendants(HWND parent, const std::wstring& className) {
    struct Search {
        const std::wstring* className;
        std::vector<HWND> found;
    } search{&className, {}};
    ::EnumChildWindows(
        parent,
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (::_wcsicmp(ClassName(window).c_str(), s->className->c_str()) == 0) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A key as the keyboard would deliver it to the control that has the focus.
void PressKey(HWND control, WPARAM key) {
    ::PostMessageW(control, WM_KEYDOWN, key, 1);
    ::PostMessageW(control, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

class ProductWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(product_.Started()) << ::GetLastError();
        window_ = WaitForWindow(product_.Pid(), product_.Process(), L"Quorvex", 60s);
        if (!window_ && product_.Wait(5s) == 2u && product_.Output().find("no display found") != std::string::npos)
            GTEST_SKIP() << "no display: run the Windows tests under Xvfb";
        ASSERT_NE(window_, nullptr) << "no window titled Quorvex; the product wrote:\n" << product_.Output();
        const std::vector<HWND> buttons = Descendants(window_, L"Button");
        const std::vector<HWND> labels = Descendants(window_, L"Static");
        ASSERT_EQ(buttons.size(), 1u);
        ASSERT_EQ(labels.size(), 2u);
        button_ = buttons[0];
        title_ = labels[0];
        status_ = labels[1];
    }

    // Presses Enter on the button, picks `file` in the open dialog that comes and accepts it.
    void Choose(const fs::path& file) {
        PressKey(button_, VK_RETURN);
        const HWND dialog = WaitForWindow(product_.Pid(), product_.Process(), L"Choose a file to compress", 60s);
        ASSERT_NE(dialog, nullptr) << "the open dialog did not come";
        // The file name box: the edit inside the combo box with the dialog's file name id, or the
        // only edit there is.
        HWND name = nullptr;
        for (HWND edit : Descendants(dialog, L"Edit"))
            if (!name || ::GetDlgCtrlID(::GetParent(edit)) == 0x47C || ::GetDlgCtrlID(edit) == 0x47C) name = edit;
        ASSERT_NE(name, nullptr) << "no file name box in the open dialog";
        DWORD_PTR ignored = 0;
        ASSERT_TRUE(::SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()),
                                          SMTO_ABORTIFHUNG, 5000, &ignored));
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
    }

    // The status line once it differs from `before`.
    std::wstring StatusAfter(const std::wstring& before) {
        for (int i = 0; i < 300; ++i) {
            const std::wstring text = Text(status_);
            if (text != before) return text;
            ::Sleep(100);
        }
        return before;
    }

    // Closes the window as the system does and expects the product to end well.
    void CloseAndExpectSuccess() {
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
        EXPECT_EQ(product_.Wait(30s), 0u) << product_.Output();
    }

    TestChild product_{Quoted(RuntimePath(SAMPLE_PRODUCT))};
    HWND window_ = nullptr;
    HWND button_ = nullptr;
    HWND title_ = nullptr;
    HWND status_ = nullptr;
};

}  // namespace

TEST_F(ProductWindow, OpensVisibleWithTheLinuxWindowsContentAndEndsWithZeroWhenClosed) {
    EXPECT_TRUE(::IsWindowVisible(window_));
    RECT client{};
    ASSERT_TRUE(::GetClientRect(window_, &client));
    // 420 x 180 at 96 DPI, scaled for the display's DPI; never larger than the screen.
    EXPECT_GE(client.right, 300);
    EXPECT_GE(client.bottom, 120);
    EXPECT_LE(client.right, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(client.bottom, ::GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(Text(title_), L"Quorvex file compressor");
    EXPECT_EQ(Text(button_), L"&Choose a file to compress\u2026");
    EXPECT_EQ(Text(status_), L"The compressed copy is written next to the file, with \".gz\" added.");
    // The three controls lie inside the client area, one below the other.
    RECT title{}, button{}, status{};
    ASSERT_TRUE(::GetWindowRect(title_, &title) && ::GetWindowRect(button_, &button) &&
                ::GetWindowRect(status_, &status));
    EXPECT_LE(title.bottom, button.top);
    EXPECT_LE(button.bottom, status.top);
    EXPECT_GT(button.bottom - button.top, 10);
    CloseAndExpectSuccess();
}

TEST_F(ProductWindow, EscapeClosesTheWindowAndTheProductEndsWithZero) {
    PressKey(button_, VK_ESCAPE);
    EXPECT_EQ(product_.Wait(30s), 0u) << product_.Output();
}

TEST_F(ProductWindow, TheChosenFileIsCompressedNextToItselfAndTheStatusSaysHowMuch) {
    testsupport::TempDir dir;
    const fs::path file = dir.path() / L"notes ü.txt";
    std::string content;
    for (int i = 0; i < 5000; ++i) content += "line " + std::to_string(i) + "\n";
    std::ofstream(file, std::ios::binary) << content;
    const std::wstring before = Text(status_);

    Choose(file);
    const std::wstring status = StatusAfter(before);
    const fs::path packed = file.wstring() + L".gz";
    ASSERT_TRUE(fs::exists(packed)) << "status: " << testing::PrintToString(status);
    EXPECT_EQ(status, std::to_wstring(content.size()) + L" bytes compressed to " +
                          std::to_wstring(fs::file_size(packed)) + L" bytes:\n" + packed.wstring());
    EXPECT_LT(fs::file_size(packed), content.size() / 3);
    CloseAndExpectSuccess();

    // A gzip file the command-line form restores to the same bytes.
    fs::remove(file);
    TestChild restore(Quoted(RuntimePath(SAMPLE_PRODUCT)) + L" -d " + Quoted(packed.wstring()));
    ASSERT_EQ(restore.Wait(60s), 0u) << restore.Output();
    EXPECT_EQ(testsupport::ReadFile(file), content);
}

TEST_F(ProductWindow, AFileThatCannotBeReadIsReportedAndNothingIsWritten) {
    testsupport::TempDir dir;
    const fs::path file = dir.path() / L"locked.txt";
    std::ofstream(file, std::ios::binary) << "kept from everyone";
    // Held open with no sharing: nobody else can open it.
    testsupport::OwnedHandle lock(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.Valid()) << ::GetLastError();
    const std::wstring before = Text(status_);

    Choose(file);
    EXPECT_EQ(StatusAfter(before), L"Could not compress " + file.wstring());
    EXPECT_FALSE(fs::exists(file.wstring() + L".gz"));
    // The window goes on working: the same file once it can be read.
    lock.Reset();
    Choose(file);
    EXPECT_NE(StatusAfter(L"Could not compress " + file.wstring()).find(L" bytes compressed to "), std::wstring::npos);
    EXPECT_TRUE(fs::exists(file.wstring() + L".gz"));
    CloseAndExpectSuccess();
}

// The window program still writes its command-line messages to the streams it is given.
TEST(ProductCommandLine, WritesToTheStreamsItIsGivenAndKeepsItsExitCodes) {
    TestChild version(Quoted(RuntimePath(SAMPLE_PRODUCT)) + L" --version");
    ASSERT_EQ(version.Wait(30s), 0u);
    EXPECT_EQ(version.Output().rfind("Quorvex compressor 1.0.0 (zlib ", 0), 0u) << version.Output();
    TestChild misuse(Quoted(RuntimePath(SAMPLE_PRODUCT)) + L" a b c");
    ASSERT_EQ(misuse.Wait(30s), 2u);
    EXPECT_EQ(misuse.Output(), "usage: compressor.exe [FILE | -d FILE.gz | --version]\n");
    TestChild missing(Quoted(RuntimePath(SAMPLE_PRODUCT)) + L" Z:\\no\\such\\file.txt");
    EXPECT_EQ(missing.Wait(30s), 1u);
}
