#pragma once

// The menu choice that the first matching switch in argv[1..argc-1] stands for: '1' install,
// '2' uninstall; 0 when no argument is a switch. Pure: builds without <windows.h>.
char ScanSwitches(int argc, const char* const* argv);
