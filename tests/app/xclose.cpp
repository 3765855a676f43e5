#include "xclose.h"

#include <X11/Xlib.h>

#include <cstring>

namespace {
// Windows come and go while we look; Xlib's default handler would end the
// test on the first one that has gone.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}
} // namespace

bool sendWindowClose(const char *display, const char *title, bool send)
{
    XSetErrorHandler(ignoreErrors);
    Display *d = XOpenDisplay(display);
    if (!d)
        return false;
    Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    bool sent = false;
    if (XQueryTree(d, DefaultRootWindow(d), &rootReturn, &parent, &children, &count)) {
        const Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False);
        const Atom deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
        for (unsigned int i = 0; i < count; ++i) {
            char *name = nullptr;
            if (!XFetchName(d, children[i], &name) || !name)
                continue;
            if (std::strcmp(name, title) == 0 && !send) {
                sent = true;
            } else if (std::strcmp(name, title) == 0) {
                XEvent ev;
                std::memset(&ev, 0, sizeof ev);
                ev.xclient.type = ClientMessage;
                ev.xclient.window = children[i];
                ev.xclient.message_type = protocols;
                ev.xclient.format = 32;
                ev.xclient.data.l[0] = long(deleteWindow);
                ev.xclient.data.l[1] = CurrentTime;
                sent = XSendEvent(d, children[i], False, NoEventMask, &ev) != 0 || sent;
            }
            XFree(name);
        }
        if (children)
            XFree(children);
    }
    XFlush(d);
    XCloseDisplay(d);
    return sent;
}
