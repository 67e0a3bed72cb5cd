// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of the kinscope program, run as a child process on the
// offscreen platform: what it prints, its exit status, and that a command
// line it refuses opens no window.
#include <QCoreApplication>
#include <QProcess>
#include <QtTest>

namespace {

struct Run {
  int status = -1;
  QString out;
  QString err;
};

Run Kinscope(const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  process.setProcessEnvironment(env);
  process.start(KINSCOPE_BINARY, arguments);
  Run run;
  if (!process.waitForFinished(20000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  if (process.exitStatus() == QProcess::NormalExit) run.status = process.exitCode();
  run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.err = QString::fromLocal8Bit(process.readAllStandardError());
  return run;
}

const QString kUsage = "Usage: kinscope [options] [file]";

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT

 private slots:
  void versionComesFromTheBuild_data() {
    QTest::addColumn<QString>("option");
    QTest::newRow("short") << "-v";
    QTest::newRow("long") << "--version";
  }
  void versionComesFromTheBuild() {
    QFETCH(QString, option);
    const Run run = Kinscope({option});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QString("kinscope %1\n").arg(KINSCOPE_VERSION));
    QCOMPARE(run.err, QString());
  }

  void helpNamesEveryOption_data() {
    QTest::addColumn<QString>("option");
    QTest::newRow("short") << "-h";
    QTest::newRow("long") << "--help";
  }
  void helpNamesEveryOption() {
    QFETCH(QString, option);
    const Run run = Kinscope({option});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.startsWith(kUsage + "\n"), qPrintable(run.out));
    for (const char* line : {"-h, --help", "-v, --version", "-R, --read-only", "file "}) {
      QVERIFY2(run.out.contains(line), line);
    }
    QVERIFY(!run.out.contains("<executable_name>"));
    QCOMPARE(run.err, QString());
  }

  // One line naming what is wrong, the usage line, status 2 and no window:
  // the program ends at once although it has a platform to show one on.
  void refusedCommandLines_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem");
    QTest::newRow("unknown short option") << QStringList{"-x"} << "Unknown option 'x'.";
    QTest::newRow("unknown long option")
        << QStringList{"--write", "a.tev"} << "Unknown option 'write'.";
    QTest::newRow("Qt's own option")
        << QStringList{"-platform", "offscreen"} << "Unknown options: p, l, a, t, f, o, r, m.";
    QTest::newRow("second file") << QStringList{"a.tev", "b.tev"}
                                 << "Unexpected second file 'b.tev'.";
    QTest::newRow("second file, read-only")
        << QStringList{"-R", "a.tev", "b.tev", "c.tev"} << "Unexpected second file 'b.tev'.";
  }
  void refusedCommandLines() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, problem);
    const Run run = Kinscope(arguments);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.err, "kinscope: " + problem + "\n" + kUsage + "\n");
    QCOMPARE(run.out, QString());
  }
};

QTEST_GUILESS_MAIN(CommandLineTest)

#include "CommandLineTest.moc"
