/* Asks an X window to close, as a window manager's close button does
   (WM_DELETE_WINDOW), so end-to-end tests need no window manager. */
#include <stdlib.h>

#include <X11/Xlib.h>

int main(int argc, char** argv)
{
    Display* display = argc == 2 ? XOpenDisplay(NULL) : NULL;
    if (!display)
        return 1;
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = (Window)strtoul(argv[1], NULL, 0);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(display); /* flushes the request */
    return 0;
}
