# The C++ runtime a C program needs to link the library: what the C++
# compiler links by itself beyond what the C compiler links (libstdc++ and
# libm with GCC, libc++ with a Clang that uses it). wena.pc names these;
# the CMake package names them only for a project without C++.
set(WENA_CXX_RUNTIME_LIBS "")
foreach(lib IN LISTS CMAKE_CXX_IMPLICIT_LINK_LIBRARIES)
  if(NOT lib IN_LIST CMAKE_C_IMPLICIT_LINK_LIBRARIES AND NOT lib IN_LIST WENA_CXX_RUNTIME_LIBS)
    list(APPEND WENA_CXX_RUNTIME_LIBS ${lib})
  endif()
endforeach()
list(TRANSFORM WENA_CXX_RUNTIME_LIBS PREPEND "-l" OUTPUT_VARIABLE WENA_PC_CXX_LIBS)
list(JOIN WENA_PC_CXX_LIBS " " WENA_PC_CXX_LIBS)
