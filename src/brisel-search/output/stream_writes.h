// SPDX-License-Identifier: MIT
// stream_writes.h: writes to an output stream that remember why the first
// failed write failed.
//
// A failed write sets the stream's error flag; the errno of that moment is
// gone by the time the run ends, and a later fflush that finds the flag set
// may write nothing and set no errno. The run's last line names the cause, so
// the first error seen by WriteToStream is kept (one value for the process,
// set by whichever thread writes).
#ifndef BRISEL_STREAM_WRITES_H
#define BRISEL_STREAM_WRITES_H

#include <cstddef>
#include <cstdio>

// fwrite of `size` bytes; false when the stream's error flag is set after it.
bool WriteToStream(std::FILE* stream, const char* data, std::size_t size);

// The errno of the first write that WriteToStream saw fail; 0 if none.
int FirstWriteError();

#endif  // BRISEL_STREAM_WRITES_H
