#include "window/win32/window-win32.h"

#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "files/utf16-win32.h"
#include "window/win32/resource-win32.h"

namespace ledgerlift {
namespace {

constexpr wchar_t kWindowClass[] = L"LedgerliftWindow";
constexpr int kFirstControlId = 100;     // a control's id: 100 + its ControlId
constexpr UINT kDpiChanged = 0x02E0;     // WM_DPICHANGED, Windows 8.1 and later
constexpr int kTwoLinesTwips = 2 * 195;  // two lines of an 8 pt font

// The window's dots per inch: GetDpiForWindow where Windows has it (10 and
// later, per monitor), the screen's otherwise.
UINT WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto get_dpi_for_window =
      reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (get_dpi_for_window) {
    if (const UINT dpi = get_dpi_for_window(window)) return dpi;
  }
  const int dpi = GetDeviceCaps(WindowDc(nullptr).get(), LOGPIXELSX);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The desktop's dialog font (the face of DEFAULT_GUI_FONT), 8 pt at `dpi`;
// underlined for a link.
HFONT CreateDefaultFont(UINT dpi, bool underline = false) {
  LOGFONTA font{};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfHeight = -MulDiv(8, static_cast<int>(dpi), 72);
  font.lfWidth = 0;
  font.lfUnderline = underline;
  return CreateFontIndirectA(&font);
}

// "MS Sans Serif", 9.75 pt, regular, at `dpi`.
HFONT CreateSansSerif975(UINT dpi) {
  LOGFONTA font{};
  font.lfHeight = -MulDiv(975, static_cast<int>(dpi), 72 * 100);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(font.lfFaceName, "MS Sans Serif", LF_FACESIZE);
  return CreateFontIndirectA(&font);
}

// The desktop's colour for links, unless it hardly stands apart from the
// window's face (Wine's light theme makes it a light grey): then the blue
// Windows itself has for links.
COLORREF LinkColor() {
  const COLORREF link = GetSysColor(COLOR_HOTLIGHT);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const int distance = std::abs(GetRValue(link) - GetRValue(face)) +
                       std::abs(GetGValue(link) - GetGValue(face)) +
                       std::abs(GetBValue(link) - GetBValue(face));
  return distance >= 192 ? link : RGB(0, 102, 204);
}

struct Win32Control {
  const wchar_t* window_class;
  DWORD style;
  DWORD extended_style;
};

Win32Control Win32ControlFor(const Control& control) {
  switch (control.kind) {
    case ControlKind::kTextBox:
      return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::kButton:
      return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::kLabel:
      break;
  }
  // A label designed one line high does not wrap: what does not fit is cut
  // at its right edge instead of moving to a second line below the label's
  // bottom, where it could not be seen at all. SS_NOTIFY: a click on a label
  // reaches the window (the web link).
  const DWORD wrap = control.height < kTwoLinesTwips ? SS_LEFTNOWORDWRAP : SS_LEFT;
  return {L"STATIC", wrap | SS_NOTIFY | SS_NOPREFIX, 0};
}

}  // namespace

WindowWin32::WindowWin32(WindowEvents& events, Win32Platform& platform)
    : events_(events), platform_(platform) {}

// The controls go with the window, before the fonts they use.
WindowWin32::~WindowWin32() {
  if (window_) DestroyWindow(window_);
}

bool WindowWin32::Create(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  window_class.hIcon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(LEDGERLIFT_ICON), IMAGE_ICON,
                 GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  window_class.hIconSm = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(LEDGERLIFT_ICON), IMAGE_ICON, 16, 16, 0));
  if (!RegisterClassExW(&window_class)) return false;
  // Resizable, so that the controls designed outside the visible area can be
  // brought into view; the window opens at its designed size.
  CreateWindowExW(0, kWindowClass, Utf8ToUtf16(kWindowCaption).c_str(),
                  WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400, 300, nullptr,
                  nullptr, instance, this);
  if (!window_) return false;
  CreateControls(instance);
  LayOut(WindowDpi(window_));
  DragAcceptFiles(window_, TRUE);
  return true;
}

int WindowWin32::Run(int show_command) {
  platform_.SetOwner(window_);
  ShowWindow(window_, show_command);
  UpdateWindow(window_);
  focused_control_ = ControlWindow(TabOrder().front()->id);
  SetFocus(focused_control_);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window_, &message)) continue;  // Tab between controls
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  platform_.SetOwner(nullptr);
  return 0;
}

LRESULT CALLBACK WindowWin32::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<WindowWin32*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<WindowWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, w, l);
  return self->HandleMessage(message, w, l);
}

