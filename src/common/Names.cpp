#include "common/Names.h"

#include <windows.h>

#include "common/NaturalOrder.h"

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

int CompareNames(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) -
         CSTR_EQUAL;
}

int CompareNaturally(std::wstring_view a, std::wstring_view b) { return CompareNatural(a, b, CompareNames); }

namespace {

// ntdll's character upcase: the table the registry, the file system and
// CompareStringOrdinal fold by. Present on every Windows; looked up once.
using UpcaseChar = WCHAR(WINAPI*)(WCHAR);
UpcaseChar SystemUpcase() {
  static const UpcaseChar upcase = reinterpret_cast<UpcaseChar>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar")));
  return upcase;
}

}  // namespace

std::wstring FoldedName(const std::wstring& name) {
  std::wstring folded = name;
  if (const UpcaseChar upcase = SystemUpcase()) {
    for (wchar_t& c : folded) c = upcase(c);
  } else if (!folded.empty()) {
    CharUpperBuffW(&folded[0], static_cast<DWORD>(folded.size()));
  }
  return folded;
}
