// What a screen reader on Windows calls each control of the running program's window: one line
// per control, "left top width height<TAB>name", in pixels of the client area, UTF-8.
#include <cstdio>
#include <oleacc.h>
#include <string>
#include <windows.h>

namespace {

std::string Utf8(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 1), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM window) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, reinterpret_cast<HWND>(window), reinterpret_cast<POINT*>(&r), 2);
    IAccessible* accessible = nullptr;
    std::string name;
    if (SUCCEEDED(AccessibleObjectFromWindow(control, DWORD(OBJID_CLIENT), __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&accessible)))) {
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR text = nullptr;
        if (accessible->get_accName(self, &text) == S_OK && text != nullptr) {
            name = Utf8(text);
            SysFreeString(text);
        }
        accessible->Release();
    }
    std::printf("%ld %ld %ld %ld\t%s\n", r.left, r.top, r.right - r.left, r.bottom - r.top,
                name.c_str());
    return TRUE;
}

} // namespace

int main() {
    const HWND window = FindWindowA("TallimerWindow", nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "no Tallimer window\n");
        return 1;
    }
    CoInitialize(nullptr);
    EnumChildWindows(window, PrintControl, reinterpret_cast<LPARAM>(window));
    CoUninitialize();
    return 0;
}
