// The opt-in for the library's printed lines: the Java system property i2cdln.output, else
// the environment variable I2C_DLN_OUTPUT; unset, empty or "stdout": standard output as
// always; "discard"; or a file path to append to.
#pragma once

#include <jni.h>

// Reads the choice and routes standard output once per process, before the first printed
// line; later calls do nothing. A file that cannot be opened is named in one line on stderr,
// and the lines stay on standard output. Leaves no Java exception pending.
void ChooseLibraryOutputOnce(JNIEnv *env);
