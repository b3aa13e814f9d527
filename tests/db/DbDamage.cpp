// Making damaged copies and running the diagnostic tool on them.
#include "DbDamage.h"

#include <QElapsedTimer>
#include <QProcess>

#include "DbFixtures.h"

namespace dbtest {

namespace {

constexpr int kPage = 4096;

char randomByte(std::mt19937& random) { return static_cast<char>(random() & 0xff); }

}  // namespace

QByteArray damaged(const QByteArray& image, Damage damage, std::mt19937& random) {
  QByteArray copy = image;
  const int pages = int(image.size() / kPage);
  switch (damage) {
    case Damage::TruncatedHalf: return image.left(image.size() / 2);
    case Damage::HeaderPageOnly: return image.left(kPage);
    case Damage::TruncatedMidPage: return image.left(2 * kPage + 1234);
    case Damage::Empty: return {};
    case Damage::NotADatabase: return QByteArray("Datum;F1;F2\n39083;7a;M\n").repeated(500);
    case Damage::CatalogPageRandom:
      // Page 2 holds the start of the system catalog in a writer-made file.
      for (int i = 0; i < kPage; ++i) copy[2 * kPage + i] = randomByte(random);
      return copy;
    case Damage::EveryPageSprinkled:
      for (int page = 1; page < pages; ++page)
        for (int k = 0; k < 8; ++k) copy[page * kPage + int(random() % kPage)] = randomByte(random);
      return copy;
    case Damage::DataPagesZeroed:
    case Damage::DataPagesAllOnes:
      for (int page = 1; page < pages; ++page) {
        if (copy[page * kPage] != '\x01') continue;  // data pages start with type 01
        copy.replace(page * kPage + 2, kPage - 2, QByteArray(kPage - 2, damage == Damage::DataPagesZeroed ? '\0' : '\xff'));
      }
      return copy;
    case Damage::PagesSwapped:
      for (int page = 1; page + 1 < pages; page += 2) {
        const QByteArray a = copy.mid(page * kPage, kPage);
        copy.replace(page * kPage, kPage, copy.mid((page + 1) * kPage, kPage));
        copy.replace((page + 1) * kPage, kPage, a);
      }
      return copy;
  }
  return copy;
}

QByteArray randomlyDamaged(const QByteArray& image, std::mt19937& random) {
  QByteArray copy = image;
  switch (random() % 4) {
    case 0:
      return image.left(int(random() % image.size()));
    case 1: {
      const int page = 1 + int(random() % (image.size() / kPage - 1));
      for (int i = 0; i < kPage; ++i) copy[page * kPage + i] = randomByte(random);
      return copy;
    }
    default: {
      const int count = 1 + int(random() % 64);
      for (int k = 0; k < count; ++k) copy[int(random() % copy.size())] = randomByte(random);
      return copy;
    }
  }
}

ToolRun runTool(const QString& command, const QString& file, const QString& statement, int limitMs) {
  ToolRun run;
  QProcess process;
  QStringList arguments = {command, file};
  if (!statement.isEmpty()) arguments << statement;
  QElapsedTimer timer;
  timer.start();
  process.start(siblingProgram(QStringLiteral("zova-db")), arguments);
  const bool finished = process.waitForStarted(5000) && process.waitForFinished(limitMs);
  run.elapsedMs = timer.elapsed();
  if (!finished) {
    process.kill();
    process.waitForFinished(2000);
    return run;
  }
  run.finishedNormally = process.exitStatus() == QProcess::NormalExit;
  run.exitCode = process.exitCode();
  run.stderrLine = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
  return run;
}

}  // namespace dbtest
