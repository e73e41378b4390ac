/* The machine-dependent part of jni.h for 64-bit Windows, used only when building
 * I2C_DLN.dll with a Linux JDK's jni.h (whose own jni_md.h describes Linux). These are the
 * Windows JVM's types and calling convention: jint is long, which is 32 bits there. */
#ifndef I2C_DLN_WINDOWS_JNI_MD_H
#define I2C_DLN_WINDOWS_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
