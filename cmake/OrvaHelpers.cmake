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

# orva_add_test(name source... LIBS lib... [LABELS label...])
function(orva_add_test name)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  orva_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  if(WIN32)
    target_compile_options(${name} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/support/Win32Posix.h)
  endif()
  target_compile_definitions(${name} PRIVATE
    ORVA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    ORVA_BINARY_DIR="${PROJECT_BINARY_DIR}"
    ORVA_SAMPLES_DIR="${PROJECT_SOURCE_DIR}/../shared/edl-samples")
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

# Every tests/<layer>/*_test.cpp becomes its own test executable linked against the given libs.
function(orva_add_layer_tests layer)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${layer}/*_test.cpp)
  # Helpers of one layer's tests, and the few every test binary shares (tests/support/).
  file(GLOB _support CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${layer}/support/*.cpp
       ${PROJECT_SOURCE_DIR}/tests/support/*.cpp)
  if(ORVA_SKIPPED_TESTS)
    # Test sources this platform does not build (tests/CMakeLists.txt names them).
    list(FILTER _tests EXCLUDE REGEX "${ORVA_SKIPPED_TESTS}")
    list(FILTER _support EXCLUDE REGEX "${ORVA_SKIPPED_TESTS}")
  endif()
  foreach(_t ${_tests})
    get_filename_component(_n ${_t} NAME_WE)
    orva_add_test(${layer}_${_n} ${_t} ${_support} LIBS ${T_LIBS} LABELS ${T_LABELS})
    target_include_directories(${layer}_${_n} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  endforeach()
endfunction()
