// Connection strings, file checks and the snapshot: what open accepts and refuses.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <thread>

#include "db/ConnectionString.h"
#include "db/Database.h"
#include "db/file/JetFile.h"
#include "db/file/PrivateFile.h"
#include "jet/JetWriter.h"

using namespace db;

namespace {

void writeFile(const QString& path, const QByteArray& content) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(content);
}

QByteArray jetHeader(const char* signature, char version) {
  QByteArray header("\x00\x01\x00\x00", 4);
  header.append(signature, 16);
  header.append(version);
  header.append(QByteArray(4096 - header.size(), '\0'));
  return header;
}

// A small but whole Jet 4 database (a header page alone is a cut file).
void writeSmallDatabase(const QString& path) {
  jet::Database database;
  database.addTable("T", {{"ID", jet::ColumnType::Long}}).rows.append(jet::Row{1});
  database.write(path);
}

// Counts the snapshots in the private folder, where they go.
class PrivateTemp {
 public:
  int snapshots() const { return QDir(privateFolder()).entryList({"zova-db-snapshot-*"}).size(); }
};

QString openError(const QString& connectionString) {
  Connection connection;
  connection.setConnectionString(connectionString);
  try {
    connection.open();
  } catch (const db::Error& error) {
    EXPECT_FALSE(connection.isOpen());
    return error.message();
  }
  return QString();
}

}  // namespace

