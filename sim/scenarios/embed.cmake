# Turns a scenario file into a C++ source defining dlnsim::DefaultScenarioText(), so that
# dln-sim carries its default scenario and runs from any directory.
# Usage: cmake -DINPUT=robot.json -DOUTPUT=default_scenario.cpp -P embed.cmake
file(READ "${INPUT}" HEX_TEXT HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," BYTES "${HEX_TEXT}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " BYTES "${BYTES}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} at build time; edit that file instead.\n"
  "#include \"dlnsim/scenario.h\"\n\n"
  "namespace dlnsim {\n\n"
  "std::string_view DefaultScenarioText() {\n"
  "    static const unsigned char bytes[] = {\n    ${BYTES}0};\n"
  "    return {reinterpret_cast<const char *>(bytes), sizeof bytes - 1};\n"
  "}\n\n"
  "} // namespace dlnsim\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
