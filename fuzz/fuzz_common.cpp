#include "fuzz_common.h"

#include <sanitizer/lsan_interface.h>

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace vexafuzz {

namespace {

void Ignore(QtMsgType, const QMessageLogContext&, const QString&) {}

std::string& Folder() {
  static std::string sFolder;
  return sFolder;
}

void RemoveFolder() {
  std::error_code lError;
  if (!Folder().empty()) std::filesystem::remove_all(Folder(), lError);
}

}  // namespace

void Die(const std::string& pMessage) {
  std::fprintf(stderr, "fuzz: %s\n", pMessage.c_str());
  std::exit(1);
}

void QuietQt() { qInstallMessageHandler(Ignore); }

std::unique_ptr<fbhost::OffscreenViewer> MakeViewer(int pWidth, int pHeight) {
  std::string lError;
  std::unique_ptr<fbhost::OffscreenViewer> lViewer =
      fbhost::OffscreenViewer::Create(pWidth, pHeight, &lError);
  if (!lViewer) Die("no offscreen viewer: " + lError);
  lViewer->SetBackground(0.4, 0.4, 0.4);
  return lViewer;
}

std::string EmptyFolder() {
  std::error_code lError;
  std::string lTemplate =
      (std::filesystem::temp_directory_path(lError) / "vexahud-fuzz-XXXXXX").string();
  if (lError || !mkdtemp(lTemplate.data())) Die("cannot make a temporary folder");
  Folder() = lTemplate;
  std::atexit(RemoveFolder);
  return lTemplate;
}

void CheckLeaksBeforeExit() {
  std::atexit([] { __lsan_do_leak_check(); });
}

}  // namespace vexafuzz
