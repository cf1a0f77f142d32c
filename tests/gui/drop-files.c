/* Drops files on an X11 window the way a file manager does, with the XDND
   protocol: enter, position over the window's middle, drop, then hand over
   the text/uri-list when the window asks for it, until it reports finished.
   Usage: drop-files WINDOW_ID URI...   Exit status 0 when the window took
   the drop, 1 when it refused it or did not answer within 5 seconds. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static Display* display;
static Window source, target;

static Atom A(const char* name) { return XInternAtom(display, name, False); }

static void Send(const char* message, long l1, long l2, long l3, long l4) {
  XEvent event;
  memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = target;
  event.xclient.message_type = A(message);
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)source;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  XSendEvent(display, target, False, NoEventMask, &event);
  XFlush(display);
}

/* The next event, or 0 after 5 seconds without one. */
static int Next(XEvent* event) {
  struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
  while (!XPending(display)) {
    if (poll(&fd, 1, 5000) <= 0) return 0;
  }
  XNextEvent(display, event);
  return 1;
}

/* A server timestamp, from a property change on our own window. */
static Time Now(void) {
  XEvent event;
  XChangeProperty(display, source, A("LEDGERLIFT_TIME"), XA_STRING, 8, PropModeAppend,
                  (const unsigned char*)"", 0);
  while (Next(&event)) {
    if (event.type == PropertyNotify) return event.xproperty.time;
  }
  return CurrentTime;
}

static void Answer(const XSelectionRequestEvent* request, const char* uris) {
  XEvent reply;
  memset(&reply, 0, sizeof reply);
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = request->requestor;
  reply.xselection.selection = request->selection;
  reply.xselection.target = request->target;
  reply.xselection.time = request->time;
  reply.xselection.property = None;
  if (request->target == A("text/uri-list")) {
    XChangeProperty(display, request->requestor, request->property, request->target, 8,
                    PropModeReplace, (const unsigned char*)uris, (int)strlen(uris));
    reply.xselection.property = request->property;
  }
  XSendEvent(display, request->requestor, False, NoEventMask, &reply);
  XFlush(display);
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s WINDOW_ID URI...\n", argv[0]);
    return 2;
  }
  display = XOpenDisplay(NULL);
  if (display == NULL) return 1;
  target = (Window)strtoul(argv[1], NULL, 0);
  static char uris[65536];
  for (int i = 2; i < argc; ++i) {
    strncat(uris, argv[i], sizeof uris - strlen(uris) - 3);
    strcat(uris, "\r\n");
  }
  XSetWindowAttributes attributes;
  memset(&attributes, 0, sizeof attributes);
  attributes.event_mask = PropertyChangeMask;
  source = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, InputOnly,
                         CopyFromParent, CWEventMask, &attributes);
  const Time time = Now();
  XSetSelectionOwner(display, A("XdndSelection"), source, time);

  XWindowAttributes geometry;
  Window child;
  int x, y;
  XGetWindowAttributes(display, target, &geometry);
  XTranslateCoordinates(display, target, DefaultRootWindow(display), geometry.width / 2,
                        geometry.height / 2, &x, &y, &child);
  Send("XdndEnter", 5L << 24, (long)A("text/uri-list"), None, None);
  Send("XdndPosition", 0, ((long)x << 16) | y, (long)time, (long)A("XdndActionCopy"));

  XEvent event;
  int dropped = 0;
  while (Next(&event)) {
    if (event.type == SelectionRequest) {
      Answer(&event.xselectionrequest, uris);
    } else if (event.type == ClientMessage &&
               event.xclient.message_type == A("XdndStatus") && !dropped) {
      if (!(event.xclient.data.l[1] & 1)) {
        fprintf(stderr, "%s: the window refused the drop\n", argv[0]);
        return 1;
      }
      Send("XdndDrop", 0, (long)time, 0, 0);
      dropped = 1;
    } else if (event.type == ClientMessage &&
               event.xclient.message_type == A("XdndFinished")) {
      return 0;
    }
  }
  fprintf(stderr, "%s: no answer from the window\n", argv[0]);
  return 1;
}
