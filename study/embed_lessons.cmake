# Writes OUT, a C++ source that holds the bytes of IN (lessons/lessons.json)
# as they are, for hybridsim::builtInLessonFileText (study/lessons.h); the
# lesson file's reader (study/lesson_file.h) reads them.  The bytes go in as
# numbers, 16 to a line: no string literal grows too long for a compiler,
# and no text of the file can end one.
cmake_minimum_required(VERSION 3.19)

file(READ ${IN} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n  " bytes "${bytes}")

file(WRITE ${OUT}.new "// Made from lessons/lessons.json by study/embed_lessons.cmake.
#include \"study/lessons.h\"

namespace hybridsim {

namespace {

const unsigned char lessonFileBytes[${size} + 1] = {
  ${bytes}0};

}  // namespace

std::string builtInLessonFileText()
{
  return std::string(reinterpret_cast<const char*>(lessonFileBytes), ${size});
}

}  // namespace hybridsim
")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
