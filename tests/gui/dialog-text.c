/* A Windows helper for the tests under Wine, built with mingw-w64 by
   scripts/test-windows.sh:
     dialog-text read          prints the text of the message box captioned
                               "Ledgerlift" (its static controls, a line each)
     dialog-text put CAPTION TEXT
                               puts TEXT into the first edit box of the dialog
                               captioned CAPTION, as if typed
   Texts cross in UTF-8 on standard output and as the wide command line, so
   any name can be checked or entered (typing letters outside the keyboard
   through X is not reliable). Exit status 1 when the dialog is not shown. */
#include <windows.h>
/* shellapi.h needs what windows.h declares first. */
#include <shellapi.h>

static HANDLE out;
static HWND edit;

static void Print(const wchar_t* text) {
  static char utf8[65536];
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8 - 1, NULL, NULL);
  if (length <= 1) return;
  utf8[length - 1] = '\n';
  DWORD written;
  WriteFile(out, utf8, (DWORD)length, &written, NULL);
}

static int IsClass(HWND window, const wchar_t* class_name) {
  wchar_t name[32];
  return GetClassNameW(window, name, 32) && lstrcmpiW(name, class_name) == 0;
}

static BOOL CALLBACK PrintStatic(HWND child, LPARAM unused) {
  (void)unused;
  static wchar_t text[32768];
  DWORD_PTR length = 0;
  if (IsClass(child, L"Static") &&
      SendMessageTimeoutW(child, WM_GETTEXT, 32768, (LPARAM)text, SMTO_ABORTIFHUNG, 5000,
                          &length) &&
      length > 0) {
    Print(text);
  }
  return TRUE;
}

static BOOL CALLBACK FindEdit(HWND child, LPARAM unused) {
  (void)unused;
  if (!IsClass(child, L"Edit") || !IsWindowVisible(child)) return TRUE;
  edit = child;
  return FALSE;
}

int main(void) {
  out = GetStdHandle(STD_OUTPUT_HANDLE);
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc == 2 && lstrcmpW(argv[1], L"read") == 0) {
    const HWND box = FindWindowW(L"#32770", L"Ledgerlift");
    if (box == NULL) return 1;
    EnumChildWindows(box, PrintStatic, 0);
    return 0;
  }
  if (argc == 4 && lstrcmpW(argv[1], L"put") == 0) {
    const HWND dialog = FindWindowW(L"#32770", argv[2]);
    if (dialog == NULL) return 1;
    EnumChildWindows(dialog, FindEdit, 0);
    DWORD_PTR ignored;
    return edit != NULL && SendMessageTimeoutW(edit, WM_SETTEXT, 0, (LPARAM)argv[3],
                                               SMTO_ABORTIFHUNG, 5000, &ignored)
               ? 0
               : 1;
  }
  return 2;
}
