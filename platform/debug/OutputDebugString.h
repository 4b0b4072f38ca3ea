// The debugger output channel. Linux has no attached-debugger string channel, so traces
// go to standard error, where a terminal, a journal or a test can read them.
#pragma once

// Writes message to standard error in a single write call, so that lines from several
// threads never interleave inside one message. A null message writes nothing.
void OutputDebugStringA(const char* message);
