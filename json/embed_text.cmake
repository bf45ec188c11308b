# Writes OUTPUT, a C++ source that defines `const char SYMBOL[]` in namespace velbrook holding the
# exact bytes of INPUT. Hex escapes keep every byte as it is, whatever the file contains.
file(READ ${INPUT} content HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${content}")
string(LENGTH "${escaped}" escaped_length)
set(lines "")
set(position 0)
# 24 bytes (96 characters of escapes) per line keep the generated file readable.
while(position LESS escaped_length)
  string(SUBSTRING "${escaped}" ${position} 96 piece)
  string(APPEND lines "    \"${piece}\"\n")
  math(EXPR position "${position} + 96")
endwhile()
if(lines STREQUAL "")
  set(lines "    \"\"\n")
endif()
get_filename_component(input_name ${INPUT} NAME)
file(WRITE ${OUTPUT}.tmp
  "// Generated from ${input_name} at build time; edit that file instead.\n"
  "namespace velbrook {\n"
  "extern const char ${SYMBOL}[];\n"
  "const char ${SYMBOL}[] =\n${lines};\n"
  "}  // namespace velbrook\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
