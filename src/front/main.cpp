#include <windows.h>

#include <cstdlib>
#include <string>

#include "front/front.h"

namespace {

// A downloaded setup usually runs from Downloads, next to whatever else was downloaded. Windows
// looks for a DLL that is no KnownDLL in the program's own folder first, cmd.exe looks for `where`
// and `code` in the current folder before PATH, and so does the C runtime for a cmd.exe that
// COMSPEC does not name; all would run planted files. shell32, user32 and advapi32 are
// delay-loaded (root CMakeLists.txt): the first call to each loads it, so this must run before any
// such call.
void RefusePlantedFiles() {
  // Absent on Windows 7 without KB2533623, hence looked up rather than imported; there the DLLs
  // are searched for as before, the program's folder first.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto set_default_dll_directories =
      reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (set_default_dll_directories != nullptr) {
    set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Read by cmd.exe through NeedCurrentDirectoryForExePath; its value does not matter. _putenv
  // updates the environment that system() hands to the interpreter as well as the CRT's copy.
  _putenv("NoDefaultCurrentDirectoryInExePath=1");
  // Without a usable COMSPEC, system() starts a bare "cmd.exe", looked for in the current folder
  // first. system() reads the CRT's copy of the environment, hence getenv and _putenv.
  const char* comspec = std::getenv("COMSPEC");
  const DWORD attributes = comspec ? GetFileAttributesA(comspec) : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    char system_folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system_folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      _putenv(("COMSPEC=" + std::string(system_folder, length) + "\\cmd.exe").c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RefusePlantedFiles();
  return RunSetupFrontEnd(argc, argv);
}
