// Per-train locks: two programs working on the same train never interleave.
//
// A train is a directory and a base name: "DIR/00008901.010" belongs to train
// (DIR, "00008901"), its base name taken up to the first '.' and compared
// ignoring case. The first time a program reads, writes, appends or deletes a
// file of a train through this layer it takes that train's lock and keeps it
// until it ends, so everything it loaded stays what it saves over. A second
// program that wants the same train waits until the first has finished, then
// works on its result; when the wait exceeds the limit (30 s, or
// TRAIN_LOCK_WAIT_MS milliseconds) it prints
//     "Train "DIR/BASE" is in use by another program; gave up after N ms.\n"
// (DIR/ as the file was named; without a directory just BASE)
// on standard error and the call that needed the lock fails with a sharing
// violation (32). Different trains never wait for each other.
//
// The locks are advisory record locks on one shared lock file
// (/tmp/.train-locks, or TRAIN_LOCK_FILE), one byte per train at an offset
// hashed from the directory's identity and the base name, so no file is ever
// added beside the trains and a lock dies with the process that held it.
// Without a usable lock file programs run unlocked. A program that starts
// another one through RunOnPath lets go of its trains first, so that the
// child can work on them; they are taken again on the next access.
#pragma once

#include <string>

namespace plat {

// Takes the lock of the train a (resolved) file path belongs to, unless this
// process holds it already. False (error 32, message printed) when the wait
// ran out.
bool LockTrainOf(const std::string& path);
// Lets go of every train lock this process holds.
void ReleaseTrainLocks();

namespace testing {
// Test programs that create and inspect trains which the programs under
// test then work on switch the locks off for themselves.
void SetTrainLocking(bool on);
}  // namespace testing

}  // namespace plat
