// mingw-w64's delay-load helper stores each function it resolves straight into the delay-import
// address table, which dlltool's delay libraries put in .idata. ld 2.44 and later map .idata
// read-only, as Windows and Wine then enforce, so that store crashes the first call into shell32,
// user32 or advapi32. The link routes every call of the helper through this wrapper
// (-Wl,--wrap=__delayLoadHelper2), which opens that one entry for writing around the real helper,
// as Microsoft's own helper does for its table, and puts the page's protection back after. Under
// an older ld, which maps .idata writable, it changes nothing.
#include <windows.h>
// Needs <windows.h> first.
#include <delayimp.h>

extern "C" FARPROC WINAPI __real___delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* entry);

extern "C" FARPROC WINAPI __wrap___delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* entry) {
  DWORD protection;
  const bool opened = VirtualProtect(entry, sizeof(*entry), PAGE_READWRITE, &protection);
  const FARPROC function = __real___delayLoadHelper2(descriptor, entry);
  if (opened) VirtualProtect(entry, sizeof(*entry), protection, &protection);
  return function;
}
