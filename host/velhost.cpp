// A small stand-in for the file manager: loads velpdl.pdl, runs the
// handshake with records of its own and opens the manager or the About box.
//
//   velhost [--library PATH] [--handshake] [--about] [--manager]
//           [--dump FILE] [--close-after MS] [--show NODE] [--compare LIST]
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "PlugInCall.h"

namespace {

// Larger than the library's minimum, prefilled so untouched bytes show.
constexpr size_t kLibInfoSize = 1024, kInfoSize = 2048;

using LibCallbackFn = uint32_t(__stdcall*)(uint32_t, void*);
using GetPlugInFunctionFn = void*(__stdcall*)(uint32_t);
using PlugInFunction = uint32_t(__stdcall*)(uint32_t, HWND);

struct Options {
  std::string library;
  bool handshake = false, about = false, manager = false;
  std::string dumpFile;
  int closeAfterMs = 0;
  std::string show;  // a top-level node to select once the manager is open
  std::string compare;  // a saved list to compare with, chosen as a user does
};

struct PlugIn {
  std::vector<uint8_t> libInfo = std::vector<uint8_t>(kLibInfoSize, 0xFF);
  std::vector<uint8_t> info = std::vector<uint8_t>(kInfoSize, 0xFF);
  uint32_t callbackResult = 0;
  PlugInFunction about = nullptr, execute = nullptr;
};

Options options;
PlugIn plugIn;
HWND mainWindow = nullptr;

uint32_t ReadU32(const std::vector<uint8_t>& record, size_t offset) {
  uint32_t value;
  memcpy(&value, record.data() + offset, 4);
  return value;
}

bool Handshake(HMODULE library) {
  void* init = reinterpret_cast<void*>(GetProcAddress(library, "InitPlugInLib"));
  if (!init) {
    std::printf("InitPlugInLib not exported\n");
    return false;
  }
  if (!CallInitPlugInLib(init, plugIn.libInfo.data())) std::printf("InitPlugInLib moved the stack pointer\n");
  auto callback = reinterpret_cast<LibCallbackFn>(static_cast<uintptr_t>(ReadU32(plugIn.libInfo, 812)));
  plugIn.callbackResult = callback(1, plugIn.info.data());
  auto getFunction = reinterpret_cast<GetPlugInFunctionFn>(static_cast<uintptr_t>(ReadU32(plugIn.info, 1592)));
  plugIn.about = reinterpret_cast<PlugInFunction>(getFunction(2));
  plugIn.execute = reinterpret_cast<PlugInFunction>(getFunction(4));
  return plugIn.about && plugIn.execute;
}

void PrintWritten(const char* name, const std::vector<uint8_t>& record) {
  std::printf("%s (%u bytes, prefilled with FF), written bytes:\n", name, unsigned(record.size()));
  for (size_t i = 0; i < record.size();) {
    if (record[i] == 0xFF) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < record.size() && record[end] != 0xFF) ++end;
    std::printf("  %4u..%4u:", unsigned(i), unsigned(end - 1));
    for (size_t j = i; j < end; ++j) std::printf(" %02X", record[j]);
    std::printf("\n");
    i = end;
  }
}

BOOL CALLBACK FindChildByClass(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<std::pair<const char*, HWND>*>(context);
  char name[64];
  GetClassNameA(child, name, sizeof name);
  if (lstrcmpiA(name, search->first) == 0) {
    search->second = child;
    return FALSE;
  }
  return TRUE;
}

