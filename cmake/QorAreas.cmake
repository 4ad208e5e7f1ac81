# Each area of the library is a static library of position-independent objects, so that a
# test executable links only the areas it needs; the shared library links all of them whole.
#
# Code-path rule for vector-math kernels: sources are compiled for SSE2 only, except files
# named *_t7.cpp (SSE3 allowed) and *_v8.cpp (SSSE3 allowed). Nothing uses AVX or SSE4.
set(QOR_AREAS "" CACHE INTERNAL "")

function(qor_area name dir)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  if(NOT srcs)
    return()
  endif()
  add_library(qor_${name} STATIC ${srcs})
  target_include_directories(qor_${name}
    PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_BINARY_DIR}/include
    PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(qor_${name} PRIVATE -fvisibility=hidden -msse2 -mno-sse3 -mno-ssse3)
  target_compile_definitions(qor_${name} PUBLIC QOR_BUILDING_LIBRARY=1)
  foreach(f ${srcs})
    if(f MATCHES "_t7\\.cpp$")
      set_source_files_properties(${f} PROPERTIES COMPILE_OPTIONS "-msse3")
    elseif(f MATCHES "_v8\\.cpp$")
      set_source_files_properties(${f} PROPERTIES COMPILE_OPTIONS "-msse3;-mssse3")
    endif()
  endforeach()
  if(A_DEPS)
    target_link_libraries(qor_${name} PUBLIC ${A_DEPS})
  endif()
  set(QOR_AREAS ${QOR_AREAS} qor_${name} CACHE INTERNAL "")
endfunction()
