#pragma once

// Asks every top-level window titled `title` on X display `display` to close,
// as a window manager's close button does (WM_DELETE_WINDOW). Kept apart
// from Qt's headers, which Xlib's macros would clash with. False when the
// display cannot be opened or no such window exists. With `send` false it
// only looks for the window.
bool sendWindowClose(const char *display, const char *title, bool send = true);
