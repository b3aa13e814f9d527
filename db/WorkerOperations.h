// The database worker's work: one operation per process run.
//
//   zova-db-worker check    <file>
//   zova-db-worker snapshot <file> <copy>
//   zova-db-worker tables  <file>
//   zova-db-worker query   <file> <SELECT statement>
//   zova-db-worker execute <file> <UPDATE statement, guarded or not (UpdateGuard.h)>
//
// The answer is one protocol frame on standard output (WorkerProtocol.h);
// anything libmdb prints goes to standard error, never into the answer.
#pragma once

namespace db::engine {

// Runs the operation named by the arguments; returns the process exit code
// (0 when an answer, success or failure, was written).
int runWorker(int argc, char** argv);

}  // namespace db::engine
