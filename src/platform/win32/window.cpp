#include "platform/win32/window.h"

#include <algorithm>
#include <commctrl.h>
#include <cstdlib>
#include <type_traits>
#include <windowsx.h>

namespace platform {
namespace {

constexpr UINT_PTR FirstControlId = 100;
constexpr UINT_PTR FirstMenuId = 500;
constexpr UINT_PTR FirstTimerId = 900;
// A window of fixed size: no sizing frame, and a maximise box only where the plan asks for one.
DWORD StyleFor(const WindowPlan& plan) {
    return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
           (plan.maximisable ? WS_MAXIMIZEBOX : 0);
}
constexpr int ApplicationIconId = 1;
constexpr UINT_PTR SubclassId = 1;
// Posted once for a change of colours or theme, which comes as several messages.
constexpr UINT Restyle = WM_APP + 1;

// The text with the NUL the system's calls look for at its end.
std::string NulTerminated(std::string_view text) {
    return std::string(text);
}

COLORREF ToWin32(Colour colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

// The system's window class and styles for each kind of control.
struct ControlClass {
    const char* name;
    DWORD style;
    DWORD extendedStyle;
};

ControlClass ClassFor(const ControlPlan& control) {
    switch (control.kind) {
    case ControlKind::Label:
        return {"STATIC",
                DWORD(control.align == TextAlign::Centre ? SS_CENTER : SS_LEFT) | SS_NOPREFIX, 0};
    case ControlKind::TextBox:
        return {"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::Button:
        return {"BUTTON", BS_PUSHBUTTON, 0};
    case ControlKind::CheckBox:
        // Not an automatic box: what a click does to it is the program's to say.
        return {"BUTTON", BS_3STATE, 0};
    case ControlKind::Shape:
        break;
    }
    return {nullptr, 0, 0};
}

bool KeyDown(int key) {
    return GetKeyState(key) < 0;
}

// A function that only later versions of a system library have, or nothing.
template <typename Function> Function Later(const char* library, const char* name) {
    const HMODULE module = GetModuleHandleA(library);
    const FARPROC found = module != nullptr ? GetProcAddress(module, name) : nullptr;
    // Through the type that stands for any function, which a cast may turn into another.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The window around a client area of this size on a screen of this many dots per inch; the
// frame is whatever the system draws there.
SIZE FrameSize(int clientWidth, int clientHeight, DWORD style, UINT dpi) {
    using ForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT); // Windows 10
    static const auto adjustForDpi = Later<ForDpi>("user32.dll", "AdjustWindowRectExForDpi");
    RECT frame{0, 0, clientWidth, clientHeight};
    if (adjustForDpi != nullptr)
        adjustForDpi(&frame, style, FALSE, WS_EX_CONTROLPARENT, dpi);
    else
        AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// The window around a client area of this size, in the middle of the screen's work area.
RECT CentredFrame(int clientWidth, int clientHeight, DWORD style, UINT dpi) {
    const SIZE size = FrameSize(clientWidth, clientHeight, style, dpi);
    const int width = size.cx;
    const int height = size.cy;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;
    return {left, top, left + width, top + height};
}

} // namespace

MouseInput DecodeMouseMove(LPARAM lParam) {
    return {double(GET_X_LPARAM(lParam)), double(GET_Y_LPARAM(lParam))};
}

Win32Window::Win32Window(HINSTANCE instance) : instance_(instance) {
    INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    icon_ = OwnedIcon(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(ApplicationIconId),
                                                    IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    // The small icon, which the notification area shows too, at the size the shell asks for.
    using IconMetric = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*); // common controls 6
    const auto loadIconMetric = Later<IconMetric>("comctl32.dll", "LoadIconMetric");
    HICON small = nullptr;
    if (loadIconMetric == nullptr ||
        FAILED(loadIconMetric(instance, MAKEINTRESOURCEW(ApplicationIconId), LIM_SMALL, &small)))
        small = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(ApplicationIconId),
                                              IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), 0));
    smallIcon_ = OwnedIcon(small);

