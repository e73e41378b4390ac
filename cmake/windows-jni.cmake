# JNI headers for a cross-build of I2C_DLN.dll: the host JDK's jni.h, which is the same on
# every platform, with our Windows jni_md.h in place of the host's.
set(I2C_DLN_JNI_INCLUDE_DIR "$ENV{JAVA_HOME}/include" CACHE PATH
    "The folder of a JDK's jni.h, for cross-builds")
if(NOT EXISTS "${I2C_DLN_JNI_INCLUDE_DIR}/jni.h")
  message(FATAL_ERROR "No jni.h in '${I2C_DLN_JNI_INCLUDE_DIR}': set JAVA_HOME or "
                      "I2C_DLN_JNI_INCLUDE_DIR to a JDK's include folder")
endif()
# jni.h includes "jni_md.h", found here first: the JDK keeps its own in a subfolder.
set(JNI_INCLUDE_DIRS ${CMAKE_SOURCE_DIR}/cmake/windows-jni ${I2C_DLN_JNI_INCLUDE_DIR})
