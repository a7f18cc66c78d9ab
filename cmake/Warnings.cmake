# Warnings every target of ours builds with.
add_library(trawlix_warnings INTERFACE)
target_compile_options(trawlix_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow=local -Wno-unused-parameter)