HWND ChildOfClass(HWND parent, const char* className) {
  std::pair<const char*, HWND> search{className, nullptr};
  EnumChildWindows(parent, &FindChildByClass, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

std::string TreeText(HWND tree, HTREEITEM item) {
  char text[512] = "";
  TVITEMA tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return text;
}

// As UTF-8: the rows' names may be in any script.
std::string ListText(HWND list, int row, int column) {
  wchar_t text[2048] = L"";
  LVITEMW lv{};
  lv.iSubItem = column;
  lv.pszText = text;
  lv.cchTextMax = 2048;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&lv));
  char utf8[8192] = "";
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

// Writes what the open manager shows: the tree, then the rows listed for
// every node in turn.
void DumpManager(HWND manager, FILE* out) {
  HWND tree = ChildOfClass(manager, WC_TREEVIEWA);
  HWND list = ChildOfClass(manager, WC_LISTVIEWA);
  std::vector<HTREEITEM> nodes;
  auto next = [&](HTREEITEM item, UINT code) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
  };
  std::fprintf(out, "Tree:\n");
  for (HTREEITEM root = next(nullptr, TVGN_ROOT); root; root = next(root, TVGN_NEXT)) {
    std::fprintf(out, "  %s\n", TreeText(tree, root).c_str());
    nodes.push_back(root);
    for (HTREEITEM child = next(root, TVGN_CHILD); child; child = next(child, TVGN_NEXT)) {
      std::fprintf(out, "    %s\n", TreeText(tree, child).c_str());
      nodes.push_back(child);
    }
  }
  HTREEITEM selected = next(nullptr, TVGN_CARET);
  for (HTREEITEM node : nodes) {
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
    // The signatures are verified on the manager's own thread: the rows are
    // read once their Publisher texts have stayed the same for a while.
    const auto publishers = [&] {
      std::string texts;
      const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
      for (int row = 0; row < count; ++row) texts += ListText(list, row, 2) + '\n';
      return texts;
    };
    // The first node waits longest: its answers load the verification.
    const DWORD quiet = node == nodes.front() ? 1500 : 200;
    std::string seen = publishers();
    for (DWORD start = GetTickCount(), still = start; GetTickCount() - still < quiet && GetTickCount() - start < 8000;) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
      Sleep(20);
      const std::string now = publishers();
      if (now != seen) {
        seen = now;
        still = GetTickCount();
      }
    }
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    std::fprintf(out, "Rows of %s:\n", TreeText(tree, node).c_str());
    constexpr int kMissingPicture = 7;
    for (int row = 0; row < rows; ++row) {
      std::string name = ListText(list, row, 0);
      // Padded by characters, not bytes.
      size_t characters = 0;
      for (unsigned char byte : name) characters += (byte & 0xC0) != 0x80;
      if (characters < 24) name.append(24 - characters, ' ');
      // The box Windows' startup switch shows, and the toolbar strip's last
      // picture, which marks a program that is gone.
      const LRESULT box = SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK) >> 12;
      LVITEMA item{};
      item.mask = LVIF_IMAGE;
      item.iItem = row;
      SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
      const char* mark = box == 2 ? "[x]" : box == 1 ? "[ ]" : "   ";
      std::string facts = ListText(list, row, 2) + " / " + ListText(list, row, 3);
      if (facts == " / ") facts.clear();
      std::fprintf(out, "  %s %s %s%s%s%s\n", mark, name.c_str(), ListText(list, row, 1).c_str(),
                   item.iImage == kMissingPicture ? "  (missing)" : "", facts.empty() ? "" : "  | ", facts.c_str());
    }
  }
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(selected));
}

// Selects the top-level node of that caption and its first row, as a
// person looking there would.
void ShowNode(HWND manager, const std::string& caption) {
  HWND tree = ChildOfClass(manager, WC_TREEVIEWA);
  HWND list = ChildOfClass(manager, WC_LISTVIEWA);
  for (HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); root;
       root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(root)))) {
    // Every root open, so that a screenshot shows every place.
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    if (TreeText(tree, root) != caption) continue;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(root));
    LVITEMA state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    SetFocus(list);
  }
}

// The open dialog "Compare with saved list..." shows: the list's path
// typed into its file name box, then OK.
void CALLBACK AnswerOpenDialog(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = FindWindowA("#32770", nullptr);
  if (!dialog || !IsWindowVisible(dialog)) return;
  KillTimer(nullptr, id);
  constexpr int kFileNameCombo = 0x47C, kFileNameEdit = 0x480;
  if (!SetDlgItemTextA(dialog, kFileNameCombo, options.compare.c_str()))
    SetDlgItemTextA(dialog, kFileNameEdit, options.compare.c_str());
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// The toolbar button with the comparison's picture, clicked as a user does.
void StartComparing(HWND manager) {
  constexpr int kComparePicture = 8;
  HWND toolbar = ChildOfClass(manager, TOOLBARCLASSNAMEA);
  const int count = toolbar ? static_cast<int>(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0)) : 0;
  for (int at = 0; at < count; ++at) {
    TBBUTTON button{};
    SendMessageA(toolbar, TB_GETBUTTON, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&button));
    if (button.iBitmap != kComparePicture || (button.fsStyle & BTNS_SEP)) continue;
    SetTimer(nullptr, 0, 100, &AnswerOpenDialog);
    PostMessageA(GetParent(toolbar), WM_COMMAND, MAKEWPARAM(button.idCommand, BN_CLICKED),
                 reinterpret_cast<LPARAM>(toolbar));
    return;
  }
}

