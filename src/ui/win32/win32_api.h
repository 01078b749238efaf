// windows.h and the common controls for the Win32 toolkit's own sources, never for its headers:
// windows.h's MessageBox macro would rename the toolkit's member of that name.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <shlobj.h>
#undef MessageBox
