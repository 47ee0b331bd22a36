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

std::wstring AskWhichToOpen(HWND owner, const wchar_t* filter, std::wstring& folder) {
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = GetAncestor(owner, GA_ROOT);
  open.lpstrFilter = filter;
  open.lpstrFile = file.data();
  open.nMaxFile = static_cast<DWORD>(file.size());
  open.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  open.Flags = OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetOpenFileNameW(&open)) return std::wstring();
  const std::wstring chosen(file.data());
  folder = chosen.substr(0, open.nFileOffset > 0 ? open.nFileOffset - 1 : 0);
  return chosen;
}

bool AskYesNo(HWND owner, const std::wstring& question, const wchar_t* caption) {
  return MessageBoxW(GetAncestor(owner, GA_ROOT), question.c_str(), caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace ui
