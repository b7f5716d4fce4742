// The JSON result document: header, one section per family, and the run's verdict.
#pragma once

#include <string>

#include "portInfo.h"

// Escapes ", \ and control characters so the text can stand inside a JSON string; a byte that
// is not part of a well-formed UTF-8 character becomes \u00XX as well, so the document stays
// valid JSON whatever the host name holds.
std::string JsonEscape(const char* text);

// {"devuzeV7":"testData","DevType":"<host>","DateTime":"<stamp>" ,"logDate":[
std::string FormatDocHeader(const char* host, const char* timeStamp);

// Appends the sections selected by iPortSelect, with one {"port":1|0} per listed port, and
// closes the document (its last "," becomes a blank). Returns the verdict: 0 when every listed
// port passed, else -1.
int AppendDocSections(std::string& doc, int iPortSelect, const _tag_VxPortInfo_& info);
