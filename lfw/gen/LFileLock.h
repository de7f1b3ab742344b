// Timed advisory file locks.
//
// Readers of shared files take a shared lock and the writer of a dat file an exclusive one, but
// none of them may hang on a lock that another process holds: flocktimed tries for about the
// given time and then lets the caller go on, with or without the lock.
#pragma once

// A flock(fd, operation) that gives up after about timeoutMs milliseconds. operation is a
// non-blocking request (LOCK_SH | LOCK_NB or LOCK_EX | LOCK_NB). While the lock is held
// elsewhere it sleeps timeoutMs / 32 + 1 ms, doubling the sleep after each try, and tries again
// only while the next sleep would still be below timeoutMs. Whether the lock was obtained is not
// reported: every caller reads or writes the file either way.
void flocktimed(int fd, int operation, unsigned int timeoutMs);

// The same, telling whether the lock was obtained (for callers and tests that care).
bool LFileLockTimed(int fd, int operation, unsigned int timeoutMs);
