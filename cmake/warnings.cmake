# Every target of ours compiles warning-free; -Werror keeps it that way on both compilers.
add_compile_options(-Wall -Wextra -Werror)
# A script's arithmetic rounds after every operation on every target; a build for a processor
# with fused multiply-add must not merge the interpreter's products and sums into one rounding.
add_compile_options(-ffp-contract=off)

if(VELMO_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

if(VELMO_FUZZ)
    # Coverage for every library; only the fuzz targets link libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link)
    # Fuzzed scripts may loop for ever; the dispatch loop ends any run after this many steps,
    add_compile_definitions(VELMO_FUZZ_STEP_LIMIT=200000)
    # and their collected heap is kept far below the sanitizer's memory limit.
    add_compile_definitions(VELMO_FUZZ_HEAP_LIMIT=50331648)
endif()
