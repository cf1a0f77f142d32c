#pragma once

// Owners of what a Win32 call hands over and the program must give back: a
// file handle is closed, a GDI object deleted, memory the shell or the
// system allocated freed, a drop finished, a device context released, a COM
// apartment left, when its owner goes, so that no path (an early return, a
// failed call that throws, a new layout for another DPI) forgets one. The
// disk (files/) and the window (window/win32/) both use them.

#include <windows.h>
// objbase.h and shellapi.h need windows.h first.
#include <objbase.h>
#include <shellapi.h>

#include <utility>

namespace ledgerlift {

// Owns one value of the sort `Kind` describes: `Kind::Value`, the value
// that stands for none (`Kind::None()`) and how a value is given back
// (`Kind::Free`). Moves, never copies.
template <typename Kind>
class Owner {
 public:
  using Value = typename Kind::Value;

  Owner() = default;
  explicit Owner(Value value) : value_(value) {}
  ~Owner() { reset(); }
  Owner(Owner&& other) noexcept : value_(other.release()) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;

  Value get() const { return value_; }
  bool valid() const { return value_ != Kind::None(); }
  // Hands the value over: the caller gives it back itself, and can see
  // whether that failed (a file's last write can fail on CloseHandle).
  Value release() { return std::exchange(value_, Kind::None()); }
  // Gives the value held back now and holds `value` instead.
  void reset(Value value = Kind::None()) {
    if (valid()) Kind::Free(value_);
    value_ = value;
  }

 private:
  Value value_ = Kind::None();
};

// A handle from CreateFileW: none is INVALID_HANDLE_VALUE, as CreateFileW
// returns on failure.
struct FileHandleKind {
  using Value = HANDLE;
  static Value None() { return INVALID_HANDLE_VALUE; }
  static void Free(Value handle) { CloseHandle(handle); }
};
using FileHandle = Owner<FileHandleKind>;

// A font, brush or other GDI object; none when the system refused to make it.
template <typename Handle>
struct GdiObjectKind {
  using Value = Handle;
  static Value None() { return nullptr; }
  static void Free(Value object) { DeleteObject(object); }
};
template <typename Handle>
using GdiObject = Owner<GdiObjectKind<Handle>>;
using Font = GdiObject<HFONT>;

// Memory the shell or COM allocated for the caller: the folder browser's
// item list (PIDLIST_ABSOLUTE).
template <typename Pointer>
struct CoTaskMemoryKind {
  using Value = Pointer;
  static Value None() { return nullptr; }
  static void Free(Value memory) { CoTaskMemFree(memory); }
};
template <typename Pointer>
using CoTaskMemory = Owner<CoTaskMemoryKind<Pointer>>;

// Memory the system allocated with LocalAlloc for the caller: FormatMessage's
// text, CommandLineToArgvW's list of arguments.
template <typename Pointer>
struct LocalMemoryKind {
  using Value = Pointer;
  static Value None() { return nullptr; }
  static void Free(Value memory) { LocalFree(memory); }
};
template <typename Pointer>
using LocalMemory = Owner<LocalMemoryKind<Pointer>>;

// The files of a WM_DROPFILES message, finished (DragFinish) when this goes.
struct DroppedFilesKind {
  using Value = HDROP;
  static Value None() { return nullptr; }
  static void Free(Value drop) { DragFinish(drop); }
};
using DroppedFiles = Owner<DroppedFilesKind>;

// The device context of a window, or of the whole screen for none, released
// again when this goes.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// COM for the calling thread, in a single-threaded apartment as the shell's
// dialogs need, left again when this goes. Entering an apartment the thread
// is already in succeeds too and is left as often as entered.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT result_;
};

}  // namespace ledgerlift