    const HDC screen = GetDC(nullptr);
    const int dpiX = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    const int dpiY = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    twipsPerPixelX_ = TwipsPerPixel(dpiX);
    twipsPerPixelY_ = TwipsPerPixel(dpiY);
    dpi_ = UINT(dpiY);
    systemDpi_ = dpiY;
}

Win32Window::~Win32Window() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
    UnregisterClassA(ClassName, instance_);
}

bool Win32Window::Create(const WindowPlan& plan) {
    // The system calls these back with its own calling convention, which on i686 is not the
    // compiler's default: a mismatch would corrupt the stack there and nowhere else.
    static_assert(std::is_same_v<decltype(&Procedure), WNDPROC>);
    static_assert(std::is_same_v<decltype(&ControlProcedure), SUBCLASSPROC>);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance_;
    windowClass.hIcon = icon_.get();
    windowClass.hIconSm = smallIcon_.get();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;

    style_ = StyleFor(plan);
    const RECT frame = CentredFrame(plan.clientWidth, plan.clientHeight, style_, dpi_);
    hwnd_ = CreateWindowExA(WS_EX_CONTROLPARENT, ClassName, NulTerminated(plan.caption).c_str(),
                            style_, plan.centred ? frame.left : CW_USEDEFAULT, frame.top,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            instance_, this);
    if (hwnd_ == nullptr)
        return false;
    tooltips_ =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    // Created in the plan's order, which is the order the dialog manager moves the focus in.
    UINT_PTR id = FirstControlId;
    bool made = true;
    for (const ControlPlan& control : plan.controls)
        made = CreateControl(control, id++) && made;
    SetShapes(plan.shapes);
    menuItems_ = plan.menuItems;
    return made; // a window short of a control is none the user could use
}

void Win32Window::SetShapes(const std::vector<ShapePlan>& shapes) {
    shapes_.clear();
    for (const ShapePlan& shape : shapes) {
        const Rect& r = shape.rect;
        shapes_.push_back({{r.left, r.top, r.left + r.width, r.top + r.height},
                           OwnedBrush(CreateSolidBrush(ToWin32(shape.fill)))});
    }
}

// The program's own colours for a control, or none: then the system's.
void Win32Window::SetColours(HWND control, const ControlPlan& plan) {
    colours_.erase(control);
    if (!plan.background)
        return;
    const COLORREF background = ToWin32(*plan.background);
    const COLORREF foreground = ToWin32(plan.foreground.value_or(Colour{0, 0, 0}));
    colours_.emplace(control,
                     Colours{background, foreground, OwnedBrush(CreateSolidBrush(background))});
}

