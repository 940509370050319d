# Shared compile settings and the two helpers every subsystem uses.

add_library(brisa_options INTERFACE)
target_compile_options(brisa_options INTERFACE -Wall -Wextra -Wpedantic -Wno-unused-parameter)
# Buffer-overflow checks of the C library where the compiler can see sizes
# (they need optimisation, so not in Debug builds).
target_compile_definitions(brisa_options INTERFACE $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
if(BRISA_WERROR)
  target_compile_options(brisa_options INTERFACE -Werror)
endif()
if(BRISA_SANITIZE)
  target_compile_options(brisa_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(brisa_options INTERFACE -fsanitize=address,undefined)
endif()
target_include_directories(brisa_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_definitions(brisa_options INTERFACE
  BRISA_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  BRISA_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  BRISA_VERSION_PATCH=${PROJECT_VERSION_PATCH}
  QT_NO_KEYWORDS)

# brisa_add_library(NAME SOURCES ... LIBS ...): one static library per subsystem.
function(brisa_add_library NAME)
  cmake_parse_arguments(L "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${NAME} STATIC ${L_SOURCES})
  target_link_libraries(${NAME} PUBLIC brisa_options ${L_LIBS})
endfunction()

# brisa_add_test(NAME SOURCES ... LIBS ...): one test executable, one ctest entry.
# Tests run offscreen and find their helpers through BRISA_TEST_* defines.
function(brisa_add_test NAME)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${NAME} ${T_SOURCES})
  target_link_libraries(${NAME} PRIVATE ${T_LIBS} brisa_test_support)
  set_target_properties(${NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${NAME} COMMAND ${NAME})
  set_tests_properties(${NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_ENABLE_HIGHDPI_SCALING=0;LC_ALL=C.UTF-8"
    TIMEOUT 600 ${T_PROPERTIES})
endfunction()
