# Turns the live page's files into a C++ source defining dlnsim::WebAssets(), so that dln-sim
# carries its page and runs from any directory.
# Usage: cmake -DOUTPUT=web_assets.cpp "-DASSETS=name|content type|path,..." -P embed.cmake
string(REPLACE "," ";" ASSETS "${ASSETS}")
set(TABLE "")
set(ARRAYS "")
set(INDEX 0)
foreach(ASSET IN LISTS ASSETS)
  string(REPLACE "|" ";" PARTS "${ASSET}")
  list(GET PARTS 0 NAME)
  list(GET PARTS 1 TYPE)
  list(GET PARTS 2 PATH)
  file(READ "${PATH}" HEX_TEXT HEX)
  string(LENGTH "${HEX_TEXT}" HEX_LENGTH)
  math(EXPR SIZE "${HEX_LENGTH} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," BYTES "${HEX_TEXT}")
  string(APPEND ARRAYS "// ${PATH}\nconst unsigned char asset${INDEX}[] = {${BYTES}0};\n")
  string(APPEND TABLE "    {\"${NAME}\", \"${TYPE}\", {reinterpret_cast<const char *>(asset${INDEX}), ${SIZE}}},\n")
  math(EXPR INDEX "${INDEX} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp"
  "// Generated at build time from the files named below; edit those instead.\n"
  "#include \"web_assets.h\"\n\n"
  "namespace dlnsim {\n\n"
  "namespace {\n${ARRAYS}} // namespace\n\n"
  "std::span<const WebAsset> WebAssets() {\n"
  "    static const WebAsset assets[] = {\n${TABLE}    };\n"
  "    return assets;\n"
  "}\n\n"
  "} // namespace dlnsim\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
