// Making damaged copies and running the diagnostic tool on them.
#include "DbDamage.h"

#include <QElapsedTimer>
#include <QProcess>

#include "DbFixtures.h"

namespace dbtest {

namespace {

constexpr int kPage = 4096;
// Jet 4 page layout, as the writer makes it.
constexpr char kDataPage = 0x01;
constexpr char kDefinitionPage = 0x02;
constexpr int kOwnerOffset = 4;  // data pages: the table's definition page
constexpr int kCatalogPage = 2;
constexpr int kRowCountOffset = 12;
constexpr int kRowOffsetsOffset = 14;
constexpr int kDefinitionRowCountOffset = 16;

char randomByte(std::mt19937& random) { return static_cast<char>(random() & 0xff); }

int get16(const QByteArray& image, int at) { return quint8(image[at]) | quint8(image[at + 1]) << 8; }
void put16(QByteArray& image, int at, int value) {
  image[at] = char(value & 0xff);
  image[at + 1] = char((value >> 8) & 0xff);
}

// Damages rows of the data pages: `change(image, rowStart, rowEnd)` for
// each row, on pages of user tables only or of every table, each row with
// the given chance.
template <typename Change>
void damageRows(QByteArray& image, bool userTablesOnly, double chance, std::mt19937& random, Change change) {
  std::bernoulli_distribution pick(chance);
  for (int page = 1; page < image.size() / kPage; ++page) {
    const int base = page * kPage;
    if (image[base] != kDataPage || image.mid(base + kOwnerOffset, 4) == "LVAL") continue;
    if (userTablesOnly && get16(image, base + kOwnerOffset) == kCatalogPage) continue;
    const int rows = get16(image, base + kRowCountOffset);
    for (int row = 0; row < rows && kRowOffsetsOffset + row * 2 < kPage; ++row) {
      const int start = get16(image, base + kRowOffsetsOffset + row * 2) & 0x1fff;
      const int end = row == 0 ? kPage : get16(image, base + kRowOffsetsOffset + (row - 1) * 2) & 0x1fff;
      if (start + 4 < end && end <= kPage && pick(random)) change(image, base, base + start, base + end, row);
    }
  }
}

// The place of variable column `i`'s entry in a Jet 4 row's offset table
// (entry `variableColumns` is the end of the variable data), or -1.
int variableEntry(const QByteArray& image, int rowStart, int rowEnd, int i) {
  const int nullMask = (get16(image, rowStart) + 7) / 8;
  const int count = rowEnd - nullMask - 2 > rowStart ? get16(image, rowEnd - nullMask - 2) : 0;
  const int at = rowEnd - nullMask - 4 - 2 * i;
  return i <= count && at > rowStart ? at : -1;
}

void damageRow(QByteArray& image, Damage damage, int page, int rowStart, int rowEnd, int row) {
  const int first = variableEntry(image, rowStart, rowEnd, 0), second = variableEntry(image, rowStart, rowEnd, 1);
  switch (damage) {
    case Damage::NegativeFieldLengths:
      if (first > 0 && second > 0) put16(image, first, get16(image, second) + 6);
      break;
    case Damage::FieldsOutsideTheirRow:
      if (first > 0 && second > 0) put16(image, first, 0xfff0);
      break;
    case Damage::HugeMemoLengths:
      for (int i = 0; variableEntry(image, rowStart, rowEnd, i + 1) > 0; ++i) {
        const int at = rowStart + get16(image, variableEntry(image, rowStart, rowEnd, i));
        const int size = get16(image, variableEntry(image, rowStart, rowEnd, i + 1)) - (at - rowStart);
        // A memo kept in long-value rows: a 12-byte header, flags 0x40 or 0x00.
        if (size == 12 && at + 12 <= rowEnd && (quint8(image[at + 3]) & 0xbf) == 0) {
          image[at] = image[at + 1] = image[at + 2] = '\xff';
        }
      }
      break;
    case Damage::RowOffsetsOutsideThePage: put16(image, page + kRowOffsetsOffset + row * 2, 0x1800 + row); break;
    default: break;
  }
}

constexpr Damage kRowDamages[] = {Damage::NegativeFieldLengths, Damage::FieldsOutsideTheirRow,
                                  Damage::HugeMemoLengths, Damage::RowOffsetsOutsideThePage};

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
    case Damage::NegativeFieldLengths:
    case Damage::FieldsOutsideTheirRow:
    case Damage::HugeMemoLengths:
    case Damage::RowOffsetsOutsideThePage:
      damageRows(copy, true, 1.0, random, [&](QByteArray& image, int page, int start, int end, int row) {
        damageRow(image, damage, page, start, end, row);
      });
      return copy;
    case Damage::TableRowCountsRaised:
      for (int page = 3; page < pages; ++page) {
        const int at = page * kPage + kDefinitionRowCountOffset;
        if (copy[page * kPage] == kDefinitionPage) put16(copy, at, get16(copy, at) + 1);
      }
      return copy;
  }
  return copy;
}

QByteArray randomlyDamaged(const QByteArray& image, std::mt19937& random) {
  QByteArray copy = image;
  switch (random() % 6) {
    case 4:
    case 5: {
      const Damage damage = kRowDamages[random() % std::size(kRowDamages)];
      damageRows(copy, false, 0.125, random, [&](QByteArray& image, int page, int start, int end, int row) {
        damageRow(image, damage, page, start, end, row);
      });
      return copy;
    }
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
