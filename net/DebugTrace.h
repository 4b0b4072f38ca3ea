// Traces of the HTTP layer on the debugger output.
#pragma once

// Formats like printf, at most 1023 characters (longer text is cut), and writes the text
// wrapped in "[" and "]" to the debugger output in one piece, and queues the same text as a
// line of the process's log.
void debugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