void CALLBACK CloseManager(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (HWND manager = FindWindowA("TVelmoraWin", "Velmora")) PostMessageA(manager, WM_CLOSE, 0, 0);
}

void CALLBACK WatchForManager(HWND, UINT, UINT_PTR id, DWORD) {
  HWND manager = FindWindowA("TVelmoraWin", "Velmora");
  if (!manager || !IsWindowVisible(manager)) return;
  KillTimer(nullptr, id);
  if (!options.dumpFile.empty()) {
    const std::string partial = options.dumpFile + ".part";
    if (FILE* out = std::fopen(partial.c_str(), "w")) {
      DumpManager(manager, out);
      std::fclose(out);
      MoveFileExA(partial.c_str(), options.dumpFile.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
  }
  if (!options.show.empty()) ShowNode(manager, options.show);
  if (!options.compare.empty()) StartComparing(manager);
  if (options.closeAfterMs > 0) SetTimer(nullptr, 0, options.closeAfterMs, &CloseManager);
}

void OpenManager() {
  if (!options.dumpFile.empty() || options.closeAfterMs > 0 || !options.show.empty() || !options.compare.empty())
    SetTimer(nullptr, 0, 100, &WatchForManager);
  plugIn.execute(0, mainWindow);
}

enum { idOpenManager = 1, idAbout = 2 };

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
      HWND open = CreateWindowA("BUTTON", "Autorun manager...", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 16, 16,
                                180, 28, window, reinterpret_cast<HMENU>(idOpenManager), nullptr, nullptr);
      HWND about = CreateWindowA("BUTTON", "About Velmora...", WS_CHILD | WS_VISIBLE, 16, 52, 180, 28, window,
                                 reinterpret_cast<HMENU>(idAbout), nullptr, nullptr);
      SendMessageA(open, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      SendMessageA(about, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == idOpenManager) OpenManager();
      if (LOWORD(wParam) == idAbout) plugIn.about(0, window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

std::string DefaultLibraryPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder.erase(folder.find_last_of('\\') + 1);
  return folder + "velpdl.pdl";
}

}  // namespace

int main(int argc, char** argv) {
  options.library = DefaultLibraryPath();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--library" && i + 1 < argc) options.library = argv[++i];
    else if (arg == "--handshake") options.handshake = true;
    else if (arg == "--about") options.about = true;
    else if (arg == "--manager") options.manager = true;
    else if (arg == "--dump" && i + 1 < argc) options.dumpFile = argv[++i];
    else if (arg == "--close-after" && i + 1 < argc) options.closeAfterMs = std::atoi(argv[++i]);
    else if (arg == "--show" && i + 1 < argc) options.show = argv[++i];
    else if (arg == "--compare" && i + 1 < argc) options.compare = argv[++i];
    else {
      std::printf("unknown option %s\n", arg.c_str());
      return 2;
    }
  }
  HMODULE library = LoadLibraryA(options.library.c_str());
  if (!library) {
    std::printf("cannot load %s (error %lu)\n", options.library.c_str(), GetLastError());
    return 1;
  }
  const bool ready = Handshake(library);
  if (options.handshake) {
    std::printf("LibCallback(1) = %u\n", plugIn.callbackResult);
    PrintWritten("TPlugInLibInfo", plugIn.libInfo);
    PrintWritten("TPlugInInfo", plugIn.info);
  }
  if (!ready) return 1;

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &MainProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = "VelHostMain";
  RegisterClassA(&windowClass);
  mainWindow = CreateWindowA("VelHostMain", "Corvana Strandel (test host)", WS_OVERLAPPEDWINDOW, 40, 40, 230, 140,
                             nullptr, nullptr, windowClass.hInstance, nullptr);
  const bool scripted = options.handshake || options.about || options.manager;
  if (!scripted || options.manager) ShowWindow(mainWindow, SW_SHOW);
  if (options.about) plugIn.about(0, mainWindow);
  if (options.manager) OpenManager();
  if (!scripted) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  } else {
    DestroyWindow(mainWindow);
  }
  FreeLibrary(library);
  return 0;
}
