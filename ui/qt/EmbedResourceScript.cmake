# Writes the resource script INPUT into OUTPUT as a C++ character array,
# byte by byte (any content is safe).
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT}
  "// Generated from ui/resources/vorlant.rc; do not edit.\n"
  "namespace vorlant {\n"
  "extern const unsigned char kEmbeddedResourceScript[];\n"
  "const unsigned char kEmbeddedResourceScript[] = {${bytes} 0};\n"
  "}  // namespace vorlant\n")
