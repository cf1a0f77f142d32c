// The GTK module: the message box, the choosers, the web address handler and
// the main window, started by the program through LedgerliftGtkStart.

#include <gtkmm.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "window/gtk/gtk-module.h"
#include "window/gtk/icon-gtk.h"
#include "window/gtk/window-gtk.h"
#include "window/layout.h"

namespace ledgerlift {
namespace {

// "*.[qQ][fF][xX]" for "qfx", "*" for every file: GTK's patterns match
// letter case exactly, and the desktop's own file types take stmt.Qfx as a
// statement too.
std::string AnyCasePattern(std::string_view extension) {
  if (extension.empty()) return "*";
  std::string pattern = "*.";
  for (const char letter : extension) {
    pattern += '[';
    pattern += static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    pattern += static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    pattern += ']';
  }
  return pattern;
}

// How wide a message may grow before it wraps, in characters.
constexpr int kMessageWidthChars = 60;

// For the tests: with LEDGERLIFT_GTK_LOG naming a file, what the windows show
// (a message box's caption and text as its labels hold them, the output-folder box when
// the window closes) is appended to it, one line each.
void Log(const std::string& line) {
  const char* path = std::getenv("LEDGERLIFT_GTK_LOG");
  if (path == nullptr || *path == '\0') return;
  if (std::FILE* file = std::fopen(path, "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

// The text of the visible labels in `widget`, one per line.
void AppendShownText(Gtk::Widget& widget, std::string& text) {
  if (!widget.get_visible()) return;
  if (auto* label = dynamic_cast<Gtk::Label*>(&widget)) {
    if (!text.empty()) text += '\n';
    text += label->get_text();
  } else if (auto* container = dynamic_cast<Gtk::Container*>(&widget)) {
    for (Gtk::Widget* child : container->get_children()) AppendShownText(*child, text);
  }
}

// The part of the screen a window may take: the work area of the monitor,
// less a margin for the dialog's frame and buttons.
int UsableHeight(Gtk::Window& window) {
  Glib::RefPtr<Gdk::Display> display = window.get_display();
  Glib::RefPtr<Gdk::Monitor> monitor = display->get_primary_monitor();
  if (!monitor) monitor = display->get_monitor(0);
  if (!monitor) return 400;
  Gdk::Rectangle area;
  monitor->get_workarea(area);
  return area.get_height() * 2 / 3;
}

// A message's text, inside the dialog's message area in place of its own
// label: wrapped also within a long path that has no blank to wrap at, and
// scrolled when it is taller than most of the screen (a run of many files),
// so that the dialog fits the screen and its OK button stays in reach.
void ShowTextFitted(Gtk::MessageDialog& dialog, const std::string& text) {
  Gtk::Box* area = dialog.get_message_area();
  for (Gtk::Widget* child : area->get_children()) child->hide();
  auto* label = Gtk::make_managed<Gtk::Label>(text);
  label->set_line_wrap(true);
  label->set_line_wrap_mode(Pango::WRAP_WORD_CHAR);
  // No hyphen where a name is broken: it would read as part of the name.
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(false));
  gtk_label_set_attributes(label->gobj(), attributes);
  pango_attr_list_unref(attributes);
  label->set_max_width_chars(kMessageWidthChars);
  label->set_xalign(0);
  label->set_yalign(0);
  auto* scroller = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroller->set_policy(Gtk::POLICY_NEVER, Gtk::POLICY_AUTOMATIC);
  scroller->set_propagate_natural_width(true);
  scroller->set_propagate_natural_height(true);
  scroller->set_max_content_height(UsableHeight(dialog));
  scroller->add(*label);
  area->pack_start(*scroller, Gtk::PACK_EXPAND_WIDGET);
  scroller->show_all();
}

void SetIcons() {
  std::vector<Glib::RefPtr<Gdk::Pixbuf>> icons;
  for (const IconImage& image : kIconImages) {
    try {
      auto loader = Gdk::PixbufLoader::create("png");
      loader->write(image.data, image.size);
      loader->close();
      icons.push_back(loader->get_pixbuf());
    } catch (const Glib::Error&) {
      // A window without its icon still works.
    }
  }
  Gtk::Window::set_default_icon_list(icons);
}

class Desktop : public GtkDesktop {
 public:
  void ShowMessage(const std::string& text) override;
  std::optional<std::string> ChooseFolder() override;
  std::optional<std::string> ChooseInputFile() override;
  void OpenAddress(const std::string& address) override;
  void RunWindow(WindowEvents& events) override;

 private:
  void Attach(Gtk::Window& dialog) {
    if (window_) dialog.set_transient_for(*window_);
    dialog.set_position(window_ ? Gtk::WIN_POS_CENTER_ON_PARENT : Gtk::WIN_POS_CENTER);
  }

  std::unique_ptr<WindowGtk> window_;
};

void Desktop::ShowMessage(const std::string& text) {
  Gtk::MessageDialog dialog("", false, Gtk::MESSAGE_OTHER, Gtk::BUTTONS_OK, true);
  dialog.set_title(std::string(kMessageCaption));
  ShowTextFitted(dialog, text);
  // Return and Escape answer OK, also when the text can be scrolled.
  if (Gtk::Widget* ok = dialog.get_widget_for_response(Gtk::RESPONSE_OK))
    ok->grab_focus();
  Attach(dialog);
  dialog.signal_map().connect([&dialog] {
    std::string shown;
    AppendShownText(*dialog.get_message_area(), shown);
    Log("message \"" + dialog.get_title() + "\": " + shown);
  });
  dialog.run();
}

std::optional<std::string> Desktop::ChooseFolder() {
  Gtk::FileChooserDialog dialog(std::string(kFolderChooserTitle),
                                Gtk::FILE_CHOOSER_ACTION_SELECT_FOLDER);
  Attach(dialog);
  dialog.set_local_only(true);
  dialog.add_button("_Cancel", Gtk::RESPONSE_CANCEL);
  dialog.add_button("_Select", Gtk::RESPONSE_ACCEPT);
  std::error_code error;
  if (window_ && std::filesystem::is_directory(window_->OutputFolderText(), error)) {
    dialog.set_current_folder(window_->OutputFolderText());
  }
  const int response = dialog.run();
  Log(response == Gtk::RESPONSE_ACCEPT ? "folder chooser: chosen"
                                       : "folder chooser: cancelled");
  if (response != Gtk::RESPONSE_ACCEPT) return std::nullopt;
  std::string folder = dialog.get_filename();
  return folder.empty() ? std::nullopt : std::optional(folder);
}

std::optional<std::string> Desktop::ChooseInputFile() {
  // Titled after the button that opens it.
  Gtk::FileChooserDialog dialog(std::string(ControlFor(ControlId::kConvertButton).text),
                                Gtk::FILE_CHOOSER_ACTION_OPEN);
  Attach(dialog);
  dialog.set_local_only(true);
  dialog.add_button("_Cancel", Gtk::RESPONSE_CANCEL);
  dialog.add_button("_Open", Gtk::RESPONSE_ACCEPT);
  for (const FileFilter& entry : kStatementFilters) {
    auto filter = Gtk::FileFilter::create();
    filter->set_name(std::string(entry.name));
    filter->add_pattern(AnyCasePattern(entry.extension));
    dialog.add_filter(filter);
  }
  if (dialog.run() != Gtk::RESPONSE_ACCEPT) return std::nullopt;
  dialog.hide();
  std::string file = dialog.get_filename();
  return file.empty() ? std::nullopt : std::optional(file);
}

void Desktop::OpenAddress(const std::string& address) {
  GError* error = nullptr;
  // A failed launch has no visible effect.
  gtk_show_uri_on_window(window_ ? window_->gobj() : nullptr, address.c_str(),
                         GDK_CURRENT_TIME, &error);
  if (error != nullptr) g_error_free(error);
}

void Desktop::RunWindow(WindowEvents& events) {
  window_ = std::make_unique<WindowGtk>(events);
  window_->signal_hide().connect([] { gtk_main_quit(); });
  window_->show();
  gtk_main();
  Log("window closed, Text1: " + window_->OutputFolderText());
  window_.reset();
}

}  // namespace
}  // namespace ledgerlift

extern "C" __attribute__((visibility("default"))) ledgerlift::GtkDesktop*
LedgerliftGtkStart() {
  g_set_prgname("ledgerlift");
  g_set_application_name("Ledgerlift");
  if (!gtk_init_check(nullptr, nullptr)) return nullptr;
  Gtk::Main::init_gtkmm_internals();
  ledgerlift::SetIcons();
  static ledgerlift::Desktop desktop;
  return &desktop;
}
