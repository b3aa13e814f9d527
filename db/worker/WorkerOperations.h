// The database worker's work: it serves the requests of one caller, one
// after the other, for as long as the caller keeps its standard input open.
//
//   check    <file>                 the file is a Jet database
//   snapshot <file> <copy>          copy the file, complete, into <copy>
//   refresh  <file> <copy> <hash>   the same, unless its content still has <hash>
//   tables   <file>                 the user tables
//   query    <file> <SELECT statement>
//   execute  <file> <UPDATE statement> [expected column values]
//   allocate <MiB>                  takes that much memory and lets go (shows the bound)
//
// Requests arrive as frames on standard input; each answer is one frame on
// standard output (WorkerProtocol.h); anything libmdb prints goes to
// standard error, never into an answer. End of input ends the worker.
#pragma once

namespace db::engine {

// Serves requests until the end of standard input; returns the process exit
// code: 0 at the end of input, 2 for arguments or an unreadable request, 3
// when an answer could not be written.
int runWorker(int argc, char** argv);

}  // namespace db::engine
