/* Prints what the X pointer looks like now: the cursor's name when it has
   one (GTK's "pointer"), otherwise its size, hot spot and a checksum of its
   pixels (Wine hands X plain images), so that two shapes can be told
   apart. Usage: cursor-name */
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <stdio.h>

int main(int argc, char** argv) {
  (void)argc;
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "%s: cannot open the display\n", argv[0]);
    return 1;
  }
  XFixesCursorImage* image = XFixesGetCursorImage(display);
  if (image == NULL) {
    fprintf(stderr, "%s: no cursor image (XFIXES missing?)\n", argv[0]);
    return 1;
  }
  if (image->name != NULL && image->name[0] != '\0') {
    printf("%s\n", image->name);
  } else {
    unsigned long sum = 0;
    for (int i = 0; i < image->width * image->height; ++i) {
      sum = sum * 31 + (image->pixels[i] & 0xFFFFFFFFul);
    }
    printf("%dx%d+%d+%d:%lx\n", image->width, image->height, image->xhot, image->yhot,
           sum & 0xFFFFFFFFul);
  }
  XFree(image);
  XCloseDisplay(display);
  return 0;
}
