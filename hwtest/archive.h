// Saving a run: the result document file and the archived copies of the trace log.
#pragma once

#include <string>

// Appends "]}" and a zero byte at szJson[nLen] (room for 3 bytes is the caller's), writes the
// nLen + 2 bytes to the result file and flushes it to the medium. Returns -1 when szJson is
// null, or when the file does not open or cannot be written, flushed and closed whole (then
// the set-up failure pattern plays); else 0.
int RecordhwTest(char* szJson, int nLen);
int RecordhwTestTo(const char* path, char* szJson, int nLen);

// Copies the log to /NandFlash/test and to every stick of g_USBDEV under names that carry the
// host, processor ID, time stamp and verdict, then moves it aside in /NandFlash/tmp. Every copy
// is flushed to its medium before the function returns. Returns 0.
int mvLogFileName(const char* szHost, const char* szDateTime, const char* szChipId, int iTestSta);

// Quotes a text for use inside a double-quoted shell word: $ ` " \ get a backslash.
std::string ShellEscapeInQuotes(const std::string& text);
// A file-name part: a "/" cannot stand in it and becomes "_".
std::string FileNamePart(const char* text);
// The archive commands in the order they run (for tests and for the archiving itself).
std::string FlashCopyCommand(const std::string& host, const std::string& id,
                             const std::string& stamp, const char* verdict);
std::string StickMkdirCommand(const std::string& mountPoint, const char* verdict);
std::string StickCopyCommand(const std::string& mountPoint, const char* verdict,
                             const std::string& host, const std::string& id,
                             const std::string& stamp);
std::string MoveCommand(const std::string& host, const std::string& id, const std::string& stamp);
