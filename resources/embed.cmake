# Writes a C++ table of the image files for builds without executable resources.
# Invoked as: cmake -DOUTPUT=file.cpp -DRESOURCES="NAME=path;NAME=path" -P embed.cmake
set(arrays "")
set(rows "")
set(index 0)
foreach(pair IN LISTS RESOURCES)
  string(REPLACE "=" ";" fields "${pair}")
  list(GET fields 0 name)
  list(GET fields 1 path)
  file(READ "${path}" hex HEX)
  file(SIZE "${path}" size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "static const unsigned char resource${index}[] = {${bytes}};\n")
  string(APPEND rows "    {\"${name}\", resource${index}, ${size}u},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from resources/ by embed.cmake; do not edit.\n"
  "#include \"platform/embedded_resources.h\"\n\n"
  "${arrays}\n"
  "const EmbeddedResource embeddedResources[] = {\n${rows}    {nullptr, nullptr, 0u},\n};\n"
  "const size_t embeddedResourceCount = ${index};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
