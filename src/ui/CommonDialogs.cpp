#include "ui/CommonDialogs.h"

#include <commdlg.h>

#include <vector>

namespace ui {

std::wstring AskWhereToSave(HWND owner, const std::wstring& suggested, const wchar_t* filter, const wchar_t* extension) {
  // The longest path the dialog hands back, with its NUL.
  std::vector<wchar_t> file(32768, L'\0');
  suggested.copy(file.data(), suggested.size());
  OPENFILENAMEW save{};
  save.lStructSize = sizeof save;
  save.hwndOwner = GetAncestor(owner, GA_ROOT);
  save.lpstrFilter = filter;
  save.lpstrFile = file.data();
  save.nMaxFile = static_cast<DWORD>(file.size());
  save.lpstrDefExt = extension;
  // The host's current folder stays its own.
  save.Flags = OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  return GetSaveFileNameW(&save) ? std::wstring(file.data()) : std::wstring();
}

bool AskYesNo(HWND owner, const std::wstring& question, const wchar_t* caption) {
  return MessageBoxW(GetAncestor(owner, GA_ROOT), question.c_str(), caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace ui
