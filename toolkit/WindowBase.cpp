#include "toolkit/WindowBase.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>

#include "toolkit/FontWarmup.h"
#include "toolkit/ImageCache.h"
#include "toolkit/Label.h"
#include "toolkit/LayoutBuilder.h"
#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace Toolkit {

namespace {
IPlatform* g_platform = nullptr;
std::atomic<bool> g_quitPending{false};
std::atomic<int> g_quitCode{0};
// Open windows in order of creation (user-interface thread only).
std::vector<CWindowBase*>& Registry() {
    static std::vector<CWindowBase*> windows;
    return windows;
}

// Visits the controls a tree's next frame shows: hidden controls and pages are left out.
void ForEachShown(const CControlUI& control, const std::function<void(const CControlUI&)>& visit) {
    if (!control.IsVisible()) return;
    visit(control);
    for (int i = 0; i < control.GetChildCount(); ++i)
        if (const CControlUI* child = control.GetChildAt(i)) ForEachShown(*child, visit);
}
}  // namespace

IPlatform* GetPlatform() { return g_platform; }
void SetPlatform(IPlatform* platform) {
    g_platform = platform;
    SetDefaultScheduler(platform ? &platform->Scheduler() : nullptr);
}

Point CenterInWorkArea(const Rect& window, const Rect& reference, const Rect& work) {
    const int w = window.Width(), h = window.Height();
    int x = reference.left + (reference.Width() - w) / 2;
    int y = reference.top + (reference.Height() - h) / 2;
    if (x + w > work.right) x = work.right - w;
    if (y + h > work.bottom) y = work.bottom - h;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    return {x, y};
}

// Lets posted work find out whether its window still exists. Posting threads only copy the
// shared pointer; `window` is read and cleared on the user-interface thread.
struct CWindowBase::Token {
    CWindowBase* window;
};

CWindowBase::CWindowBase() : token_(std::make_shared<Token>(Token{this})) {}

CWindowBase::~CWindowBase() {
    token_->window = nullptr;
    if (alive_) DestroyWindow();
    MarkClosed();
    manager_.SetHost(nullptr);
    manager_.DetachRoot();
    native_.reset();
}

void CWindowBase::SetExStyle(std::uint32_t exStyle) {
    exStyle_ = exStyle;
    if (native_) native_->SetKeepAbove((exStyle & WS_EX_TOPMOST) != 0);
}

