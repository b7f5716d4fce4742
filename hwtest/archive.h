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
// host, processor ID (as ArchiveNameParts gives them), time stamp and verdict, then moves it
// aside in /NandFlash/tmp. Every copy is flushed to its medium before the function returns.
// Returns 0.
int mvLogFileName(const char* szHost, const char* szDateTime, const char* szChipId, int iTestSta);

// Quotes a text for use inside a double-quoted shell word: $ ` " \ get a backslash.
std::string ShellEscapeInQuotes(const std::string& text);
// A file-name part: control characters are escaped as in the log (EscapeControls), and a "/",
// which cannot stand in a name, becomes "_".
std::string FileNamePart(const char* text);
// FileNamePart of `text` in at most `maxBytes` bytes: when it is longer, the longest beginning
// of whole characters that leaves room for "~" and the eight hex digits (upper case) of the
// FNV-1a checksum of the whole part, followed by them.
std::string ShortNamePart(const char* text, size_t maxBytes);
// The host and ID parts of the archive names, so that every name (the longest is
// deVuzeV7_H[I]_T[ERR].log) has at most 255 bytes. When both do not fit whole, the host part
// keeps up to 64 bytes (more when the ID leaves room) and the ID part the rest; the time stamp
// and the verdict are never cut.
void ArchiveNameParts(const char* szHost, const char* szChipId, const std::string& stamp,
                      std::string& host, std::string& id);
// The archive commands in the order they run (for tests and for the archiving itself).
std::string FlashCopyCommand(const std::string& host, const std::string& id,
                             const std::string& stamp, const char* verdict);
std::string StickMkdirCommand(const std::string& mountPoint, const char* verdict);
std::string StickCopyCommand(const std::string& mountPoint, const char* verdict,
                             const std::string& host, const std::string& id,
                             const std::string& stamp);
std::string MoveCommand(const std::string& host, const std::string& id, const std::string& stamp);
