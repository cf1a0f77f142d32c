#include "window/gtk/window-gtk.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace ledgerlift {
namespace {

// The desktop's text resolution: 96 at normal scale, more on a desktop whose
// text is scaled up. GTK applies a whole-number scale factor by itself.
int DotsPerInch(const Glib::RefPtr<Gdk::Screen>& screen) {
  const double resolution = screen ? screen->get_resolution() : -1;
  return resolution > 0 ? static_cast<int>(std::lround(resolution)) : 96;
}

// A label designed one line high runs on past its designed width rather
// than wrap into the control below it.
constexpr int kOneLineTwips = 255;

// The fonts of the layout: "MS Sans Serif" 9.75 pt, and the window default of
// the system the window was designed for, 8 pt in the same font. Here both
// are the desktop's interface font at those sizes, so that the texts fit the
// designed geometry as they did there.
void ApplyFont(Gtk::Widget& widget, ControlFont font) {
  Pango::FontDescription description;
  if (Glib::RefPtr<Gtk::Settings> settings = Gtk::Settings::get_default()) {
    description = Pango::FontDescription(settings->property_gtk_font_name().get_value());
  }
  std::string family = description.get_family();
  if (family.empty() || family.find('"') != std::string::npos) family = "Sans";
  const char* size = font == ControlFont::kSansSerif975 ? "9.75pt" : "8pt";
  auto css = Gtk::CssProvider::create();
  try {
    css->load_from_data("* { font-family: \"" + family + "\"; font-size: " + size +
                        "; font-weight: normal; font-style: normal; }");
  } catch (const Glib::Error&) {
    return;  // the desktop's own font then
  }
  widget.get_style_context()->add_provider(css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

bool IsTab(guint keyval) {
  return keyval == GDK_KEY_Tab || keyval == GDK_KEY_KP_Tab ||
         keyval == GDK_KEY_ISO_Left_Tab;
}

}  // namespace

void ClientArea::get_preferred_width_vfunc(int& minimum, int& natural) const {
  minimum = natural = width_;
}

void ClientArea::get_preferred_height_vfunc(int& minimum, int& natural) const {
  minimum = natural = height_;
}

WindowGtk::WindowGtk(WindowEvents& events)
    : events_(events),
      client_(TwipsToPixels(kClientWidthTwips, DotsPerInch(get_screen())),
              TwipsToPixels(kClientHeightTwips, DotsPerInch(get_screen()))) {
  set_title(std::string(kWindowCaption));
  const int dots_per_inch = DotsPerInch(get_screen());
  for (const Control& control : kControls) Place(control, dots_per_inch);
  output_folder_box_.set_text(events_.OutputDirectory());
  output_folder_box_.signal_changed().connect(
      [this] { events_.SetOutputDirectory(output_folder_box_.get_text()); });
  folder_button_.signal_clicked().connect(
      sigc::mem_fun(*this, &WindowGtk::on_folder_button_clicked));
  convert_button_.signal_clicked().connect(
      sigc::mem_fun(*this, &WindowGtk::on_convert_button_clicked));
  web_link_.signal_activate_link().connect(
      sigc::mem_fun(*this, &WindowGtk::on_web_link_activate_link), false);
  drag_dest_set({Gtk::TargetEntry("text/uri-list")}, Gtk::DEST_DEFAULT_ALL,
                Gdk::ACTION_COPY);
  add(client_);
  show_all_children();
  set_focus(WidgetFor(TabOrder().front()->id));
}

Gtk::Widget& WindowGtk::WidgetFor(ControlId id) {
  switch (id) {
    case ControlId::kVersionLabel:
      return version_label_;
    case ControlId::kInstructionsLabel:
      return instructions_label_;
    case ControlId::kAssociationLabel:
      return association_label_;
    case ControlId::kCreditLabel:
      return credit_label_;
    case ControlId::kWebLink:
      return web_link_;
    case ControlId::kOutputFolderBox:
      return output_folder_box_;
    case ControlId::kFolderButton:
      return folder_button_;
    case ControlId::kConvertButton:
      return convert_button_;
  }
  std::abort();  // not a ControlId: a cast gone wrong
}

void WindowGtk::Place(const Control& control, int dots_per_inch) {
  Gtk::Widget& widget = WidgetFor(control.id);
  widget.set_name(std::string(control.name));
  widget.set_size_request(TwipsToPixels(control.width, dots_per_inch),
                          TwipsToPixels(control.height, dots_per_inch));
  client_.put(widget, TwipsToPixels(control.left, dots_per_inch),
              TwipsToPixels(control.top, dots_per_inch));
  const std::string text(control.text);
  if (auto* label = dynamic_cast<Gtk::Label*>(&widget)) {
    if (control.id == ControlId::kWebLink) {
      label->set_markup("<a href=\"" + Glib::Markup::escape_text(text) + "\">" +
                        Glib::Markup::escape_text(text) + "</a>");
    } else {
      label->set_text(text);
    }
    if (control.height > kOneLineTwips) {
      label->set_line_wrap(true);
      label->set_max_width_chars(1);  // wrap at the designed width, not wider
    }
    label->set_xalign(0);
    label->set_yalign(0);
  } else if (auto* button = dynamic_cast<Gtk::Button*>(&widget)) {
    button->set_label(text);
  }
  ApplyFont(widget, control.font);
}

void WindowGtk::MoveFocus(bool forward) {
  std::vector<Gtk::Widget*> chain;
  for (const Control* control : TabOrder()) {
    Gtk::Widget& widget = WidgetFor(control->id);
    if (widget.get_can_focus() && widget.is_sensitive()) chain.push_back(&widget);
  }
  if (chain.empty()) return;
  size_t next = forward ? 0 : chain.size() - 1;
  for (size_t i = 0; i < chain.size(); ++i) {
    if (chain[i] != get_focus()) continue;
    next = forward ? (i + 1) % chain.size() : (i + chain.size() - 1) % chain.size();
  }
  chain[next]->grab_focus();
}

bool WindowGtk::on_key_press_event(GdkEventKey* event) {
  const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
  if (IsTab(event->keyval) && (modifiers & ~GDK_SHIFT_MASK) == 0) {
    MoveFocus(event->keyval != GDK_KEY_ISO_Left_Tab && !(modifiers & GDK_SHIFT_MASK));
    return true;
  }
  return Gtk::Window::on_key_press_event(event);
}

void WindowGtk::on_drag_data_received(const Glib::RefPtr<Gdk::DragContext>& context, int,
                                      int, const Gtk::SelectionData& selection_data,
                                      guint, guint time) {
  // While a message or a chooser of the window is open, a drop would open
  // another dialog on top of it: it is refused.
  if (DialogOpen()) {
    context->drag_finish(false, false, time);
    return;
  }
  std::vector<std::string> paths;
  for (const Glib::ustring& uri : selection_data.get_uris()) {
    try {
      paths.push_back(Glib::filename_from_uri(uri));
    } catch (const Glib::Error&) {
      // Not a local file (a web address, say): nothing to convert.
    }
  }
  context->drag_finish(!paths.empty(), false, time);
  // Convert after the drop has finished, so that a message box does not keep
  // the file manager waiting for the drop to end.
  if (!paths.empty()) {
    Glib::signal_idle().connect_once([this, paths] { events_.OnFilesDropped(paths); });
  }
}

bool WindowGtk::DialogOpen() {
  for (Gtk::Window* window : Gtk::Window::list_toplevels()) {
    if (window->get_transient_for() == this && window->get_modal() &&
        window->get_visible()) {
      return true;
    }
  }
  return false;
}

void WindowGtk::on_folder_button_clicked() {
  output_folder_box_.set_text(events_.OnFolderButtonClick());
}

void WindowGtk::on_convert_button_clicked() { events_.OnConvertButtonClick(); }

bool WindowGtk::on_web_link_activate_link(const Glib::ustring&) {
  events_.OnWebLinkClick();
  return true;  // handled: the address goes to the desktop's handler
}

}  // namespace ledgerlift
