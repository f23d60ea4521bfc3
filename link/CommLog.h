#pragma once

// The driver's own trace file, comm.log in the working folder. Whether it is
// written is decided once per process, on the first line, by the integer
// "comm_log" in section "default" of Comm.ini (missing or 0: never written).
// Texts carry their own line feeds; each is written and flushed as one unit,
// prefixed by the minutes, seconds and milliseconds since the log was opened.
void CommLog(const char* text);

// CommLog of a formatted text, for lines that carry values.
void CommLogf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The error line "Last error was <code>: <text>": `text` is the caller's
// context ("Unexpected ReadFile error: ") followed by the system's words for
// a non-zero errno code.
void CommLogError(unsigned long code, const char* text);

// True once the first line has found logging on.
bool CommLogEnabled();

// Closes comm.log and forgets the Comm.ini decision, so the next line reads
// it again. Only for tests; no other thread may log meanwhile.
void CommLogResetForTest();
