# Packs the jars of the Java API and the simulator test kit. Run with cmake -P and:
#   JAR, JAVADOC     the JDK's tools
#   VERSION          the project's version
#   SOURCE_DIR       java/ of the source tree
#   API_CLASSES      the compiled module i2cdln (the typed API and the libraries' loader)
#   FIFTEEN_CLASSES  the compiled class I2C_DLN (default package)
#   KIT_CLASSES      the compiled i2cdln.sim classes
#   JUNIT            the JUnit 5 standalone jar, which the kit's Javadoc links against
#   DLN_LIBRARY, I2C_DLN_LIBRARY, TYPED_LIBRARY   libdln.so, libI2C_DLN.so and libi2cdln.so
#   WINDOWS_BIN      the cross-build's bin folder; its DLLs go in when both are there
#   OUT_DIR          where the jars go
# The Javadoc's warnings go to OUT_DIR/javadoc.log, which the test command checks is empty.
cmake_minimum_required(VERSION 3.20)

set(stage ${OUT_DIR}/jar-stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage}/native/linux-x86_64)
file(COPY ${DLN_LIBRARY} ${I2C_DLN_LIBRARY} ${TYPED_LIBRARY}
     DESTINATION ${stage}/native/linux-x86_64)
if(EXISTS ${WINDOWS_BIN}/I2C_DLN.dll AND EXISTS ${WINDOWS_BIN}/i2cdln.dll
   AND EXISTS ${WINDOWS_BIN}/dln.dll)
  file(MAKE_DIRECTORY ${stage}/native/windows-x86_64)
  file(COPY ${WINDOWS_BIN}/I2C_DLN.dll ${WINDOWS_BIN}/i2cdln.dll ${WINDOWS_BIN}/dln.dll
       DESTINATION ${stage}/native/windows-x86_64)
endif()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed:\n${out}")
  endif()
endfunction()

# The module i2cdln, for the module path or the class path, with every native library: the
# class I2C_DLN of the other jar loads its own through this jar's loader.
file(WRITE ${stage}/MANIFEST.MF
     "Implementation-Title: I2C_DLN Java API\n"
     "Implementation-Version: ${VERSION}\n")
set(jar ${OUT_DIR}/i2cdln-${VERSION}.jar)
file(REMOVE ${jar})
run(${JAR} --create --file ${jar} --manifest ${stage}/MANIFEST.MF -C ${API_CLASSES} .
    -C ${stage} native)

set(sources_jar ${OUT_DIR}/i2cdln-${VERSION}-sources.jar)
file(REMOVE ${sources_jar})
run(${JAR} --create --file ${sources_jar} -C ${SOURCE_DIR}/api module-info.java
    -C ${SOURCE_DIR}/api i2cdln)

# The fifteen native methods' class alone, for the class path beside i2cdln's jar.
file(WRITE ${stage}/FIFTEEN.MF "Implementation-Title: I2C_DLN native methods\n"
                               "Implementation-Version: ${VERSION}\n")
set(fifteen_jar ${OUT_DIR}/I2C_DLN-${VERSION}.jar)
file(REMOVE ${fifteen_jar})
run(${JAR} --create --file ${fifteen_jar} --manifest ${stage}/FIFTEEN.MF -C ${FIFTEEN_CLASSES} .
    -C ${SOURCE_DIR} I2C_DLN.java)

# The Javadoc of sources_dir's packages into a jar; what javadoc said is added to the log.
file(WRITE ${OUT_DIR}/javadoc.log "")
function(javadoc_jar sources_dir class_path jar_name)
  set(doc ${OUT_DIR}/javadoc)
  file(REMOVE_RECURSE ${doc})
  execute_process(COMMAND ${JAVADOC} -Xdoclint:all -quiet -d ${doc} -sourcepath ${sources_dir}
                          -cp ${class_path} -subpackages i2cdln
                  RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
  file(APPEND ${OUT_DIR}/javadoc.log "${log}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "javadoc failed:\n${log}")
  endif()
  file(REMOVE ${OUT_DIR}/${jar_name})
  run(${JAR} --create --file ${OUT_DIR}/${jar_name} -C ${doc} .)
  file(REMOVE_RECURSE ${doc})
endfunction()
javadoc_jar(${SOURCE_DIR}/api ${API_CLASSES} i2cdln-${VERSION}-javadoc.jar)

file(WRITE ${stage}/KIT.MF "Automatic-Module-Name: i2cdln.sim\n"
                           "Implementation-Title: I2C_DLN simulator test kit\n"
                           "Implementation-Version: ${VERSION}\n")
set(kit_jar ${OUT_DIR}/i2cdln-sim-${VERSION}.jar)
file(REMOVE ${kit_jar})
run(${JAR} --create --file ${kit_jar} --manifest ${stage}/KIT.MF -C ${KIT_CLASSES} .)
set(kit_sources_jar ${OUT_DIR}/i2cdln-sim-${VERSION}-sources.jar)
file(REMOVE ${kit_sources_jar})
run(${JAR} --create --file ${kit_sources_jar} -C ${SOURCE_DIR}/kit i2cdln)
# The kit uses the API (its server address), so the API classes go on its class path.
javadoc_jar(${SOURCE_DIR}/kit "${JUNIT}:${API_CLASSES}" i2cdln-sim-${VERSION}-javadoc.jar)
file(REMOVE_RECURSE ${stage})
