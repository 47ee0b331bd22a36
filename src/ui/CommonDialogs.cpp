#include "ui/CommonDialogs.h"

#include <commdlg.h>

#include <vector>

namespace ui {

namespace {
// The save and open dialogs' common part, over `file`: the longest path
// the dialog hands back, with its NUL. The host's current folder stays
// its own.
OPENFILENAMEW FileDialog(HWND owner, const wchar_t* filter, std::vector<wchar_t>& file, DWORD flags) {
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetAncestor(owner, GA_ROOT);
  dialog.lpstrFilter = filter;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | flags;
  return dialog;
}
}  // namespace

std::wstring AskWhereToSave(HWND owner, const std::wstring& suggested, const wchar_t* filter, const wchar_t* extension) {
  std::vector<wchar_t> file(32768, L'\0');
  suggested.copy(file.data(), suggested.size());
  OPENFILENAMEW save = FileDialog(owner, filter, file, OFN_OVERWRITEPROMPT);
  save.lpstrDefExt = extension;
  return GetSaveFileNameW(&save) ? std::wstring(file.data()) : std::wstring();
}

std::wstring AskWhichToOpen(HWND owner, const wchar_t* filter, std::wstring& folder) {
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW open = FileDialog(owner, filter, file, OFN_FILEMUSTEXIST);
  open.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  if (!GetOpenFileNameW(&open)) return std::wstring();
  const std::wstring chosen(file.data());
  folder = chosen.substr(0, open.nFileOffset > 0 ? open.nFileOffset - 1 : 0);
  return chosen;
}

bool AskYesNo(HWND owner, const std::wstring& question, const wchar_t* caption) {
  return MessageBoxW(GetAncestor(owner, GA_ROOT), question.c_str(), caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace ui
