#pragma once
#include <windows.h>

#include <cstdint>

// Every function whose address reaches the host is stdcall; the export
// alone takes its one argument in EAX and removes nothing from the stack.
extern "C" {
__attribute__((regparm(1))) void InitPlugInLib(void* libInfo);
uint32_t __stdcall LibCallback(uint32_t command, void* data);
void* __stdcall GetPlugInFunction(uint32_t slot);
uint32_t __stdcall EmptyPlugInFunction(uint32_t param, HWND wnd);
uint32_t __stdcall ShowAbout(uint32_t param, HWND wnd);
uint32_t __stdcall ExecutePlugIn(uint32_t param, HWND wnd);
}

uint32_t FillPlugInInfo(void* info);
