# `format` rewrites every source file with clang-format; `format-check` fails when one differs.
find_program(CLANG_FORMAT_EXE NAMES clang-format-14 clang-format)
if(CLANG_FORMAT_EXE)
    file(GLOB_RECURSE TRAWLIX_FORMAT_SOURCES CONFIGURE_DEPENDS
        ${CMAKE_SOURCE_DIR}/src/*.cpp ${CMAKE_SOURCE_DIR}/src/*.h
        ${CMAKE_SOURCE_DIR}/tests/*.cpp ${CMAKE_SOURCE_DIR}/tests/*.h
        ${CMAKE_SOURCE_DIR}/bench/*.cpp ${CMAKE_SOURCE_DIR}/bench/*.h)
    add_custom_target(format COMMAND ${CLANG_FORMAT_EXE} -i ${TRAWLIX_FORMAT_SOURCES} VERBATIM)
    add_custom_target(format-check COMMAND ${CLANG_FORMAT_EXE} --dry-run --Werror ${TRAWLIX_FORMAT_SOURCES} VERBATIM)
endif()