TEST(DbConnectionString, PlanForm_IsReadOnlyWithItsDataSource) {
  const ConnectionSettings settings = parseConnectionString(QStringLiteral(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Plan\\Zova-Internet.mdb;Mode=READ;Persist Security Info=False;"));
  EXPECT_EQ(settings.dataSource, QStringLiteral("C:\\Plan\\Zova-Internet.mdb"));
  EXPECT_TRUE(settings.readOnly);
}

TEST(DbConnectionString, NotificationFormWithoutTrailingSemicolon_IsShared) {
  const ConnectionSettings settings = parseConnectionString(QStringLiteral(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/Benachrichtigungen.mdb;Mode=Share Deny None;Persist Security Info=False"));
  EXPECT_EQ(settings.dataSource, QStringLiteral("/srv/Benachrichtigungen.mdb"));
  EXPECT_EQ(settings.mode, QStringLiteral("Share Deny None"));
  EXPECT_FALSE(settings.readOnly);
}

TEST(DbConnectionString, PropertyNamesAndBlanks_DoNotMatter) {
  const ConnectionSettings settings =
      parseConnectionString(QStringLiteral(" provider = microsoft.jet.oledb.4.0 ; DATA SOURCE=\"/a;b.mdb\" ;mode=Read"));
  EXPECT_EQ(settings.dataSource, QStringLiteral("/a;b.mdb"));
  EXPECT_TRUE(settings.readOnly);
}

TEST(DbConnectionString, UnknownProvider_IsRefused) {
  EXPECT_THROW(parseConnectionString(QStringLiteral("Provider=SQLOLEDB;Data Source=x.mdb")), db::Error);
  EXPECT_THROW(parseConnectionString(QStringLiteral("Data Source=x.mdb")), db::Error);
}

TEST(DbConnectionString, MissingOrEmptyDataSource_IsRefused) {
  EXPECT_THROW(parseConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Mode=READ;")), db::Error);
  EXPECT_THROW(parseConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=;Mode=READ;")),
               db::Error);
}

TEST(DbJetFile, HeaderKinds_AreRecognised) {
  QTemporaryDir dir;
  writeFile(dir.filePath("j3.mdb"), jetHeader("Standard Jet DB\0", 0));
  writeFile(dir.filePath("j4.mdb"), jetHeader("Standard Jet DB\0", 1));
  writeFile(dir.filePath("ace.accdb"), jetHeader("Standard ACE DB\0", 3));
  EXPECT_EQ(checkJetFile(dir.filePath("j3.mdb")), JetVersion::Jet3);
  EXPECT_EQ(checkJetFile(dir.filePath("j4.mdb")), JetVersion::Jet4);
  EXPECT_EQ(checkJetFile(dir.filePath("ace.accdb")), JetVersion::Ace);
}

TEST(DbConnection, MissingFile_FailsNamingTheFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("Zova-Internet.mdb");
  const QString message =
      openError(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=READ;").arg(path));
  EXPECT_TRUE(message.contains(path)) << message.toStdString();
  EXPECT_TRUE(message.contains(QLatin1String("does not exist"))) << message.toStdString();
}

TEST(DbConnection, EmptyFileAndTextFile_AreNotDatabases) {
  QTemporaryDir dir;
  writeFile(dir.filePath("empty.mdb"), {});
  writeFile(dir.filePath("text.mdb"), QByteArray("ID;Datum\n1;2\n").repeated(200));
  writeFile(dir.filePath("version9.mdb"), jetHeader("Standard Jet DB\0", 9));
  for (const char* name : {"empty.mdb", "text.mdb", "version9.mdb"}) {
    const QString message = openError(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=READ;").arg(dir.filePath(name)));
    EXPECT_FALSE(message.isEmpty()) << name;
  }
}

TEST(DbConnection, CloseWhenClosed_HasNoEffect) {
  Connection connection;
  connection.close();
  EXPECT_FALSE(connection.isOpen());
}

TEST(DbSnapshot, ReadModeOpen_CopiesTheFileAndCloseRemovesTheCopy) {
  QTemporaryDir dir;
  const QString path = dir.filePath("plan.mdb");
  writeSmallDatabase(path);
  PrivateTemp temp;
  Connection connection;
  connection.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=READ;").arg(path));
  connection.open();
  ASSERT_TRUE(connection.isOpen());
  EXPECT_EQ(temp.snapshots(), 1);
  connection.close();
  EXPECT_EQ(temp.snapshots(), 0);
}

TEST(DbSnapshot, DestroyedOpenConnection_RemovesTheCopy) {
  QTemporaryDir dir;
  const QString path = dir.filePath("plan.mdb");
  writeSmallDatabase(path);
  PrivateTemp temp;
  {
    Connection connection;
    connection.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=READ;").arg(path));
    connection.open();
    EXPECT_EQ(temp.snapshots(), 1);
  }
  EXPECT_EQ(temp.snapshots(), 0);
}

TEST(DbSnapshot, FailedOpen_LeavesNoCopy) {
  QTemporaryDir dir;
  const QString path = dir.filePath("plan.mdb");
  writeFile(path, QByteArray("not a database"));
  PrivateTemp temp;
  EXPECT_FALSE(openError(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=READ;").arg(path)).isEmpty());
  EXPECT_EQ(temp.snapshots(), 0);
}

TEST(DbSnapshot, FileBeingRewritten_GivesOneWholeVersionOrAnError) {
  QTemporaryDir dir;
  const QString path = dir.filePath("plan.mdb");
  writeFile(path, QByteArray(100000, 'a'));
  std::atomic<bool> stop = false;
  // Rewrites the file in place, each version one letter and its own length,
  // pausing halfway through a version and between versions. At the pause the
  // time stamp stands a day ahead, as a share's server clock may.
  std::thread rewriter([&] {
    for (int version = 0; !stop; ++version) {
      QFile file(path);
      if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate)) continue;
      const char letter = static_cast<char>('a' + version % 26);
      const int length = 100000 + (version % 26) * 1000;
      for (int written = 0; written < length; written += 1000) {
        file.write(QByteArray(1000, letter));
        if (written == length / 2) {
          file.flush();
          const timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) + 86400, 0}};
          futimens(file.handle(), times);
          std::this_thread::sleep_for(std::chrono::milliseconds(120));
        }
      }
      file.close();
      std::this_thread::sleep_for(std::chrono::milliseconds(version % 3 == 0 ? 700 : 50));
    }
  });
  int consistent = 0;
  for (int attempt = 0; attempt < 12; ++attempt) {
    try {
      const QString copy = dir.filePath("copy.mdb");
      takeSnapshot(path, copy);
      QFile file(copy);
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      const QByteArray content = file.readAll();
      ASSERT_FALSE(content.isEmpty());
      const char letter = content[0];
      EXPECT_EQ(content.size(), 100000 + (letter - 'a') * 1000);
      EXPECT_EQ(content.count(letter), content.size());
      ++consistent;
    } catch (const db::Error&) {
      // The file kept changing through every retry: an honest failure.
    }
  }
  stop = true;
  rewriter.join();
  EXPECT_GT(consistent, 0) << "no snapshot succeeded while the file rested between rewrites";
}
