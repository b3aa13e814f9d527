// The conventions every program of the system keeps on its command line.
//
//   --help      usage on standard output, exit status 0
//   --version   "1.0.15" on standard output, exit status 0
//   a wrong argument: the problem and the usage on standard error, status 2
//   a failure: one line "program: file: reason" on standard error, status 1
//
// The functions write with stdio and need no QCoreApplication, so a program
// can answer --help and --version before it opens a display.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace cli {

// Exit statuses shared by all programs.
constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// What a program says about itself.
struct Program {
  const char* name;      // "zova-db"
  const char* synopsis;  // the usage lines without "usage: ", one per form
  const char* help;      // what --help prints after the usage lines
};

// The version of every program of the system.
QString version();

// The arguments after the program name, decoded from the local encoding.
QStringList arguments(int argc, char** argv);

// Answers --help or --version when either is among the arguments (before a
// lone "--"): prints and returns the exit status 0. Otherwise nothing.
std::optional<int> answerHelpOrVersion(const Program& program, const QStringList& arguments);

// Prints "name: problem" and the usage lines to standard error; returns 2.
int usageError(const Program& program, const QString& problem);

// Prints one line naming the file and the reason to standard error and
// returns 1. The file is left out when the reason names it already; line
// breaks inside the reason become blanks.
int failure(const Program& program, const QString& file, const QString& reason);

// The usage text: "usage: " before the first synopsis line, aligned below.
QString usageText(const Program& program);

}  // namespace cli
