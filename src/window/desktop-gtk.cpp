// The GTK module: the message box, the choosers, the web address handler and
// the main window, started by the program through LedgerliftGtkStart.

#include <gtkmm.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "window/form-gtk.h"
#include "window/gtk-module.h"
#include "window/icon-gtk.h"
#include "window/layout.h"

namespace ledgerlift {
namespace {

// For the tests: with LEDGERLIFT_GTK_LOG naming a file, what the windows show
// (a message box's caption and text as its labels hold them, Text1 when the
// window closes) is appended to it, one line each.
void Log(const std::string& line) {
  const char* path = std::getenv("LEDGERLIFT_GTK_LOG");
  if (path == nullptr || *path == '\0') return;
  if (std::FILE* file = std::fopen(path, "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

std::string ShownText(Gtk::MessageDialog& dialog) {
  std::string text;
  for (Gtk::Widget* child : dialog.get_message_area()->get_children()) {
    auto* label = dynamic_cast<Gtk::Label*>(child);
    if (label == nullptr || !label->get_visible()) continue;
    if (!text.empty()) text += '\n';
    text += label->get_text();
  }
  return text;
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

  std::unique_ptr<MainWindow> window_;
};

void Desktop::ShowMessage(const std::string& text) {
  Gtk::MessageDialog dialog(text, false, Gtk::MESSAGE_OTHER, Gtk::BUTTONS_OK, true);
  dialog.set_title(std::string(kMessageCaption));
  Attach(dialog);
  dialog.signal_map().connect(
      [&dialog] { Log("message \"" + dialog.get_title() + "\": " + ShownText(dialog)); });
  dialog.run();
}

std::optional<std::string> Desktop::ChooseFolder() {
  Gtk::FileChooserDialog dialog("Choose the output folder",
                                Gtk::FILE_CHOOSER_ACTION_SELECT_FOLDER);
  Attach(dialog);
  dialog.set_local_only(true);
  dialog.add_button("_Cancel", Gtk::RESPONSE_CANCEL);
  dialog.add_button("_Select", Gtk::RESPONSE_ACCEPT);
  std::error_code error;
  if (window_ && std::filesystem::is_directory(window_->Text1(), error)) {
    dialog.set_current_folder(window_->Text1());
  }
  const int response = dialog.run();
  Log(response == Gtk::RESPONSE_ACCEPT ? "folder chooser: chosen"
                                       : "folder chooser: cancelled");
  if (response != Gtk::RESPONSE_ACCEPT) return std::nullopt;
  std::string folder = dialog.get_filename();
  return folder.empty() ? std::nullopt : std::optional(folder);
}

std::optional<std::string> Desktop::ChooseInputFile() {
  Gtk::FileChooserDialog dialog("Convert QFX", Gtk::FILE_CHOOSER_ACTION_OPEN);
  Attach(dialog);
  dialog.set_local_only(true);
  dialog.add_button("_Cancel", Gtk::RESPONSE_CANCEL);
  dialog.add_button("_Open", Gtk::RESPONSE_ACCEPT);
  const struct {
    const char* name;
    std::vector<const char*> patterns;
  } filters[] = {{"QFX statements (*.qfx)", {"*.qfx", "*.QFX"}},
                 {"OFX statements (*.ofx)", {"*.ofx", "*.OFX"}},
                 {"All files", {"*"}}};
  for (const auto& entry : filters) {
    auto filter = Gtk::FileFilter::create();
    filter->set_name(entry.name);
    for (const char* pattern : entry.patterns) filter->add_pattern(pattern);
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
  window_ = std::make_unique<MainWindow>(events);
  window_->signal_hide().connect([] { gtk_main_quit(); });
  window_->show();
  gtk_main();
  Log("window closed, Text1: " + window_->Text1());
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
