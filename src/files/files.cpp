#include "files/files.h"

#include <windows.h>
// Needs <windows.h> first.
#include <shellapi.h>

#include <memory>

#include "front/front.h"

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

}  // namespace

bool WriteResourceToFile(std::uint16_t id, const std::string& path) {
  HRSRC resource = FindResourceA(/*hModule=*/nullptr, MAKEINTRESOURCEA(id), RT_RCDATA);
  if (resource == nullptr) return false;
  HGLOBAL loaded = LoadResource(/*hModule=*/nullptr, resource);
  if (loaded == nullptr) return false;
  const void* bytes = LockResource(loaded);
  const DWORD size = SizeofResource(/*hModule=*/nullptr, resource);
  if (bytes == nullptr || size == 0) return false;

  HANDLE raw = CreateFileA(path.c_str(), GENERIC_WRITE, /*dwShareMode=*/0,
                           /*lpSecurityAttributes=*/nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           /*hTemplateFile=*/nullptr);
  if (raw == INVALID_HANDLE_VALUE) return false;
  UniqueHandle file(raw);

  DWORD written = 0;
  const BOOL ok = WriteFile(file.get(), bytes, size, &written, /*lpOverlapped=*/nullptr);
  return ok && written == size;
}

bool PlaceToolExecutable(const std::string& bin_folder) {
  if (!WriteResourceToFile(PAYLOAD_TOOL, bin_folder + "\\palvex.exe")) {
    Print("  ERROR: could not write palvex.exe\n");
    return false;
  }
  PrintStatus("Installed palvex.exe");
  return true;
}

void DeleteInstallRoot(const std::string& install_root) {
  if (GetFileAttributesA(install_root.c_str()) == INVALID_FILE_ATTRIBUTES) return;

  // The shell takes a list of paths, each ended by a zero and the list by one more.
  std::string sources = install_root;
  sources.append(2, '\0');

  SHFILEOPSTRUCTA operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = sources.c_str();
  // No FOF_ALLOWUNDO: the files go for good, not to the Recycle Bin.
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
  // What the shell could not delete (a file in use) stays; there is nothing more to do about it.
  (void)SHFileOperationA(&operation);
  PrintStatus("Deleted installed files");
}