LRESULT WindowWin32::HandleMessage(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(w), HIWORD(w));
      return 0;
    case WM_ACTIVATE:
      // Keep the keyboard on the control that had it, as a dialog does,
      // also after a chooser or message box owned by the window closes.
      if (LOWORD(w) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) focused_control_ = focus;
      } else if (focused_control_) {
        SetFocus(focused_control_);
      }
      return 0;
    case WM_CTLCOLORSTATIC: {
      // The web link: a link's colour, on the usual face.
      const LRESULT brush = DefWindowProcW(window_, message, w, l);
      if (reinterpret_cast<HWND>(l) == ControlWindow(ControlId::kWebLink)) {
        SetTextColor(reinterpret_cast<HDC>(w), LinkColor());
      }
      return brush;
    }
    case WM_SETCURSOR:
      // The hand over a link, as everywhere on the desktop.
      if (reinterpret_cast<HWND>(w) == ControlWindow(ControlId::kWebLink) &&
          LOWORD(l) == HTCLIENT) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(w));
      return 0;
    case kDpiChanged: {
      const RECT* suggested = reinterpret_cast<const RECT*>(l);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
      LayOut(HIWORD(w));
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

void WindowWin32::CreateControls(HINSTANCE instance) {
  // Created in tab order: that order is the one Tab walks through.
  for (const Control* control : TabOrder()) {
    const Win32Control kind = Win32ControlFor(*control);
    const std::string text = control->id == ControlId::kOutputFolderBox
                                 ? events_.OutputDirectory()
                                 : std::string(control->text);
    const size_t index = static_cast<size_t>(control->id);
    controls_[index] = CreateWindowExW(
        kind.extended_style, kind.window_class, Utf8ToUtf16(text).c_str(),
        WS_CHILD | WS_VISIBLE | kind.style, 0, 0, 0, 0, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)), instance,
        nullptr);
  }
}

void WindowWin32::LayOut(UINT dpi) {
  const int scale = static_cast<int>(dpi);
  RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, scale),
             TwipsToPixels(kClientHeightTwips, scale)};
  RECT window_rect, client_rect;
  GetWindowRect(window_, &window_rect);
  GetClientRect(window_, &client_rect);
  // The frame the window has now, whatever the desktop draws around it.
  const int extra_width = (window_rect.right - window_rect.left) - client_rect.right;
  const int extra_height = (window_rect.bottom - window_rect.top) - client_rect.bottom;
  SetWindowPos(window_, nullptr, 0, 0, frame.right + extra_width,
               frame.bottom + extra_height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);

  // The fonts in use until now are deleted when these go, after every
  // control has been given its new one.
  const Font old_default = std::exchange(default_font_, Font(CreateDefaultFont(dpi)));
  const Font old_sans_serif =
      std::exchange(sans_serif_font_, Font(CreateSansSerif975(dpi)));
  const Font old_link = std::exchange(link_font_, Font(CreateDefaultFont(dpi, true)));
  for (const Control& control : kControls) {
    const HWND child = ControlWindow(control.id);
    MoveWindow(child, TwipsToPixels(control.left, scale),
               TwipsToPixels(control.top, scale), TwipsToPixels(control.width, scale),
               TwipsToPixels(control.height, scale), TRUE);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control)), TRUE);
  }
}

HFONT WindowWin32::FontFor(const Control& control) const {
  if (control.id == ControlId::kWebLink) return link_font_.get();
  switch (control.font) {
    case ControlFont::kSansSerif975:
      return sans_serif_font_.get();
    case ControlFont::kWindowDefault:
      break;
  }
  return default_font_.get();
}

void WindowWin32::OnCommand(int id, int code) {
  const int index = id - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(kControls.size())) return;
  switch (kControls[static_cast<size_t>(index)].id) {
    case ControlId::kWebLink:
      if (code == STN_CLICKED) events_.OnWebLinkClick();
      return;
    case ControlId::kFolderButton:
      if (code != BN_CLICKED) return;
      ShowOutputDirectory(events_.OnFolderButtonClick());
      return;
    case ControlId::kConvertButton:
      if (code == BN_CLICKED) events_.OnConvertButtonClick();
      return;
    case ControlId::kOutputFolderBox:
      // What the user types is the output folder, as with a chosen one.
      if (code == EN_CHANGE) events_.SetOutputDirectory(OutputFolderText());
      return;
    case ControlId::kVersionLabel:
    case ControlId::kInstructionsLabel:
    case ControlId::kAssociationLabel:
    case ControlId::kCreditLabel:
      return;  // no action
  }
}

void WindowWin32::OnDropFiles(HDROP drop) {
  std::vector<std::string> paths;
  {
    const DroppedFiles files(drop);  // finished before the files are converted
    // A message box or chooser of the window disables it while open; a drop
    // that still arrives (Wine delivers one) would stack a second box on it.
    if (!IsWindowEnabled(window_)) return;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
      path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
      paths.push_back(Utf16ToUtf8(path));
    }
  }
  events_.OnFilesDropped(paths);
}

void WindowWin32::ShowOutputDirectory(const std::string& folder) {
  SetWindowTextW(ControlWindow(ControlId::kOutputFolderBox), Utf8ToUtf16(folder).c_str());
}

std::string WindowWin32::OutputFolderText() const {
  const HWND edit = ControlWindow(ControlId::kOutputFolderBox);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
  text.resize(static_cast<size_t>(
      GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
  return Utf16ToUtf8(text);
}

HWND WindowWin32::ControlWindow(ControlId id) const {
  return controls_[static_cast<size_t>(id)];
}

}  // namespace ledgerlift
