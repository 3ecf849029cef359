# Linux release programs lay out their functions in the order a run first needs them
# (cmake/link-order.txt, made by cmake/link-order.sh; docs/heap.md). The kernel maps code in 64 KB
# runs around each page a process touches, so a short script that calls a few hundred functions
# spread over 3 MB of code would otherwise keep most of it resident. gold takes an ordering file
# and each function needs a section of its own; position-dependent linking also drops the
# start-up relocations of a position-independent program, which touch 300 KB on every start.
option(VELMO_LINK_ORDER "Order the functions of Linux release programs by cmake/link-order.txt" ON)
set(VELMO_LINK_ORDER_FLAGS "")
if(VELMO_LINK_ORDER AND NOT WIN32 AND CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT VELMO_SANITIZE
   AND NOT VELMO_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    find_program(VELMO_GOLD ld.gold)
    if(VELMO_GOLD)
        add_compile_options(-ffunction-sections)
        # The optimiser's own output, with link-time optimisation, must be split likewise.
        set(VELMO_LINK_ORDER_FLAGS -fuse-ld=gold -ffunction-sections -no-pie
            -Wl,--section-ordering-file=${CMAKE_SOURCE_DIR}/cmake/link-order.txt)
        message(STATUS "velmo: functions laid out by cmake/link-order.txt")
    else()
        message(STATUS "velmo: no ld.gold, functions in the compiler's order")
    endif()
endif()

# Applies the layout to a program target (a no-op where it does not apply).
function(velmo_ordered_program target)
    if(VELMO_LINK_ORDER_FLAGS)
        target_link_options(${target} PRIVATE ${VELMO_LINK_ORDER_FLAGS})
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/link-order.txt)
    endif()
endfunction()
