// What the process makes sure of before the run opens its first file, whatever it was started
// with.
#pragma once

// Opens `nullDevice` on each of the descriptors 0, 1 and 2 that is closed, so no port or file
// the run opens later becomes standard input, output or error (console text would go out on
// a port, and a port on descriptor 0 counts as not opened).
void OpenMissingStandardDescriptors(const char* nullDevice);

// Console output is diagnostic: a reader of standard output that went away must not end the
// run. A handler that does nothing is used rather than ignoring the signal, since an ignored
// signal stays ignored in every shell command the run starts.
void SurviveBrokenPipe();
