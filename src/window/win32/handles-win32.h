#pragma once

// Owners for what the Win32 back-end must give back to the system: a GDI
// object is deleted, a COM apartment left, when its owner goes, so that no
// path (an early return, a new layout for another DPI) forgets one.

#include <objbase.h>
#include <windows.h>

#include <utility>

namespace ledgerlift {

// A font, brush or other GDI object; none when the system refused to make it.
template <typename Handle>
class GdiObject {
 public:
  explicit GdiObject(Handle handle = nullptr) : handle_(handle) {}
  ~GdiObject() { Delete(); }
  GdiObject(GdiObject&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    if (this != &other) {
      Delete();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  Handle get() const { return handle_; }

 private:
  void Delete() {
    if (handle_) DeleteObject(handle_);
  }

  Handle handle_;
};

using Font = GdiObject<HFONT>;

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
