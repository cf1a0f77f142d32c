#pragma once

#include <gtkmm.h>

#include <vector>

#include "window/gtk/gtk-module.h"
#include "window/layout.h"

namespace ledgerlift {

// The client area: a Gtk::Fixed that asks only for the designed client size,
// so that the controls placed beyond it stay outside the visible area until
// the user enlarges the window.
class ClientArea : public Gtk::Fixed {
 public:
  ClientArea(int width, int height) : width_(width), height_(height) {}

 protected:
  void get_preferred_width_vfunc(int& minimum, int& natural) const override;
  void get_preferred_height_vfunc(int& minimum, int& natural) const override;

 private:
  int width_, height_;
};

// The program's window drawn with GTK: every control of the layout table at its designed
// place, size, text and font. Events go to the program; Tab moves
// through the controls in the table's tab order.
class WindowGtk : public Gtk::Window {
 public:
  explicit WindowGtk(WindowEvents& events);
  // Lets go of the focus before the controls go: GTK would otherwise hand the
  // destroyed focus control to the window's focus handler.
  ~WindowGtk() override { unset_focus(); }

  // The output-folder box's text as the user sees it.
  std::string OutputFolderText() const { return output_folder_box_.get_text(); }

 protected:
  bool on_key_press_event(GdkEventKey* event) override;
  void on_drag_data_received(const Glib::RefPtr<Gdk::DragContext>& context, int x, int y,
                             const Gtk::SelectionData& selection_data, guint info,
                             guint time) override;

 private:
  Gtk::Widget& WidgetFor(ControlId id);
  void Place(const Control& control, int dots_per_inch);
  void MoveFocus(bool forward);
  // One of the window's dialogs (a message, a chooser) is open.
  bool DialogOpen();
  void on_folder_button_clicked();
  void on_convert_button_clicked();
  bool on_web_link_activate_link(const Glib::ustring& uri);

  WindowEvents& events_;
  ClientArea client_;
  Gtk::Label version_label_, instructions_label_, association_label_, credit_label_,
      web_link_;
  Gtk::Entry output_folder_box_;
  Gtk::Button folder_button_, convert_button_;
};

}  // namespace ledgerlift
