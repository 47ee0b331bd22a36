// Any two texts in the list's order: the order is antisymmetric and a
// text ties only with itself.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../tests/pure/AsciiNoCase.h"
#include "common/NaturalOrder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring text(size / 2, L'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
  const size_t cut = text.find(L'|');
  const std::wstring a = text.substr(0, cut), b = cut == std::wstring::npos ? std::wstring() : text.substr(cut + 1);
  const int forward = CompareNatural(a, b, AsciiNoCase), backward = CompareNatural(b, a, AsciiNoCase);
  if (forward != -backward || (forward == 0) != (a == b) || CompareNatural(a, a, AsciiNoCase) != 0) __builtin_trap();
  return 0;
}
