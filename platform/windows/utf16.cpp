#include "platform/windows/utf16.h"

#include <windows.h>

namespace quorvane::platform {
namespace {

bool IsHigh(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether the unit at `i` is half of a surrogate pair that has no other half.
bool IsLoneSurrogate(std::wstring_view wide, std::size_t i) {
  if (IsHigh(wide[i])) {
    return i + 1 == wide.size() || !IsLow(wide[i + 1]);
  }
  return IsLow(wide[i]) && (i == 0 || !IsHigh(wide[i - 1]));
}

// A lone surrogate in UTF-8's three-byte form: ED, then A0 to BF, then a continuation byte.
bool IsEncodedSurrogate(std::string_view text, std::size_t i) {
  return i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xED &&
         (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0xA0 &&
         (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80;
}

void AppendUtf8(std::string& out, std::wstring_view wide) {
  if (wide.empty()) {
    return;
  }
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(length));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data() + at, length, nullptr, nullptr);
}

void AppendWide(std::wstring& out, std::string_view text) {
  if (text.empty()) {
    return;
  }
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(length));
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data() + at, length);
}

}  // namespace

std::string ToUtf8(std::wstring_view wide) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (IsLoneSurrogate(wide, i)) {
      AppendUtf8(out, wide.substr(start, i - start));
      const auto unit = static_cast<unsigned>(wide[i]);
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
      start = i + 1;
    }
  }
  AppendUtf8(out, wide.substr(start));
  return out;
}

std::wstring ToWide(std::string_view text) {
  std::wstring out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsEncodedSurrogate(text, i)) {
      AppendWide(out, text.substr(start, i - start));
      out += static_cast<wchar_t>(0xD000 | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F));
      i += 2;
      start = i + 1;
    }
  }
  AppendWide(out, text.substr(start));
  return out;
}

}  // namespace quorvane::platform
