#include "window/win32/dpi.h"

#include <cstdlib>  // std::abs
#include <utility>  // std::move

namespace quorvane::win32 {
namespace {

constexpr UINT kDesignDpi = 96;

// The function `name` of user32, where this Windows has it.
template <typename Function>
Function UserFunction(const char* name) {
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
  // Through the one function type GCC lets any other be cast from.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The one scale of the whole desktop, before monitors had their own.
UINT DesktopDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) {
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

// The message font's face and size at `dpi`.
LOGFONTW MessageFace(UINT dpi) {
  static const auto parameters_for_dpi =
      UserFunction<BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT)>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (parameters_for_dpi == nullptr ||
      !parameters_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW& font = metrics.lfMessageFont;
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(DesktopDpi()));
  }
  LOGFONTW font = metrics.lfMessageFont;
  if (font.lfHeight == 0) {
    font.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
  }
  return font;
}

}  // namespace

UINT WindowDpi(HWND window) {
  static const auto get_dpi_for_window = UserFunction<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  const UINT dpi = get_dpi_for_window != nullptr ? get_dpi_for_window(window) : 0;
  return dpi != 0 ? dpi : DesktopDpi();
}

ScopedFont MessageFont(UINT dpi, const std::function<bool(HFONT)>& fits) {
  LOGFONTW font = MessageFace(dpi);
  ScopedFont made(CreateFontIndirectW(&font));
  const LONG smallest = MulDiv(8, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
  // A height is the letters' own where negative, and with the leading where positive.
  while (made && !fits(made.get()) && std::abs(font.lfHeight) > smallest) {
    font.lfHeight += font.lfHeight < 0 ? 1 : -1;
    made.reset(CreateFontIndirectW(&font));
  }
  return made ? std::move(made) : ScopedFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
}

SIZE WindowSize(SIZE client, DWORD style, DWORD ex_style, UINT dpi) {
  static const auto adjust_for_dpi =
      UserFunction<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, client.cx, client.cy};
  if (adjust_for_dpi == nullptr || !adjust_for_dpi(&rect, style, FALSE, ex_style, dpi)) {
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace quorvane::win32
