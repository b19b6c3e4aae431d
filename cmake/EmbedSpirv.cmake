# cmake -DINPUT=<file.spv> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -DNAMESPACE=<ns> -P EmbedSpirv.cmake
# Writes the SPIR-V words of INPUT as a uint32_t array returned by <ns>::SYMBOL().
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" length)
math(EXPR remainder "${length} % 8")
if(NOT remainder EQUAL 0)
  message(FATAL_ERROR "${INPUT} is not a whole number of 32-bit words")
endif()
# SPIR-V is stored little-endian: bytes aa bb cc dd form the word 0xddccbbaa.
string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\3\\2\\1u," words "${bytes}")
get_filename_component(input_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}" "// Generated from ${input_name}.\n#include <cstdint>\n#include <span>\n\nnamespace ${NAMESPACE} {\nnamespace {\nconst uint32_t kWords[] = {${words}};\n}  // namespace\nstd::span<const uint32_t> ${SYMBOL}() { return kWords; }\n}  // namespace ${NAMESPACE}\n")