void Win32Window::Layout(const WindowPlan& plan) {
    for (const ControlPlan& planned : plan.controls)
        if (const Control* control = controls_.Find(planned.name)) {
            const Rect& r = planned.rect;
            SetWindowPos(control->handle, nullptr, r.left, r.top, r.width, r.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            SendMessageA(control->handle, WM_SETFONT,
                         reinterpret_cast<WPARAM>(FontFor(planned.font)), TRUE);
            SetColours(control->handle, planned);
        }
    SetShapes(plan.shapes);
    const SIZE size = FrameSize(plan.clientWidth, plan.clientHeight, style_, dpi_);
    RECT now{};
    GetWindowRect(hwnd_, &now);
    const POINT at = placeAt_.value_or(POINT{now.left, now.top});
    placeAt_.reset();
    SetWindowPos(hwnd_, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    // Where the system draws the frame at another scale than it reckons with (Wine), the client
    // area comes out off by that much: make it up once.
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int wider = plan.clientWidth - client.right;
    const int taller = plan.clientHeight - client.bottom;
    if (wider != 0 || taller != 0)
        SetWindowPos(hwnd_, nullptr, 0, 0, size.cx + wider, size.cy + taller,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

Appearance Win32Window::CurrentAppearance() const {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    const bool high = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
                      (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    // The desktop's text size: the message font, which Windows 7's and 8's text sizes set, times
    // Windows 10's "Make text bigger".
    NONCLIENTMETRICSW fonts{};
    fonts.cbSize = sizeof fonts;
    double points = 0;
    if (systemDpi_ > 0 && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof fonts, &fonts, 0))
        points = std::abs(fonts.lfMessageFont.lfHeight) * 72.0 / systemDpi_;
    DWORD percent = 100;
    DWORD size = sizeof percent;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Accessibility", L"TextScaleFactor",
                     RRF_RT_REG_DWORD, nullptr, &percent, &size) == ERROR_SUCCESS &&
        percent >= 100 && percent <= 225)
        points = points * percent / 100;
    return {high, points, Desktop::Windows};
}

// The box, as the system draws it (themed or not), from the size it would give one: asked of a
// message-only box, which costs no window of the window system's.
Extent Win32Window::Indicator(const FontPlan& font, const std::string& text, int textWidth,
                              int averageCharWidth) const {
    const HWND box = CreateWindowExA(0, "BUTTON", text.c_str(), WS_CHILD | BS_3STATE, 0, 0, 0, 0,
                                     HWND_MESSAGE, nullptr, instance_, nullptr);
    SIZE ideal{};
    if (box != nullptr) {
        SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(font)), FALSE);
        if (!SendMessageA(box, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)))
            ideal = {};
        DestroyWindow(box);
    }
    if (ideal.cx > textWidth)
        return {ideal.cx - textWidth, ideal.cy};
    // No ideal size from the system: its menus' check mark and half a letter's gap.
    return {GetSystemMetrics(SM_CXMENUCHECK) + averageCharWidth / 2,
            GetSystemMetrics(SM_CYMENUCHECK)};
}

ControlMetrics Win32Window::Measure(ControlKind kind, const FontPlan& font,
                                    std::string_view text) const {
    ControlMetrics measured;
    const HDC dc = GetDC(nullptr);
    if (dc == nullptr)
        return measured;
    const HGDIOBJ before = SelectObject(dc, FontFor(font));
    SIZE extent{};
    TEXTMETRICA metrics{};
    const std::string line = NulTerminated(text);
    if (GetTextExtentPoint32A(dc, line.c_str(), int(line.size()), &extent) &&
        GetTextMetricsA(dc, &metrics))
        measured.text = {extent.cx, metrics.tmHeight};
    SelectObject(dc, before);
    ReleaseDC(nullptr, dc);
    if (kind == ControlKind::CheckBox) {
        auto known = std::find_if(indicators_.begin(), indicators_.end(),
                                  [&font](const auto& entry) { return entry.first == font; });
        if (known == indicators_.end())
            known = indicators_.insert(
                known, {font, Indicator(font, line, measured.text.width, metrics.tmAveCharWidth)});
        measured.indicator = known->second;
    } else if (kind == ControlKind::Button) {
        // A push button keeps its edge and a pixel inside it clear of its text.
        measured.frame = {GetSystemMetrics(SM_CXEDGE) + 1, GetSystemMetrics(SM_CYEDGE) + 1};
    }
    return measured;
}

bool Win32Window::CreateControl(const ControlPlan& plan, UINT_PTR id) {
    const ControlClass kind = ClassFor(plan);
    if (kind.name == nullptr)
        return true; // painted on the window
    const DWORD style = WS_CHILD | WS_VISIBLE | kind.style | (plan.tabStop ? WS_TABSTOP : 0);
    const Rect& r = plan.rect;
    const HWND handle = CreateWindowExA(
        kind.extendedStyle, kind.name, NulTerminated(plan.text).c_str(), style, r.left, r.top,
        r.width, r.height, hwnd_, reinterpret_cast<HMENU>(id), instance_, nullptr);
    if (handle == nullptr)
        return false;
    SendMessageA(handle, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(plan.font)), FALSE);
    SetColours(handle, plan);
    AddToolTip(handle, plan.toolTip);
    SetWindowSubclass(handle, ControlProcedure, SubclassId, reinterpret_cast<DWORD_PTR>(this));
    controls_.Add(plan.name, {plan.kind, handle});
    return true;
}

