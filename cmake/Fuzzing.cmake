# libFuzzer builds (clang only): every target gets coverage feedback and the address and
# undefined-behaviour sanitizers; the fuzz programs under tests/fuzz link libFuzzer itself.
if(BUILD_FUZZERS)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "BUILD_FUZZERS needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
