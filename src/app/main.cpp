// Kinscope: looks inside a .tev genealogy database file.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "Explor1.h"
#include "Seams.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A platform chosen by hand (offscreen, say) needs no display.
bool HaveDisplay() { return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY"); }

}  // namespace

int main(int argc, char* argv[]) {
  if (!HaveDisplay()) {
    std::fprintf(stderr,
                 "kinscope: no display found (DISPLAY is not set); run it on a desktop or "
                 "under xvfb-run\n");
    return 1;
  }
  QApplication app(argc, argv);
  try {
    kinscope::TForm1 form;
    form.show();
    // `kinscope FILE` opens FILE as if the file-open dialog had returned it.
    if (argc > 1) {
      const std::string path = argv[1];
      QTimer::singleShot(0, &form, [&form, path] { form.OpenPath(path); });
    }
    app.exec();
  } catch (const std::exception& e) {
    kinscope::seams::ShowMessage(QString::fromLocal8Bit(e.what()), QStringLiteral("Kinscope"));
  }
  return 0;
}
