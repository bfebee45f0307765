# QUILLBAR_SANITIZE builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, stopping at the first report.
# QUILLBAR_SANITIZE_THREADS builds everything with ThreadSanitizer instead.
# QUILLBAR_FUZZ (clang only) adds libFuzzer's coverage to everything and
# builds the fuzz targets.
option(QUILLBAR_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(QUILLBAR_SANITIZE_THREADS "Build with ThreadSanitizer" OFF)
option(QUILLBAR_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(QUILLBAR_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
endif()

if(QUILLBAR_SANITIZE_THREADS)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=thread)
endif()

if(QUILLBAR_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "QUILLBAR_FUZZ needs clang (set CMAKE_CXX_COMPILER=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(QUILLBAR_SANITIZE OR QUILLBAR_SANITIZE_THREADS)
    # Lets tests of memory use skip themselves: the sanitizers' own memory
    # would be counted.
    add_compile_definitions(QUILLBAR_SANITIZED=1)
endif()
