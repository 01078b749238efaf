// windows.h for the Win32 platform files, without the A/W macros whose names the platform
// interface uses for its own functions.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#undef CopyFile
#undef CreateDirectory
#undef DeleteFile
#undef GetCurrentDirectory
#undef GetFileAttributes
#undef GetModuleFileName
#undef GetTempFileName
#undef GetTempPath
#undef GetVolumeInformation
#undef GetWindowsDirectory
#undef LoadLibrary
#undef RemoveDirectory
#undef SetCurrentDirectory
#undef SetFileAttributes
#undef GetDriveType
#undef GetDiskFreeSpaceEx
#undef OemToAnsi  // winuser.h keeps these old names for OemToChar/CharToOem
#undef AnsiToOem
