#include "platform/win32/window.h"

#include "platform/numeric.h"

#include <algorithm>
#include <commctrl.h>
#include <vector>
#include <windowsx.h>

namespace platform {
namespace {

constexpr char ClassName[] = "TallimerWindow";
constexpr UINT_PTR FirstControlId = 100;
constexpr UINT_PTR FirstMenuId = 500;
constexpr UINT_PTR FirstTimerId = 900;
constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int ApplicationIconId = 1;

std::string Z(std::string_view text) {
    return std::string(text);
}

COLORREF ToWin32(Colour colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

HFONT CreateFontFor(std::string_view face, double points, bool bold, int dpi) {
    const int height = -SaturateToInt32(points * dpi / 72.0);
    return CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, Z(face).c_str());
}

} // namespace

MouseMove DecodeMouseMove(WPARAM wParam, LPARAM lParam, double twipsPerPixelX,
                          double twipsPerPixelY, bool altDown) {
    const int button = (wParam & MK_LBUTTON ? 1 : 0) | (wParam & MK_RBUTTON ? 2 : 0) |
                       (wParam & MK_MBUTTON ? 4 : 0);
    const int shift =
        (wParam & MK_SHIFT ? 1 : 0) | (wParam & MK_CONTROL ? 2 : 0) | (altDown ? 4 : 0);
    return {button, shift, GET_X_LPARAM(lParam) * twipsPerPixelX,
            GET_Y_LPARAM(lParam) * twipsPerPixelY};
}

Win32Window::Win32Window(const WindowLayout& layout, HINSTANCE instance)
    : layout_(layout), instance_(instance) {
    INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    icon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(ApplicationIconId), IMAGE_ICON,
                                          0, 0, LR_DEFAULTSIZE));
    smallIcon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(ApplicationIconId),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon_;
    windowClass.hIconSm = smallIcon_;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    RegisterClassExA(&windowClass);
    taskbarCreatedMessage_ = RegisterWindowMessageA("TaskbarCreated");

    const HDC screen = GetDC(nullptr);
    const int dpiX = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    const int dpiY = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    twipsPerPixelX_ = TwipsPerPixel(dpiX);
    twipsPerPixelY_ = TwipsPerPixel(dpiY);
    font_ = CreateFontFor("Arial", 8.25, false, dpiY);

    // The client area is fixed; the frame around it is whatever the system draws.
    const RECT client = Twips(0, 0, layout.clientWidth, layout.clientHeight);
    RECT frame = client;
    AdjustWindowRectEx(&frame, Style, FALSE, WS_EX_CONTROLPARENT);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;
    hwnd_ = CreateWindowExA(WS_EX_CONTROLPARENT, ClassName, Z(layout.caption).c_str(), Style, left,
                            top, width, height, nullptr, nullptr, instance, this);
    if (hwnd_ != nullptr)
        CreateControls();
}

Win32Window::~Win32Window() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
    for (auto& [name, font] : fonts_)
        DeleteObject(font);
    for (auto& [control, brush] : backgrounds_)
        DeleteObject(brush);
    if (bandBrush_ != nullptr)
        DeleteObject(bandBrush_);
    if (font_ != nullptr)
        DeleteObject(font_);
}

RECT Win32Window::Twips(int left, int top, int width, int height) const {
    const auto x = [this](int twips) { return SaturateToInt32(twips / twipsPerPixelX_); };
    const auto y = [this](int twips) { return SaturateToInt32(twips / twipsPerPixelY_); };
    return {x(left), y(top), x(left) + x(width), y(top) + y(height)};
}

