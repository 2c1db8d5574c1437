# Warnings for every target of the project; applied per target so that Qt's
# generated sources are not affected.
function(stepperbench_set_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                                 -Wnon-virtual-dtor -Wold-style-cast)
    endif()
endfunction()