bool CWindowBase::Create(CWindowBase* owner, const std::wstring& title, std::uint32_t style, std::uint32_t exStyle,
                         int x, int y, int width, int height) {
    thread_.Check("CWindowBase::Create");
    IPlatform* platform = GetPlatform();
    if (!platform || alive_) return false;
    owner_ = owner;
    // No native caption: the layout draws the whole window.
    style_ = (style & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    exStyle_ = exStyle;
    manager_.SetScheduler(&platform->Scheduler());
    manager_.AddMessageFilter(this);

    std::wstring skinFile = GetSkinFile();
    std::wstring path = GetSkinFolder();
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += skinFile;
    BuildResult built = CLayoutBuilder::BuildFromResource(path, &manager_, this);
    if (!built.ok) {
        const std::string why = built.error.Format(Utils::ToUtf8(path));
        QLOG(L"cannot build layout: %S\r\n", why.c_str());
        platform->ReportLoadFailure(L"加载资源文件失败：" + skinFile, L"SkinUI");
        platform->ExitProcess(1);
        return false;
    }
    // The process's first window: the fonts of its texts load on a worker while the native
    // window is made (the first text call takes them over).
    std::vector<FontWarmup::Sample> texts;
    ForEachShown(*built.root, [&](const CControlUI& c) {
        if (const auto* label = dynamic_cast<const CLabelUI*>(&c))
            texts.push_back({label->GetDisplayText(), manager_.GetFont(label->GetFontId())});
    });
    FontWarmup::Start(texts, CurrentLanguage());
    const Size size{width > 0 ? width : manager_.GetInitSize().cx, height > 0 ? height : manager_.GetInitSize().cy};
    manager_.SetClientSize(size);
    native_ = platform->CreateNativeWindow(*this, owner, title, size.cx, size.cy);
    if (!native_) return false;
    alive_ = true;
    Registry().push_back(this);
    if (x >= 0 && y >= 0) native_->Move(x, y);
    manager_.AttachRoot(std::move(built.root));
    manager_.AddNotifier(this);
    InitWindow();
    // The images of the first frame, as InitWindow left the window (its page, its language: a
    // language switch drops decoded images), decode on a worker while the window is shown.
    std::vector<std::wstring> images;
    if (const CControlUI* root = manager_.GetRoot()) {
        std::vector<std::wstring> descriptors;
        ForEachShown(*root, [&](const CControlUI& c) { c.CollectShownImages(descriptors); });
        for (const std::wstring& descriptor : descriptors) images.push_back(ParseImageDescriptor(descriptor).file);
    }
    ImageCache::Instance().Preload(images, platform->ScreenScale());
    if (exStyle_ & WS_EX_TOPMOST) native_->SetKeepAbove(true);
    if (style_ & WS_VISIBLE) native_->Show(true, true);
    return true;
}

void CWindowBase::ShowWindow(bool show, bool activate) {
    thread_.Check("CWindowBase::ShowWindow");
    if (native_ && alive_) native_->Show(show, activate);
}

void CWindowBase::Close(int result) {
    if (!alive_) return;
    PostMessage(WM_CLOSE, static_cast<std::uintptr_t>(result), 0);
}

int CWindowBase::ShowModal() {
    thread_.Check("CWindowBase::ShowModal");
    IPlatform* platform = GetPlatform();
    if (!alive_ || !platform) return 0;
    CWindowBase* owner = owner_ && owner_->IsWindow() ? owner_ : nullptr;
    ShowWindow(true, true);
    if (owner) owner->native_->SetSensitive(false);
    const bool wasModal = inModal_;
    inModal_ = true;
    modalResult_ = 0;
    std::shared_ptr<Token> token = token_;  // the window object may not outlive the loop
    platform->RunLoop([token] { return token->window && token->window->alive_ && !g_quitPending.load(); });
    if (!token->window) return 0;
    inModal_ = wasModal;
    if (owner && owner->IsWindow()) {
        owner->native_->SetSensitive(true);
        owner->native_->Focus();
    }
    // A pending quit stays set, so the enclosing loops end as well.
    return modalResult_;
}

void CWindowBase::CenterWindow() {
    thread_.Check("CWindowBase::CenterWindow");
    if (!native_ || !alive_) return;
    const Rect window = native_->GetRect();
    const bool hasOwner = owner_ && owner_->IsWindow();
    const Rect reference = hasOwner ? owner_->native_->GetRect() : native_->GetWorkArea();
    const Rect work = hasOwner ? owner_->native_->GetWorkArea() : native_->GetWorkArea();
    const Point p = CenterInWorkArea(window, reference, work);
    native_->Move(p.x, p.y);
}

std::intptr_t CWindowBase::SendMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    thread_.Check("CWindowBase::SendMessage");
    return HandleMessage(msg, wParam, lParam);
}

void CWindowBase::PostMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    std::shared_ptr<Token> token = token_;
    manager_.Scheduler().Post([token, msg, wParam, lParam] {
        if (CWindowBase* w = token->window) w->DispatchPosted(msg, wParam, lParam);
    });
}

void CWindowBase::DispatchPosted(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (!alive_) return;
    if (inModal_ && msg == WM_CLOSE) {
        // The close request of the modal run: its value is the run's result, and the owner
        // gets its input back before the window goes.
        modalResult_ = static_cast<int>(wParam);
        if (owner_ && owner_->IsWindow()) {
            owner_->native_->SetSensitive(true);
            owner_->native_->Focus();
        }
    }
    std::intptr_t result = 0;
    if (manager_.PreMessage(msg, wParam, lParam, result)) return;
    HandleMessage(msg, wParam, lParam);
}

std::intptr_t CWindowBase::HandleMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (msg) {
        case WM_CLOSE:
            DestroyWindow();
            return 0;
        case WM_SYSCOMMAND:
            return OnSysCommand(wParam);
        default:
            break;
    }
    if (msg >= WM_USER) {
        bool handled = false;
        return HandleCustomMessage(msg, wParam, lParam, handled);
    }
    return 0;
}

std::intptr_t CWindowBase::HandleCustomMessage(std::uint32_t, std::uintptr_t, std::intptr_t, bool& handled) {
    handled = false;
    return 0;
}

