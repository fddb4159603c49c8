#pragma once

#include <windows.h>

// Centres a top-level window on the whole primary screen. 0 when its
// rectangle cannot be read.
BOOL CenterOnScreen(HWND window);

// The centring arithmetic: an arithmetic halving, so a window wider than the
// screen rounds toward minus infinity.
inline int centredOrigin(int screenExtent, int low, int high) { return (screenExtent + low - high) >> 1; }
