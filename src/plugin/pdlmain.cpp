#include "plugin/pdlmain.h"

#include <cstring>

#include "common/DropSource.h"
#include "manager/velwin.h"
#include "plugin/Copyright.h"
#include "plugin/PlugIntf.h"
#include "ui/ErrorBox.h"

namespace {

using namespace PlugIntf;

// Copies the text and one NUL; the bytes behind stay the host's.
void WriteText(void* record, size_t offset, const char* text) {
  std::memcpy(static_cast<char*>(record) + offset, text, std::strlen(text) + 1);
}

void WriteValue(void* record, size_t offset, uint32_t value) {
  std::memcpy(static_cast<char*>(record) + offset, &value, sizeof value);
}

void WriteAddress(void* record, size_t offset, const void* address) {
  WriteValue(record, offset, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address)));
}

const char* const kPlugInName = "Velmora";
const char* const kAboutCaption = "Corvana Strandel Standart Plug-In";
const char* const kAboutText =
    "Velmora plug-in\r\nfor Corvana Strandel\r\n\r\nCorvana Project.\r\n" VEL_COPYRIGHT;

static_assert(sizeof(VEL_COPYRIGHT) <= LibCopyrightSize, "the copyright line must fit its field");

}  // namespace

extern "C" __attribute__((regparm(1))) void InitPlugInLib(void* libInfo) {
  WriteValue(libInfo, LibValue268, 1);
  WriteValue(libInfo, LibValue272, 0);
  WriteValue(libInfo, LibValue276, 1);
  WriteText(libInfo, LibFileName, "velpdl.pdl");
  WriteText(libInfo, LibCopyright, VEL_COPYRIGHT);
  WriteValue(libInfo, LibValue804, 1);
  WriteValue(libInfo, LibValue808, 0x18000);
  WriteAddress(libInfo, LibCallbackAddress, reinterpret_cast<const void*>(&LibCallback));
  WriteValue(libInfo, LibValue816, 0);
  WriteValue(libInfo, LibValue820, 0);
}

uint32_t FillPlugInInfo(void* info) {
  WriteText(info, PlugInName, kPlugInName);
  WriteText(info, PlugInDescription, "Velmora plug-in for Corvana Strandel");
  WriteValue(info, InfoValue528, 5);
  WriteText(info, InfoText532, kPlugInName);
  WriteText(info, InfoTextArea793, "");
  WriteValue(info, InfoValue1576, 1);
  WriteValue(info, InfoValue1580, 0x10000);
  WriteAddress(info, GetPlugInFunctionAddress, reinterpret_cast<const void*>(&GetPlugInFunction));
  return 3;
}

extern "C" uint32_t __stdcall LibCallback(uint32_t command, void* data) {
  if (command == 1) return FillPlugInInfo(data);
  if (command > 1) return 2;
  return 0;
}

extern "C" void* __stdcall GetPlugInFunction(uint32_t slot) {
  switch (slot) {
    case 1:
      return reinterpret_cast<void*>(&EmptyPlugInFunction);
    case 2:
      return reinterpret_cast<void*>(&ShowAbout);
    case 4:
      return reinterpret_cast<void*>(&ExecutePlugIn);
    default:
      return nullptr;
  }
}

extern "C" uint32_t __stdcall EmptyPlugInFunction(uint32_t, HWND) { return 0; }

extern "C" uint32_t __stdcall ShowAbout(uint32_t, HWND wnd) {
  MessageBoxA(wnd, kAboutText, kAboutCaption, MB_OK | MB_ICONINFORMATION);
  return 0;
}

extern "C" uint32_t __stdcall ExecutePlugIn(uint32_t, HWND wnd) {
  // A C++ exception must not unwind into the host, which is not C++ code
  // and would be ended by it: what ends the run is reported here instead.
  ui::RunHandler(
      [wnd] {
        // The shell's link objects and the open-file dialog need OLE on the
        // host's thread; the host may have its own, in either apartment.
        OleThreadScope ole;
        ShowManagerWindow(wnd);
      },
      wnd);
  return 0;
}