void Win32Window::CreateControls() {
    tooltips_ =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    // Created in tab order, which is the order the dialog manager moves the focus in.
    std::vector<const ControlLayout*> ordered;
    for (const ControlLayout& control : layout_.controls)
        if (control.kind != ControlKind::Shape)
            ordered.push_back(&control);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](auto a, auto b) { return a->tabIndex < b->tabIndex; });
    const int dpi = SaturateToInt32(1440.0 / twipsPerPixelY_);
    UINT_PTR id = FirstControlId;
    for (const ControlLayout* control : ordered) {
        const char* windowClass = "STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD extended = 0;
        switch (control->kind) {
        case ControlKind::Label:
            style |= (control->centred ? SS_CENTER : SS_LEFT) | SS_NOPREFIX;
            break;
        case ControlKind::TextBox:
            windowClass = "EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL;
            extended = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Button:
            windowClass = "BUTTON";
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        case ControlKind::CheckBox:
            windowClass = "BUTTON";
            style |= WS_TABSTOP | BS_AUTO3STATE;
            break;
        case ControlKind::Shape:
            continue;
        }
        const RECT at = Twips(control->left, control->top, control->width, control->height);
        const HWND handle = CreateWindowExA(extended, windowClass, Z(control->text).c_str(), style,
                                            at.left, at.top, at.right - at.left, at.bottom - at.top,
                                            hwnd_, reinterpret_cast<HMENU>(id), instance_, nullptr);
        if (handle == nullptr)
            continue;
        HFONT font = font_;
        if (control->font) {
            font =
                CreateFontFor(control->font->face, control->font->points, control->font->bold, dpi);
            fonts_[Z(control->name)] = font;
        }
        SendMessageA(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (control->background)
            backgrounds_[handle] = CreateSolidBrush(ToWin32(*control->background));
        if (!control->toolTip.empty() && tooltips_ != nullptr) {
            TOOLINFOA tool{};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = hwnd_;
            tool.uId = reinterpret_cast<UINT_PTR>(handle);
            std::string text = Z(control->toolTip);
            tool.lpszText = text.data();
            SendMessageA(tooltips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
            SendMessageA(tooltips_, TTM_SETMAXTIPWIDTH, 0, 400);
        }
        controls_[Z(control->name)] = handle;
        names_[id++] = Z(control->name);
    }
    for (const ControlLayout& control : layout_.controls)
        if (control.kind == ControlKind::Shape && control.background)
            bandBrush_ = CreateSolidBrush(ToWin32(*control.background));
    UINT_PTR item = FirstMenuId;
    for (const MenuItem& menuItem : layout_.menuItems)
        names_[item++] = Z(menuItem.name);
}

HWND Win32Window::Control(std::string_view name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

int Win32Window::Run() {
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (hwnd_ != nullptr && IsDialogMessageA(hwnd_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return int(message.wParam);
}

std::string Win32Window::Text(std::string_view control) const {
    const HWND handle = Control(control);
    if (handle == nullptr)
        return {};
    std::string text(size_t(GetWindowTextLengthA(handle)) + 1, '\0');
    text.resize(size_t(GetWindowTextA(handle, text.data(), int(text.size()))));
    return text;
}

void Win32Window::SetText(std::string_view control, std::string_view text) {
    if (const HWND handle = Control(control))
        SetWindowTextA(handle, Z(text).c_str());
}

void Win32Window::SetEnabled(std::string_view control, bool enabled) {
    if (const HWND handle = Control(control))
        EnableWindow(handle, enabled);
}

// The buttons number their states as the program does: 0, 1, and 2 for greyed.
int Win32Window::Value(std::string_view checkBox) const {
    const HWND handle = Control(checkBox);
    return handle != nullptr ? int(SendMessageA(handle, BM_GETCHECK, 0, 0)) : vbUnchecked;
}

void Win32Window::SetValue(std::string_view checkBox, int value) {
    if (const HWND handle = Control(checkBox);
        handle != nullptr && value >= vbUnchecked && value <= vbGrayed)
        SendMessageA(handle, BM_SETCHECK, WPARAM(value), 0);
}

void Win32Window::Show() {
    ShowWindow(hwnd_, minimisedWhileHidden_ ? SW_SHOWMINNOACTIVE : SW_SHOW);
    minimisedWhileHidden_ = false;
    UpdateWindow(hwnd_);
}

void Win32Window::Hide() {
    ShowWindow(hwnd_, SW_HIDE);
}

bool Win32Window::Visible() const {
    return IsWindowVisible(hwnd_) != FALSE;
}

int Win32Window::WindowState() const {
    return IsIconic(hwnd_) || minimisedWhileHidden_ ? vbMinimized : vbNormal;
}

void Win32Window::SetWindowState(int state) {
    // A hidden window keeps its state until it is shown: showing it now would put it back
    // on the task bar.
    if (!Visible()) {
        minimisedWhileHidden_ = state == vbMinimized;
        return;
    }
    if (state == vbMinimized && !IsIconic(hwnd_))
        ShowWindow(hwnd_, SW_MINIMIZE);
    else if (state == vbNormal && IsIconic(hwnd_))
        ShowWindow(hwnd_, SW_RESTORE);
}

void Win32Window::SetFocus() {
    SetForegroundWindow(hwnd_);
    const HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    ::SetFocus(first != nullptr ? first : hwnd_);
}

void Win32Window::PopupMenu() {
    const HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return;
    UINT_PTR id = FirstMenuId;
    for (const MenuItem& item : layout_.menuItems)
        AppendMenuA(menu, MF_STRING, id++, Z(item.text).c_str());
    SetMenuDefaultItem(menu, UINT(FirstMenuId), FALSE);
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if its window is in the foreground,
    // and the message after it lets the menu go away at once.
    SetForegroundWindow(hwnd_);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    PostMessageA(hwnd_, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void Win32Window::StartTimer(std::string_view timer, int milliseconds) {
    auto found = timers_.find(timer);
    if (found == timers_.end()) {
        const UINT_PTR id = FirstTimerId + timers_.size();
        found = timers_.emplace(Z(timer), id).first;
        names_[id] = Z(timer);
    }
    if (SetTimer(hwnd_, found->second, UINT(std::max(milliseconds, 1)), nullptr) != 0)
        running_[found->first] = found->second;
}

void Win32Window::StopTimer(std::string_view timer) {
    if (const auto found = running_.find(timer); found != running_.end()) {
        KillTimer(hwnd_, found->second);
        running_.erase(found);
    }
}

bool Win32Window::TimerEnabled(std::string_view timer) const {
    return running_.contains(timer);
}

void Win32Window::Unload() {
    SendMessageA(hwnd_, WM_CLOSE, 0, 0);
}

void Win32Window::Close() {
    if (closed_)
        return;
    closed_ = true;
    if (events_ != nullptr)
        events_->QueryUnload();
    for (const auto& [name, id] : running_)
        KillTimer(hwnd_, id);
    running_.clear();
}

LRESULT CALLBACK Win32Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (window == nullptr || window->hwnd_ == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return window->OnMessage(message, wParam, lParam);
}

LRESULT Win32Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreatedMessage_ && taskbarCreatedMessage_ != 0) {
        if (taskbarCreated_)
            taskbarCreated_();
        return 0;
    }
    switch (message) {
    case WM_COMMAND: {
        const auto found = names_.find(LOWORD(wParam));
        if (found == names_.end() || events_ == nullptr)
            break;
        const WORD code = HIWORD(wParam);
        const std::string name = found->second;
        if (lParam == 0 || code == BN_CLICKED) {
            const HWND control = Control(name);
            const bool checkBox = control != nullptr && (GetWindowLongA(control, GWL_STYLE) &
                                                         BS_TYPEMASK) == BS_AUTO3STATE;
            if (!checkBox)
                events_->Click(name);
        } else if (code == EN_CHANGE) {
            events_->Change(name);
        }
        return 0;
    }
    case WM_TIMER: {
        const auto found = names_.find(wParam);
        if (found == names_.end())
            break;
        // Each start runs once.
        const std::string name = found->second;
        StopTimer(name);
        if (events_ != nullptr)
            events_->Timer(name);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (events_ != nullptr) {
            const MouseMove move = DecodeMouseMove(wParam, lParam, twipsPerPixelX_, twipsPerPixelY_,
                                                   GetKeyState(VK_MENU) < 0);
            events_->MouseMove(move.button, move.shift, move.x, move.y);
        }
        return 0;
    case WM_CTLCOLORSTATIC: {
        const auto found = backgrounds_.find(reinterpret_cast<HWND>(lParam));
        if (found == backgrounds_.end())
            break;
        LOGBRUSH brush{};
        GetObjectA(found->second, sizeof brush, &brush);
        SetBkColor(reinterpret_cast<HDC>(wParam), brush.lbColor);
        return reinterpret_cast<LRESULT>(found->second);
    }
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        const HDC dc = BeginPaint(hwnd_, &paint);
        for (const ControlLayout& control : layout_.controls)
            if (control.kind == ControlKind::Shape && bandBrush_ != nullptr) {
                const RECT band = Twips(control.left, control.top, control.width, control.height);
                FillRect(dc, &band, bandBrush_);
            }
        EndPaint(hwnd_, &paint);
        return 0;
    }
    case WM_CLOSE:
        Close();
        DestroyWindow(hwnd_);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // The session ends without a close: save now, as closing would.
        if (wParam != FALSE)
            Close();
        return 0;
    case WM_DESTROY:
        hwnd_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

} // namespace platform
