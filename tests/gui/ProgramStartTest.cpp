#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "app/SingleInstance.h"
#include "tests/fixtures/TestImages.h"

namespace salvoran {
namespace {

constexpr int WaitMs = 20000;
// Qt's log of widget painting, which starts only once a window is shown.
constexpr char PaintingLog[] = "qt.widgets.painting=true";
constexpr char MainWindowPainted[] = "name=\"plTip\"";

}  // namespace

// The real desktop program, started as separate processes in a runtime folder of their own so
// that no instance of the user's is disturbed.
class ProgramStartTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    // A fresh folder for every test: a killed instance leaves its lock and socket behind.
    runtime_ = std::make_unique<QTemporaryDir>();
    QVERIFY(runtime_->isValid());
    environment_ = QProcessEnvironment::systemEnvironment();
    environment_.insert("XDG_RUNTIME_DIR", runtime_->path());
    environment_.insert("QT_QPA_PLATFORM", "offscreen");
    environment_.insert("QT_LOGGING_RULES", PaintingLog);
    // SingleInstance names its socket after the runtime folder of this process.
    qputenv("XDG_RUNTIME_DIR", runtime_->path().toLocal8Bit());
    image_ = QString::fromStdString(test::TestImagePath("demo").string());
  }
  void cleanup() {
    for (const auto& program : programs_) {
      program->kill();
      program->waitForFinished(WaitMs);
    }
    programs_.clear();
    runtime_.reset();
  }

  void aSecondStartEndsWithZeroWhileTheFirstKeepsRunning_data() {
    QTest::addColumn<QStringList>("secondArguments");
    QTest::newRow("plain") << QStringList{};
    QTest::newRow("with the autorun switch") << QStringList{"-autorun"};
  }

  void aSecondStartEndsWithZeroWhileTheFirstKeepsRunning() {
    QFETCH(QStringList, secondArguments);
    Program first = Start({"--image", image_});
    QTRY_VERIFY_WITH_TIMEOUT(first.Output->contains(MainWindowPainted), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(Listening(), WaitMs);

    Program second = Start(secondArguments);
    QVERIFY(second.Process->waitForFinished(WaitMs));
    QCOMPARE(second.Process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.Process->exitCode(), 0);
    QVERIFY(!second.Output->contains(MainWindowPainted));
    QCOMPARE(first.Process->state(), QProcess::Running);
  }

  void anAutorunStartWithNoInstanceRunningStaysOutOfSight() {
    Program hidden = Start({"-autorun", "--image", image_});
    QTRY_VERIFY_WITH_TIMEOUT(Listening(), WaitMs);
    // A later start talks to it, by which time a shown window would have been painted.
    Program later = Start({});
    QVERIFY(later.Process->waitForFinished(WaitMs));
    QCOMPARE(later.Process->exitCode(), 0);

    QCOMPARE(hidden.Process->state(), QProcess::Running);
    QCoreApplication::processEvents();  // takes in what it has written meanwhile
    QVERIFY(!hidden.Output->contains(MainWindowPainted));
  }

 private:
  struct Program {
    QProcess* Process;
    std::shared_ptr<QByteArray> Output;  // standard error so far
  };

  Program Start(const QStringList& arguments) {
    auto& process = *programs_.emplace_back(std::make_unique<QProcess>());
    auto output = std::make_shared<QByteArray>();
    process.setProcessEnvironment(environment_);
    connect(&process, &QProcess::readyReadStandardError, &process,
            [&process, output] { *output += process.readAllStandardError(); });
    process.start(DESKTOP_PROGRAM, arguments);
    if (!process.waitForStarted(WaitMs)) qFatal("cannot start %s", DESKTOP_PROGRAM);
    return {&process, output};
  }

  // The running instance holds the lock and listens for later starts.
  static bool Listening() { return QFileInfo::exists(SingleInstance::ServerPath(QString::fromUtf8(InstanceName))); }

  std::unique_ptr<QTemporaryDir> runtime_;
  QProcessEnvironment environment_;
  QString image_;
  std::vector<std::unique_ptr<QProcess>> programs_;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::ProgramStartTest)
#include "ProgramStartTest.moc"
