# Writes the bytes of a file into a C++ source as an array, so that a program
# carries them without looking for a file at run time:
#   cmake -DINPUT=file -DOUTPUT=source.cpp -DNAME=symbol -DNAMESPACE=ns -P embed_file.cmake
# defines `const unsigned char NAME[]` and `const std::size_t NAME_size` in NAMESPACE.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
get_filename_component(source_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
"// Made by CMake from ${source_name} (cmake/embed_file.cmake): do not edit.
#include <cstddef>

namespace ${NAMESPACE} {
extern const unsigned char ${NAME}[];
extern const std::size_t ${NAME}_size;
const unsigned char ${NAME}[] = {
    ${bytes}
};
const std::size_t ${NAME}_size = ${size};
}  // namespace ${NAMESPACE}
")
