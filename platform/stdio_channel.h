// Standard input and output as the channel of a protocol (the language
// server): bytes read as they arrive, messages written whole, and standard
// output kept for the protocol alone, so that nothing else a process prints
// can break a message.
#pragma once

#include <cstddef>

// Reads up to cap bytes from descriptor fd, as many as are there (at least
// one, waiting for them): the count, 0 at the end of the stream, -1 on an
// error. Interrupted reads are retried.
long ReadSome(int fd, void *buf, size_t cap);
// Takes standard output for the protocol: returns a new descriptor of it
// (closed on exec), and points descriptor 1 at standard error, so stray
// output of the process or its children lands there. Broken pipes become
// write errors instead of ending the process. -1 when the descriptors cannot
// be had (nothing changed).
int TakeStdoutForProtocol(void);

// A descriptor read on one thread that another thread can wake, so that the
// reading thread can be joined while nothing arrives.
struct WakeableReader {
  int fd;       // the descriptor read
  int wake[2];  // a pipe: a byte written to wake[1] ends the wait
};
// Prepares r for reading fd: 1 ready, 0 when no pipe can be made.
int OpenWakeableReader(int fd, WakeableReader *r);
// As ReadSome on r->fd, but -2 once WakeReader was called.
long WakeableRead(WakeableReader *r, void *buf, size_t cap);
// Ends every wait of WakeableRead, now and later; any thread.
void WakeReader(WakeableReader *r);
// Closes the pipe (not fd); after the reading thread has ended.
void CloseWakeableReader(WakeableReader *r);
