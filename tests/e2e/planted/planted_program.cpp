// A program planted beside a setup file under the name of a system program ("regsvr32.exe",
// "rundll32.exe"): when started, it leaves "<its file name>.started" in NORV_PLANTED_MARKS.
#include "leave_mark.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  LeaveMark(nullptr, L"started");
  return 0;
}
