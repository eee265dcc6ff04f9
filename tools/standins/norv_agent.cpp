// Stand-in for a kind-2 program of the suite: it understands "-Start", "-Stop", "-RegServer" and
// "-UnRegServer", and records each under HKCU "Software\NorvStandIns":
//   "<file name>.State"       "started" or "stopped"
//   "<file name>.Registered"  present while registered
//   "<file name>.LastCommand" the command line of its last start, whatever it held (so that a
//                             copy planted under another name shows whether it was started)
#include <windows.h>

#include <string>

#include "base/path.h"
#include "platform/system.h"
#include "standin_marks.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::u16string command_line = standins::CommandLine();
  const std::u16string name(base::FileNamePart(platform::ModuleFilePath()));
  const char16_t* line = command_line.c_str();
  standins::SetMark(name + u".LastCommand", command_line);
  if (standins::HasSwitch(line, u"-Start")) standins::SetMark(name + u".State", u"started");
  if (standins::HasSwitch(line, u"-Stop")) standins::SetMark(name + u".State", u"stopped");
  if (standins::HasSwitch(line, u"-RegServer")) standins::SetMark(name + u".Registered", u"1");
  if (standins::HasSwitch(line, u"-UnRegServer")) standins::RemoveMark(name + u".Registered");
  return 0;
}
