# Shared build helpers: warnings, libraries and test registration.

# Warnings every target of ours builds with.
function(tw_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(TW_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# The Qt and standard headers nearly every file includes, compiled once per
# target instead of once per file.
function(tw_precompiled_headers target)
  target_precompile_headers(${target} PRIVATE
    <QByteArray> <QDateTime> <QHash> <QList> <QString> <QStringList> <QVariant>
    <QVariantMap> <QImage> <algorithm> <cstdint> <functional> <memory> <optional>)
endfunction()

# tw_add_library(name DIRS dir... [FLAT] [LIBS lib...])
# A static library from every .cpp/.h below the given folders (globbed, so a new
# file needs no edit here). FLAT takes only the folders' own files, leaving
# their sub-folders to libraries of their own.
function(tw_add_library name)
  cmake_parse_arguments(ARG "FLAT" "" "DIRS;LIBS" ${ARGN})
  set(sources)
  set(glob GLOB_RECURSE)
  if(ARG_FLAT)
    set(glob GLOB)
  endif()
  foreach(dir IN LISTS ARG_DIRS)
    file(${glob} found CONFIGURE_DEPENDS
         ${dir}/*.cpp ${dir}/*.h)
    list(APPEND sources ${found})
  endforeach()
  add_library(${name} STATIC ${sources})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  # One include root: every include names its folder ("store/TWBusiness.h").
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  tw_warnings(${name})
endfunction()

# tw_add_test(name DIR dir [WIDGETS] [LIBS lib...] [ENV var=value...])
# One GoogleTest executable from every .cpp in DIR, its tests registered with ctest one by one
# (see tw_add_test_run) under a pinned locale and time zone. WIDGETS gives it a QApplication (for
# suites that drive widgets) instead of the plain GUI application. Additional runs under other
# environments are added with tw_add_test_run().
function(tw_add_test name)
  cmake_parse_arguments(ARG "WIDGETS" "DIR" "LIBS;ENV" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp ${ARG_DIR}/*.h)
  if(ARG_WIDGETS)
    # Its own main object wins over the one in twtestsupport.
    list(APPEND sources ${PROJECT_SOURCE_DIR}/tests/support/TWWidgetsTestMain.cpp)
    list(APPEND ARG_LIBS Qt6::Widgets Qt6::Test)
  endif()
  add_executable(${name} ${sources})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE twtestsupport ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE
    TW_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TW_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DIR}/data")
  tw_warnings(${name})
  tw_precompiled_headers(${name})
  # The support header comes first in every source, so that each one prints QStrings and has
  # EXPECT_OK alike (a printer seen by some sources and not others would differ between them).
  target_precompile_headers(${name} PRIVATE <gtest/gtest.h>
    ${PROJECT_SOURCE_DIR}/tests/support/TWTestSupport.h)
  tw_add_test_run(${name} ${name} ENV ${ARG_ENV})
endfunction()

include(GoogleTest)

# tw_add_test_run(run_name executable [ARGS arg...] [ENV var=value...])
# Registers every test of the executable with ctest as "<run_name>.<Suite>.<Test>", so that
# `ctest -R` picks single tests and `-R '^<run_name>\.'` one run. A --gtest_filter among ARGS
# chooses which tests this run registers; the other ARGS are passed to each test. The tests are
# listed by running the executable after it is linked (it needs no display: the test main uses the
# offscreen platform). Each test runs in a process of its own, with a home and temporary folder of
# its own (twPrepareTestProcess).
function(tw_add_test_run run_name exe)
  cmake_parse_arguments(ARG "" "" "ARGS;ENV" ${ARGN})
  set(filter)
  set(extra_args)
  foreach(arg IN LISTS ARG_ARGS)
    if(arg MATCHES "^--gtest_filter=(.*)$")
      set(filter TEST_FILTER "${CMAKE_MATCH_1}")
    else()
      list(APPEND extra_args "${arg}")
    endif()
  endforeach()
  gtest_discover_tests(${exe}
    TEST_PREFIX "${run_name}."
    ${filter}
    EXTRA_ARGS ${extra_args}
    # Parameter values stay out of the names (indices instead), so that no name holds brackets,
    # which would leave it out of the run's test list used below.
    NO_PRETTY_TYPES NO_PRETTY_VALUES
    # Listing takes a fraction of a second; the margin is for a loaded machine.
    DISCOVERY_TIMEOUT 60
    TEST_LIST ${run_name}_TESTS
    PROPERTIES TIMEOUT 600 LABELS ${exe})
  # The environment is a list in one property, which the discovery script would split into
  # separate arguments: a script of our own, read by ctest after the discovered tests, sets it
  # over the run's test list.
  set(environment "QT_QPA_PLATFORM=offscreen;TZ=UTC;LC_ALL=C.UTF-8;${ARG_ENV}")
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${run_name}_environment.cmake")
  file(WRITE "${script}"
    "foreach(test IN LISTS ${run_name}_TESTS)\n"
    "  set_tests_properties(\"\${test}\" PROPERTIES ENVIRONMENT \"${environment}\")\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
endfunction()
