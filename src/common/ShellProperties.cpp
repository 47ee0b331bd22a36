#include "common/ShellProperties.h"

#include <shlobj.h>

#include "common/ComPtr.h"

namespace {
struct ItemList {
  PIDLIST_ABSOLUTE items = nullptr;
  ~ItemList() { CoTaskMemFree(items); }
};
}  // namespace

HRESULT ShowShellProperties(HWND owner, const std::wstring& path) {
  ItemList item;
  HRESULT result = SHParseDisplayName(path.c_str(), nullptr, &item.items, 0, nullptr);
  if (FAILED(result)) return result;
  ComPtr<IShellFolder> folder;
  PCUITEMID_CHILD child = nullptr;
  result = SHBindToParent(item.items, IID_IShellFolder, folder.ReceiveVoid(), &child);
  if (FAILED(result)) return result;
  ComPtr<IContextMenu> menu;
  result = folder->GetUIObjectOf(owner, 1, &child, IID_IContextMenu, nullptr, menu.ReceiveVoid());
  if (FAILED(result)) return result;
  CMINVOKECOMMANDINFO invoke{};
  invoke.cbSize = sizeof invoke;
  invoke.hwnd = owner;
  invoke.lpVerb = "properties";
  invoke.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&invoke);
}
