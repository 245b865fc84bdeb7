# Compile options shared by every target of this project.

# Warnings are errors on project code.
function(photarion_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Floating point that gives the same bits on every build: no fused multiply-add, and SSE2 double
# arithmetic on 32-bit x86 instead of the x87 unit's extended precision.
function(photarion_exact_fp target)
  target_compile_options(${target} PRIVATE -ffp-contract=off)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" OR CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
  endif()
endfunction()

# A module must really unload when the host lets go of it, so that its static destructors run:
# no STB_GNU_UNIQUE symbols, which would pin the library in the process.
function(photarion_module_options target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT WIN32)
    target_compile_options(${target} PRIVATE -fno-gnu-unique)
  endif()
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()
