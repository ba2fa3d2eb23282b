// Prints the window that the program of this build would make here, for the scenario runner:
// where each control is, in pixels, how wide the ink of its text is in its font (from the first
// letter's left edge to the last one's right edge, as the window system's fonts draw them), and
// where across the control the text lies. The same plan, from the same window
// system, that the program builds its window from, at the screen's density, in the desktop's style,
// fonts and colours.
#include "ui/controls.h"
#include "ui/layout.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/window.h"
#else
#include "platform/qt/window.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#endif

namespace {

// Where a pixel of black text on white counts as ink: as dark as the runner's ink, which
// contrasts at least 3:1 with what is behind it.
constexpr int InkBelow = 150;

// The width of the columns that the text's ink covers, drawn black on white in the font.
int InkWidth(const platform::FontPlan& plan, std::string_view text) {
    if (text.empty())
        return 0;
    constexpr int Width = 1000;
    constexpr int Height = 100;
    std::vector<bool> inked(Width);
#ifdef _WIN32
    const HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HFONT font =
        CreateFontA(-plan.pixels, 0, 0, 0, plan.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_SWISS, std::string(plan.face).c_str());
    SelectObject(dc, bitmap);
    SelectObject(dc, font);
    RECT all{0, 0, Width, Height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 10, 10, text.data(), int(text.size()));
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            inked[std::size_t(x)] =
                inked[std::size_t(x)] || (pixels[y * Width + x] & 0xff) < InkBelow;
    DeleteDC(dc);
    DeleteObject(bitmap);
    DeleteObject(font);
#else
    QFont font(QString::fromUtf8(plan.face.data(), qsizetype(plan.face.size())));
    font.setPixelSize(plan.pixels);
    font.setBold(plan.bold);
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(10, 10 + QFontMetrics(font).ascent(),
                     QString::fromLocal8Bit(text.data(), qsizetype(text.size())));
    painter.end();
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            inked[std::size_t(x)] = inked[std::size_t(x)] || qGray(image.pixel(x, y)) < InkBelow;
#endif
    const auto first = std::find(inked.begin(), inked.end(), true);
    const auto last = std::find(inked.rbegin(), inked.rend(), true);
    return first == inked.end() ? 0 : int(inked.rend() - last) - int(first - inked.begin());
}

const char* KindName(platform::ControlKind kind) {
    switch (kind) {
    case platform::ControlKind::Shape:
        return "Shape";
    case platform::ControlKind::Label:
        return "Label";
    case platform::ControlKind::TextBox:
        return "TextBox";
    case platform::ControlKind::Button:
        return "Button";
    case platform::ControlKind::CheckBox:
        return "CheckBox";
    }
    return "?";
}

void Print(const platform::Window& window) {
    const platform::WindowPlan plan = ui::PlanWindow(controls::Form1Layout, window);
    std::printf("client %d %d\n", plan.clientWidth, plan.clientHeight);
    for (const platform::ControlPlan& control : plan.controls) {
        const platform::Rect& r = control.rect;
        const platform::ControlMetrics m = window.Measure(control.kind, control.font, control.text);
        // Where across the control its text may lie: after the indicator, inside the frame.
        std::printf("control %s %s %d %d %d %d %d %d %d\n",
                    std::string(control.name.Text()).c_str(), KindName(control.kind), r.left, r.top,
                    r.width, r.height, InkWidth(control.font, control.text),
                    m.indicator.width + m.frame.width, r.width - m.frame.width);
    }
    for (const platform::MenuItemPlan& item : plan.menuItems)
        std::printf("menu %s %s\n", std::string(item.name.Text()).c_str(),
                    std::string(item.text).c_str());
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    const platform::Win32Window window(GetModuleHandleA(nullptr));
#else
    QApplication application(argc, argv);
    const platform::QtWindow window;
#endif
    Print(window);
    return 0;
}
