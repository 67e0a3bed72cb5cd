// SPDX-License-Identifier: GPL-3.0-or-later
// Kinscope: looks inside a .tev genealogy database file.
//
//   kinscope [options] [file]
//
// The command line is read before anything of the window system starts, so
// --help, --version and a mistyped option need no display. Qt's own options
// (-platform and the like) are not taken: its environment variables are.
#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

#include "AppIcon.h"
#include "Explor1.h"
#include "ReorderDate.h"
#include "SameNameReorder.h"
#include "Seams.h"
#include "TextBuffer.h"

namespace {

constexpr char kUsage[] = "Usage: kinscope [options] [file]";

// A command line that cannot be followed, and a desktop that cannot be reached.
constexpr int kRefused = 2;
constexpr int kNoDisplay = 1;

// What --help tells after the options, the manual page with it: the exit
// statuses, from the constants the program ends with, the files beside the
// database, and examples.
QString MoreHelp() {
  const auto row = [](int status, const char* what) {
    return QStringLiteral("  %1").arg(status).leftJustified(8) + QLatin1String(what) +
           QLatin1Char('\n');
  };
  return QStringLiteral("\nExit status:\n") +
         row(0, "the main window was closed, or a re-ordering was done") +
         row(kNoDisplay, "no display to show the window on") +
         row(kRefused, "the command line is wrong: an unknown option or a second file") +
         row(kinscope::kOutOfMemoryStatus, "a text could not be allocated") +
         row(kinscope::kReorderDamageStatus,
             "re-ordering: an index node, name record or individual cannot be read") +
         row(kinscope::kUnknownDateTypeStatus,
             "re-ordering: a date of an unknown type (\"Unknown date type\")") +
         row(kinscope::kReorderNameTextStatus,
             "re-ordering: a name text fails its read or its checks") +
         row(kinscope::kReorderLogStatus,
             "re-ordering: its log cannot be created (\"Error 1000\")") +
         row(kinscope::kReorderWriteStatus,
             "re-ordering: the change could not be written, and was undone") +
         row(kinscope::kReorderLeftStatus,
             "re-ordering: it stopped, and what it wrote could not be undone yet: the") +
         QStringLiteral(
             "        next open for writing undoes it\n"
             "  Whenever the re-ordering ends with a status other than 0 and 104, the file\n"
             "  is as it was before it.\n"
             "\n"
             "Files:\n"
             "  FILE-journal        the old bytes of a change under way, beside the\n"
             "                      database; it undoes an interrupted change at the\n"
             "                      next writable open\n"
             "  NAME.log            the re-ordering's log of each run of identical\n"
             "                      names: the database's name with .log for its\n"
             "                      extension\n"
             "  FILE.YYYYMMDD-HHMMSS.bak\n"
             "                      the copy of the database the re-ordering makes\n"
             "                      first\n"
             "  tev5x.txt           the re-ordering's trace file, in\n"
             "                      $XDG_STATE_HOME/kinscope/ (else ~/.local/state/kinscope/)\n"
             "\n"
             "Examples:\n"
             "  $ kinscope family.tev\n"
             "  $ kinscope --read-only family.tev\n");
}

// Ends the program with the status of a failed allocation when one escapes
// an event handler, after saying so.
class Application : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
      kinscope::seams::ShowMessage(QStringLiteral("Out of memory: Kinscope ends."),
                                   QStringLiteral("Error"));
      std::exit(kinscope::kOutOfMemoryStatus);
    }
  }
};

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A platform chosen by hand (offscreen, say) needs no display.
bool HaveDisplay() { return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY"); }

// A command line that cannot be followed: what is wrong and the usage line on
// standard error, and exit status 2.
int Refuse(const QString& problem) {
  std::fprintf(stderr, "kinscope: %s\n%s\n", qPrintable(problem), kUsage);
  return kRefused;
}

// The bytes of the argument that reads as `text`, so that a file name reaches
// the file system exactly as it was given, whatever its encoding.
std::string ArgumentBytes(int argc, char* argv[], const QString& text) {
  for (int i = argc - 1; i > 0; --i) {
    if (QString::fromLocal8Bit(argv[i]) == text) return argv[i];
  }
  return text.toLocal8Bit().toStdString();
}

}  // namespace

int main(int argc, char* argv[]) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Looks inside a TEV 5 genealogy database file: each record field by field,\n"
                     "its links buttons that open the records they name; checks the whole\n"
                     "file and exports it as GEDCOM. kinscope-dump(1) shows, checks and\n"
                     "exports a file on the command line."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Show the version and exit."));
  const QCommandLineOption read_only(
      {QStringLiteral("R"), QStringLiteral("read-only")},
      QStringLiteral("Open the file read-only: nothing is ever written to it."));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(read_only);
  parser.addPositionalArgument(
      QStringLiteral("file"),
      QStringLiteral("The .tev file to open, as if the Open dialog returned it."),
      QStringLiteral("[file]"));

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  if (!parser.parse(arguments)) return Refuse(parser.errorText());
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) return Refuse(QStringLiteral("Unexpected second file '%1'.").arg(files[1]));
  if (parser.isSet(help)) {
    // The parser's text with our own usage line: no application object
    // exists yet to name the program.
    std::printf("%s\n%s%s", kUsage, qPrintable(parser.helpText().section(QLatin1Char('\n'), 1)),
                qPrintable(MoreHelp()));
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("kinscope %s\n", KINSCOPE_VERSION);
    return 0;
  }

  if (!HaveDisplay()) {
    std::fprintf(stderr,
                 "kinscope: no display found (DISPLAY is not set); run it on a desktop or "
                 "under xvfb-run\n");
    return kNoDisplay;
  }
  // The command line is read already: the window system sees none of it.
  int qt_argc = 1;
  Application app(qt_argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.kinscope.Kinscope"));
  QApplication::setWindowIcon(kinscope::KinscopeIcon());
  try {
    kinscope::TForm1 form;
    form.SetReadOnly(parser.isSet(read_only));
    form.show();
    // `kinscope FILE` opens FILE as if the file-open dialog had returned it.
    if (!files.isEmpty()) {
      const std::string path = ArgumentBytes(argc, argv, files[0]);
      QTimer::singleShot(0, &form, [&form, path] { form.OpenPath(path); });
    }
    app.exec();
  } catch (const std::exception& e) {
    kinscope::seams::ShowMessage(QString::fromLocal8Bit(e.what()), QStringLiteral("Kinscope"));
  }
  return 0;
}
