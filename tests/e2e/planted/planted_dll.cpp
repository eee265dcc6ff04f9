// A DLL planted beside a setup file under the name of a DLL that programs load by name: when any
// process loads it, it leaves "<its file name>.loaded" in the folder NORV_PLANTED_MARKS names.
#include "leave_mark.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(instance, L"loaded");
  return TRUE;
}

// Stands in for the one function a program could import from netapi32.dll, so that a program
// importing it would load this copy and start.
extern "C" __declspec(dllexport) UCHAR APIENTRY Netbios(PNCB) { return NRC_ENVNOTDEF; }
