# Shared build settings: warnings on every target of ours, optional sanitizers, and one helper
# that turns a test source into a registered GoogleTest executable.

set(ORVA_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined or thread")

function(orva_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

if(ORVA_SANITIZE)
  add_compile_options(-fsanitize=${ORVA_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${ORVA_SANITIZE})
endif()

# A static library made of every .cpp of one folder (one class per file pair).
function(orva_add_layer target dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER _srcs EXCLUDE REGEX ".*/main\\.cpp$")
  if(NOT _srcs)
    set(_srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${target} STATIC ${_srcs})
endfunction()

# Windows test builds see a few POSIX helpers (mkdtemp and the like) in every source.
function(orva_windows_test_prelude target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/support/Win32Posix.h)
  endif()
endfunction()

# orva_add_test(name source... LIBS lib... [LABELS label...])
function(orva_add_test name)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  orva_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  orva_windows_test_prelude(${name})
  target_compile_definitions(${name} PRIVATE
    ORVA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    ORVA_BINARY_DIR="${PROJECT_BINARY_DIR}"
    ORVA_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
  set(_labels ${T_LABELS})
  if(NOT _labels)
    set(_labels unit)
  endif()
  # A cross-built test (Windows, run under Wine) lists its tests when ctest starts, not when it
  # is built: the emulator may not be set up yet at build time.
  set(_discovery)
  if(CMAKE_CROSSCOMPILING)
    set(_discovery DISCOVERY_MODE PRE_TEST)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    DISCOVERY_TIMEOUT 30 ${_discovery}
    PROPERTIES LABELS "${_labels}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# The helpers every test binary shares (tests/support/), compiled once.
function(orva_test_support_library)
  if(TARGET orva_test_support)
    return()
  endif()
  file(GLOB _srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/*.cpp)
  if(ORVA_SKIPPED_TESTS)
    list(FILTER _srcs EXCLUDE REGEX "${ORVA_SKIPPED_TESTS}")
  endif()
  if(NOT _srcs)
    set(_srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(orva_test_support STATIC ${_srcs})
  orva_warnings(orva_test_support)
  orva_windows_test_prelude(orva_test_support)
  target_include_directories(orva_test_support PUBLIC ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(orva_test_support PUBLIC GTest::gtest GTest::gmock Threads::Threads)
endfunction()

# Every tests/<layer>/*_test.cpp becomes its own test executable linked against the given libs.
# The layer's helpers (tests/<layer>/support/*.cpp) are compiled once into one static library
# that each of those executables links whole, so helpers that register themselves with
# GoogleTest from a static initialiser are kept by the linker.
function(orva_add_layer_tests layer)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  orva_test_support_library()
  file(GLOB _tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${layer}/*_test.cpp)
  if(ORVA_SKIPPED_TESTS)
    # Test sources this platform does not build (tests/CMakeLists.txt names them).
    list(FILTER _tests EXCLUDE REGEX "${ORVA_SKIPPED_TESTS}")
  endif()
  file(GLOB _support CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${layer}/support/*.cpp)
  if(ORVA_SKIPPED_TESTS AND _support)
    list(FILTER _support EXCLUDE REGEX "${ORVA_SKIPPED_TESTS}")
  endif()
  set(_libs ${T_LIBS} orva_test_support)
  if(_support)
    set(_lib orva_${layer}_test_support)
    add_library(${_lib} STATIC ${_support})
    orva_warnings(${_lib})
    orva_windows_test_prelude(${_lib})
    target_link_libraries(${_lib} PUBLIC ${T_LIBS} orva_test_support)
    list(PREPEND _libs "$<LINK_LIBRARY:WHOLE_ARCHIVE,${_lib}>")
  endif()
  foreach(_t ${_tests})
    get_filename_component(_n ${_t} NAME_WE)
    orva_add_test(${layer}_${_n} ${_t} LIBS ${_libs} LABELS ${T_LABELS})
  endforeach()
endfunction()