void Win32Window::AddToolTip(HWND control, std::string_view text) {
    if (text.empty() || tooltips_ == nullptr)
        return;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    std::string copy = NulTerminated(text);
    tool.lpszText = copy.data();
    SendMessageA(tooltips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(tooltips_, TTM_SETMAXTIPWIDTH, 0, 400);
}

HFONT Win32Window::FontFor(const FontPlan& plan) const {
    for (const auto& [made, font] : fonts_)
        if (made == plan)
            return font.get();
    // A negative height asks for the characters' own height, without the space above them.
    const HFONT font =
        CreateFontA(-plan.pixels, 0, 0, 0, plan.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_SWISS, NulTerminated(plan.face).c_str());
    fonts_.emplace_back(plan, OwnedFont(font));
    return font;
}

const Win32Window::Controls::Item* Win32Window::Find(HWND handle) const {
    return controls_.Where([handle](const Control& c) { return c.handle == handle; });
}

HWND Win32Window::HandleOf(ControlName name) const {
    const Control* control = controls_.Find(name);
    return control != nullptr ? control->handle : nullptr;
}

int Win32Window::Run() {
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (PreTranslate(message))
            continue;
        if (hwnd_ != nullptr && IsDialogMessageA(hwnd_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return int(message.wParam);
}

bool Win32Window::PreTranslate(const MSG& message) {
    // Alt with Return comes as a system key, WM_SYSKEYDOWN.
    const bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    if (!down || message.wParam != VK_RETURN || events_ == nullptr)
        return false;
    const Controls::Item* control = Find(message.hwnd);
    const bool repeat = (message.lParam & (1 << 30)) != 0;
    return control != nullptr &&
           events_->KeyDown(control->name, {Key::Return, KeyDown(VK_SHIFT), KeyDown(VK_CONTROL),
                                            KeyDown(VK_MENU), repeat});
}

std::string Win32Window::Text(ControlName control) const {
    const HWND handle = HandleOf(control);
    if (handle == nullptr)
        return {};
    std::string text(size_t(GetWindowTextLengthA(handle)) + 1, '\0');
    text.resize(size_t(GetWindowTextA(handle, text.data(), int(text.size()))));
    return text;
}

void Win32Window::SetText(ControlName control, std::string_view text) {
    const Control* found = controls_.Find(control);
    if (found == nullptr)
        return;
    SetWindowTextA(found->handle, NulTerminated(text).c_str());
    if (found->kind == ControlKind::TextBox) {
        const auto end = WPARAM(GetWindowTextLengthA(found->handle));
        SendMessageA(found->handle, EM_SETSEL, end, LPARAM(end));
    }
}

bool Win32Window::Enabled(ControlName control) const {
    const HWND handle = HandleOf(control);
    return handle != nullptr && IsWindowEnabled(handle);
}

void Win32Window::SetEnabled(ControlName control, bool enabled) {
    if (const HWND handle = HandleOf(control))
        EnableWindow(handle, enabled);
}

// The buttons number their states as the program does: 0, 1, and 2 for greyed.
CheckValue Win32Window::Value(ControlName checkBox) const {
    const HWND handle = HandleOf(checkBox);
    const int state = handle != nullptr ? int(SendMessageA(handle, BM_GETCHECK, 0, 0)) : 0;
    return AsCheckValue(state).value_or(vbUnchecked);
}

void Win32Window::SetValue(ControlName checkBox, CheckValue value) {
    if (const HWND handle = HandleOf(checkBox))
        SendMessageA(handle, BM_SETCHECK, WPARAM(value), 0);
}

bool Win32Window::Visible() const {
    return IsWindowVisible(hwnd_) != FALSE;
}

void Win32Window::Show() {
    ShowWindow(hwnd_, minimisedWhileHidden_ ? SW_SHOWMINNOACTIVE : SW_SHOW);
    minimisedWhileHidden_ = false;
    UpdateWindow(hwnd_);
}

void Win32Window::Hide() {
    ShowWindow(hwnd_, SW_HIDE);
}

WindowStateValue Win32Window::WindowState() const {
    return IsIconic(hwnd_) || minimisedWhileHidden_ ? vbMinimized : vbNormal;
}

void Win32Window::SetWindowState(WindowStateValue state) {
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

void Win32Window::BringToFront() {
    SetForegroundWindow(hwnd_);
    BringWindowToTop(hwnd_);
}

void Win32Window::SetFocus(ControlName control) {
    if (const HWND handle = HandleOf(control))
        ::SetFocus(handle);
}

std::optional<ControlName> Win32Window::FocusedControl() const {
    const Controls::Item* control = Find(GetFocus());
    return control != nullptr ? std::optional(control->name) : std::nullopt;
}

void Win32Window::PopupMenu() {
    const OwnedMenu menu(CreatePopupMenu());
    if (!menu)
        return;
    UINT_PTR id = FirstMenuId;
    for (const MenuItemPlan& item : menuItems_)
        AppendMenuA(menu.get(), MF_STRING, id++, NulTerminated(item.text).c_str());
    SetMenuDefaultItem(menu.get(), UINT(FirstMenuId), FALSE);
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if its window is in the foreground,
    // and the message after it lets the menu go away at once.
    SetForegroundWindow(hwnd_);
    TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    PostMessageA(hwnd_, WM_NULL, 0, 0);
}

void Win32Window::StartTimer(TimerName timer, int milliseconds) {
    Timer* found = timers_.Find(timer);
    if (found == nullptr)
        found = &timers_.Add(timer, {FirstTimerId + timers_.size(), false});
    found->running =
        SetTimer(hwnd_, found->id, UINT(std::max(milliseconds, 1)), nullptr) != 0 || found->running;
}

void Win32Window::StopTimer(TimerName timer) {
    if (Timer* found = timers_.Find(timer); found != nullptr && found->running) {
        KillTimer(hwnd_, found->id);
        found->running = false;
    }
}

bool Win32Window::TimerEnabled(TimerName timer) const {
    const Timer* found = timers_.Find(timer);
    return found != nullptr && found->running;
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
    for (auto& [name, timer] : timers_)
        if (timer.running) {
            KillTimer(hwnd_, timer.id);
            timer.running = false;
        }
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

// Tells the program which control has the keyboard focus.
LRESULT CALLBACK Win32Window::ControlProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR, DWORD_PTR window) {
    auto* self = reinterpret_cast<Win32Window*>(window);
    if (message == WM_SETFOCUS && self->events_ != nullptr)
        if (const Controls::Item* control = self->Find(hwnd))
            self->events_->GotFocus(control->name);
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(hwnd, ControlProcedure, SubclassId);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void Win32Window::OnRegisteredMessage(const char* name, std::function<void()> handler) {
    if (const UINT message = RegisterWindowMessageA(name); message != 0)
        registeredMessages_.emplace_back(message, std::move(handler));
}

LRESULT Win32Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    for (const auto& [registered, handler] : registeredMessages_)
        if (message == registered) {
            handler();
            return 0;
        }
    switch (message) {
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_MOUSEMOVE:
        if (events_ != nullptr)
            events_->MouseMove(DecodeMouseMove(lParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (const LRESULT brush =
                OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
            return brush;
        break;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ACTIVATE:
        if (OnActivate(wParam))
            return 0;
        break;
    default:
        if (const std::optional<LRESULT> handled = OnLifeMessage(message, wParam, lParam))
            return *handled;
        break;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

// What changes the window's look, and what ends it, or the session.
std::optional<LRESULT> Win32Window::OnLifeMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DPICHANGED:
        OnDpiChanged(wParam, *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
    case WM_SETTINGCHANGE: // high contrast on or off among them
        OnAppearanceChanged(message, wParam);
        return std::nullopt;
    case Restyle:
        restyling_ = false;
        indicators_.clear();
        if (events_ != nullptr)
            events_->AppearanceChanged();
        return 0;
    case WM_CLOSE:
        Close();
        DestroyWindow(hwnd_);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam != FALSE && events_ != nullptr)
            events_->SessionEnding();
        return 0;
    case WM_DESTROY:
        hwnd_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return std::nullopt;
    }
}

void Win32Window::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (events_ == nullptr)
        return;
    const UINT_PTR id = LOWORD(wParam);
    if (lParam == 0) { // a menu item, or a key the dialog manager turned into IDOK or IDCANCEL
        if (id >= FirstMenuId && id - FirstMenuId < menuItems_.size())
            events_->MenuClick(menuItems_[id - FirstMenuId].name);
        return;
    }
    const Controls::Item* control = Find(reinterpret_cast<HWND>(lParam));
    if (control == nullptr)
        return;
    const WORD code = HIWORD(wParam);
    const ControlKind kind = control->thing.kind;
    const bool button = kind == ControlKind::Button || kind == ControlKind::CheckBox;
    if (button && code == BN_CLICKED)
        events_->Click(control->name);
    else if (kind == ControlKind::TextBox && code == EN_CHANGE)
        events_->Change(control->name);
}

void Win32Window::OnTimer(UINT_PTR id) {
    const auto* found = timers_.Where([id](const Timer& t) { return t.id == id; });
    if (found == nullptr)
        return;
    // Each start runs once.
    const TimerName name = found->name;
    StopTimer(name);
    if (events_ != nullptr)
        events_->Timer(name);
}

LRESULT Win32Window::OnControlColour(HDC dc, HWND control) {
    const auto found = colours_.find(control);
    if (found == colours_.end())
        return 0;
    SetBkColor(dc, found->second.background);
    SetTextColor(dc, found->second.foreground);
    return reinterpret_cast<LRESULT>(found->second.brush.get());
}

void Win32Window::OnPaint() {
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(hwnd_, &paint);
    for (const Shape& shape : shapes_)
        FillRect(dc, &shape.rect, shape.brush.get());
    EndPaint(hwnd_, &paint);
}

// The window went to a screen of another scale. The system suggests where it should stand;
// its size follows from the table, as the rest does.
void Win32Window::OnDpiChanged(WPARAM wParam, const RECT& suggested) {
    twipsPerPixelX_ = TwipsPerPixel(LOWORD(wParam));
    twipsPerPixelY_ = TwipsPerPixel(HIWORD(wParam));
    dpi_ = HIWORD(wParam);
    indicators_.clear();
    placeAt_ = POINT{suggested.left, suggested.top};
    if (events_ != nullptr)
        events_->AppearanceChanged();
}

// The system's colours, its theme, its fonts or high contrast changed: the program lays the window
// out anew once the messages for it have all come. The common controls hear of new colours from
// their parent.
void Win32Window::OnAppearanceChanged(UINT message, WPARAM wParam) {
    if (message == WM_SYSCOLORCHANGE) {
        for (const auto& [name, control] : controls_)
            SendMessageA(control.handle, message, 0, 0);
        if (tooltips_ != nullptr)
            SendMessageA(tooltips_, message, 0, 0);
    }
    if (message == WM_SETTINGCHANGE && wParam != SPI_SETHIGHCONTRAST &&
        wParam != SPI_SETNONCLIENTMETRICS)
        return;
    if (!restyling_ && PostMessageA(hwnd_, Restyle, 0, 0))
        restyling_ = true;
}

// The window became active: the program puts the keyboard focus on a control, where the
// system would leave it on the window.
bool Win32Window::OnActivate(WPARAM wParam) {
    const bool activated = LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0;
    if (!activated || events_ == nullptr)
        return false;
    events_->Activate();
    return true;
}

} // namespace platform