std::intptr_t CWindowBase::OnSysCommand(std::uintptr_t command) {
    if (command == SC_CLOSE) {
        SendMessage(WM_CLOSE, 0, 0);
        return 0;
    }
    if (!native_ || !alive_) return 0;
    const bool wasMaximized = native_->IsMaximized();
    if (command == SC_MINIMIZE) native_->Minimize();
    else if (command == SC_MAXIMIZE) native_->Maximize();
    else if (command == SC_RESTORE) native_->Restore();
    // A host that maximises at once shows the new state here; an asynchronous one reports it
    // later through OnMaximizedChanged.
    const bool maximized = native_->IsMaximized();
    if (maximized != wasMaximized) OnMaximizedChanged(maximized);
    return 0;
}

void CWindowBase::MarkClosed() {
    auto& all = Registry();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

std::vector<CWindowBase*> CWindowBase::OpenWindows() {
    static const ThreadCheck firstCaller;  // the list belongs to the user-interface thread
    firstCaller.Check("CWindowBase::OpenWindows");
    return Registry();
}

void CWindowBase::RefreshSkin() {
    thread_.Check("CWindowBase::RefreshSkin");
    if (!alive_) return;
    ImageCache::Instance().Clear();
    if (CControlUI* root = manager_.GetRoot()) {
        root->FindFirst([this](CControlUI* c) {
            if (c->GetName() == L"msgbtn") {
                if (const std::wstring* styleName = c->GetCustomAttribute(L"style")) {
                    if (const std::wstring* style = manager_.FindStyle(*styleName)) c->ApplyAttributeList(*style);
                }
            }
            return false;
        });
    }
    manager_.NeedUpdate();
    manager_.Invalidate();
}

void CWindowBase::RefreshAllWindows() {
    // A copy: refreshing may run code that opens or closes windows.
    const std::vector<CWindowBase*> windows = Registry();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const auto& now = Registry();
        if (std::find(now.begin(), now.end(), *it) != now.end()) (*it)->RefreshSkin();
    }
}

void CWindowBase::OnMaximizedChanged(bool maximized) {
    thread_.Check("CWindowBase::OnMaximizedChanged");
    if (!alive_) return;
    if (CControlUI* max = FindControl(L"maxbtn")) max->SetVisible(!maximized);
    if (CControlUI* restore = FindControl(L"restorebtn")) restore->SetVisible(maximized);
}

void CWindowBase::DestroyWindow() {
    if (!alive_) return;
    alive_ = false;
    MarkClosed();
    if (owner_ && owner_->IsWindow() && inModal_) owner_->native_->SetSensitive(true);
    if (native_) native_->Destroy();
    OnFinalMessage();
}

void CWindowBase::OnNativeDestroyed() {
    if (!alive_) return;
    alive_ = false;
    MarkClosed();
    OnFinalMessage();
}

void CWindowBase::Notify(TNotifyUI& msg) {
    auto it = notifyMap_.find(msg.type);
    if (it != notifyMap_.end()) {
        it->second(msg);
        return;
    }
    if (msg.type == L"click") OnClick(msg);
}

void CWindowBase::OnClick(TNotifyUI& msg) {
    if (!msg.sender) return;
    const std::wstring& name = msg.sender->GetName();
    if (name == L"closebtn") Close(1);
    else if (name == L"minbtn") SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"maxbtn") SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name == L"restorebtn") SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

void CWindowBase::MapNotify(const std::wstring& type, std::function<void(TNotifyUI&)> handler) {
    notifyMap_[type] = std::move(handler);
}

void CWindowBase::SendNotify(CControlUI* sender, const std::wstring& type, std::intptr_t wParam, std::intptr_t lParam,
                             bool async) {
    manager_.SendNotify(sender, type, wParam, lParam, async);
}

std::intptr_t CWindowBase::MessageHandler(std::uint32_t, std::uintptr_t, std::intptr_t, bool& handled) {
    handled = false;
    return 0;
}

std::unique_ptr<CControlUI> CWindowBase::CreateControl(const std::wstring&) { return nullptr; }

void CWindowBase::PostQuit(int code) {
    g_quitCode = code;
    g_quitPending = true;
}

bool CWindowBase::QuitPending() { return g_quitPending.load(); }

int CWindowBase::TakeQuit() {
    g_quitPending = false;
    return g_quitCode.load();
}

}  // namespace Toolkit
