// zova-db-worker: carries out one libmdb operation for the database access
// layer, which runs it under a deadline and kills it when it hangs.
#include "db/worker/WorkerOperations.h"

int main(int argc, char** argv) { return db::engine::runWorker(argc, argv); }
