// Commands that draw pages (print, the study's PDF) need the GUI part of Qt for fonts and
// painting; its offscreen platform needs no display, so the tool also works over ssh and
// in scripts.
#pragma once

#include <QGuiApplication>
#include <stdlib.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

namespace tarnwell {

// Runs `draw` while an offscreen GUI application exists, and returns what it returns.
inline bool WithOffscreenGui(const std::function<bool()>& draw) {
  if (QGuiApplication::instance() != nullptr) return draw();
  // Without a runtime folder (ssh, cron, containers) Qt warns on stderr and makes one in
  // /tmp; a private one of our own, removed afterwards, keeps stderr for real messages.
  std::string runtime;
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-runtime-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      runtime = pattern;
      ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
  }
  struct Cleanup {
    std::string folder;
    ~Cleanup() {
      if (folder.empty()) return;
      ::unsetenv("XDG_RUNTIME_DIR");
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    }
  } cleanup{runtime};
  char program[] = "tarnwell-cli";
  char platformOption[] = "-platform";
  char platform[] = "offscreen";
  char* argv[] = {program, platformOption, platform, nullptr};
  int argc = 3;
  const QGuiApplication app(argc, argv);
  // The application object sets the C locale from the environment; numbers in files never
  // follow it.
  std::setlocale(LC_NUMERIC, "C");
  return draw();
}

}  // namespace tarnwell
