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
  target_include_directories(${name} PUBLIC ${ARG_DIRS})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  tw_warnings(${name})
endfunction()

# tw_add_test(name DIR dir [WIDGETS] [LIBS lib...] [ENV var=value...])
# One GoogleTest executable from every .cpp in DIR, registered with ctest under
# a pinned locale and time zone. WIDGETS gives it a QApplication (for suites
# that drive widgets) instead of the plain GUI application. Additional runs
# under other environments are added with tw_add_test_run().
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
  target_precompile_headers(${name} PRIVATE <gtest/gtest.h>)
  tw_add_test_run(${name} ${name} ENV ${ARG_ENV})
endfunction()

# tw_add_test_run(test_name executable [ARGS arg...] [ENV var=value...])
function(tw_add_test_run test_name exe)
  cmake_parse_arguments(ARG "" "" "ARGS;ENV" ${ARGN})
  add_test(NAME ${test_name} COMMAND ${exe} ${ARG_ARGS})
  set_tests_properties(${test_name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TZ=UTC;LC_ALL=C.UTF-8;${ARG_ENV}"
    TIMEOUT 600)
endfunction()
