# Included right after project() in the sanitizer build
# (cmake -DCMAKE_PROJECT_hybridsim_INCLUDE=<this file>; see scripts/test-stages.sh).
#
# AddressSanitizer, UndefinedBehaviorSanitizer with every check fatal, the
# conversions of out-of-range doubles to integers (not part of g++'s
# -fsanitize=undefined), and the standard library's bounds checks, which
# see an index past a std::array inside a larger object where the
# sanitizer's red zones do not.
set(HYBRIDSIM_SANITIZE_FLAGS
  -fsanitize=address,undefined,float-cast-overflow
  -fno-sanitize-recover=all
  -fno-omit-frame-pointer
  -D_GLIBCXX_ASSERTIONS)
add_compile_options(${HYBRIDSIM_SANITIZE_FLAGS})
# -O1 and line tables only: the sanitizers' usual optimisation, with file
# and line in every report's stack; it builds in 60 % of the time of -O2 -g
# (176 s against 294 s on two cores), which dominated the sanitizer stage.
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG")
# The tests' own files at -O0: the code under test, in the libraries, stays
# at -O1, and the test files, heavy with GoogleTest's macros, build in about
# half the time (web_session_test.cpp: 10 s against 21 s).
set(HYBRIDSIM_TEST_COMPILE_OPTIONS -O0)
add_link_options(-fsanitize=address,undefined,float-cast-overflow)

# Every program of this build keeps its shared objects mapped (see keep_modules.cpp).
add_library(hybridsim_keep_modules OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/keep_modules.cpp)
link_libraries(hybridsim_keep_modules)
add_link_options(-Wl,--export-dynamic-symbol=dlclose)

# The repeated starts of the window end-to-end test: 4 rather than 30, for
# a start here takes several times as long (the ordinary build's 30 show the
# display's timing; these show the starts' memory).
set(HYBRIDSIM_E2E_STARTS 4 CACHE STRING "starts of the window and the pictures in Hybridsim.WindowEndToEnd")

# Each test program runs whole (in two shards side by side) rather than once
# per test case: a start of a program here costs a fifth of a second, and
# the 400 starts cost more than the tests.
set(HYBRIDSIM_TESTS_PER_PROGRAM ON)
