/* A Windows helper for the tests under Wine: prints the text of the message
   box captioned "Ledgerlift" (its static controls, one per line) in UTF-8,
   so a script can check what the box says. Exit status 1 when no such box
   is shown. Built with mingw-w64 by scripts/test-windows.sh. */
#include <windows.h>

static HANDLE out;

static void Print(const wchar_t* text) {
  char utf8[65536];
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8 - 1, NULL, NULL);
  if (length <= 1) return;
  utf8[length - 1] = '\n';
  DWORD written;
  WriteFile(out, utf8, (DWORD)length, &written, NULL);
}

static BOOL CALLBACK PrintStatic(HWND child, LPARAM unused) {
  (void)unused;
  wchar_t name[32], text[32768];
  if (!GetClassNameW(child, name, 32) || lstrcmpiW(name, L"Static") != 0) return TRUE;
  DWORD_PTR length = 0;
  if (SendMessageTimeoutW(child, WM_GETTEXT, 32768, (LPARAM)text, SMTO_ABORTIFHUNG, 5000,
                          &length) &&
      length > 0) {
    Print(text);
  }
  return TRUE;
}

int main(void) {
  out = GetStdHandle(STD_OUTPUT_HANDLE);
  const HWND box = FindWindowW(L"#32770", L"Ledgerlift");
  if (box == NULL) return 1;
  EnumChildWindows(box, PrintStatic, 0);
  return 0;
}
