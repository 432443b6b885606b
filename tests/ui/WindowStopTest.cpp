// The window program MDBtoKVT ends on each stop signal with 128 + the
// signal's number and one line saying so, once its handlers are in place
// (the process's caught-signal mask tells when).
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fstream>
#include <string>

namespace {

// Whether /proc/<pid>/status lists signalNumber as caught.
bool Catches(qint64 pid, int signalNumber) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) != 0) continue;
    const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
    return (mask >> (signalNumber - 1)) & 1;
  }
  return false;
}

}  // namespace

class WindowStopTest : public QObject {
  Q_OBJECT

 private slots:
  void eachStopSignalEndsTheProgram() {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      QTemporaryDir home;
      QProcess window;
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
      environment.insert(QStringLiteral("HOME"), home.path());
      environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
      environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
      window.setProcessEnvironment(environment);
      window.start(QStringLiteral(MDBTOKVT_WINDOW), {});
      QVERIFY(window.waitForStarted());
      QTRY_VERIFY_WITH_TIMEOUT(Catches(window.processId(), signalNumber), 60000);
      ::kill(static_cast<pid_t>(window.processId()), signalNumber);
      QVERIFY(window.waitForFinished(60000));
      QCOMPARE(window.exitStatus(), QProcess::NormalExit);
      QCOMPARE(window.exitCode(), 128 + signalNumber);
      const QString expected = QStringLiteral("MDBtoKVT: Stopped by SIG%1.\n")
                                   .arg(QString::fromLatin1(sigabbrev_np(signalNumber)));
      QCOMPARE(QString::fromLocal8Bit(window.readAllStandardError()), expected);
    }
  }
};

QTEST_GUILESS_MAIN(WindowStopTest)
#include "WindowStopTest.moc"
