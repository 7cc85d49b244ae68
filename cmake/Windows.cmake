# Settings of the Windows cross build (cmake/toolchain-mingw-*.cmake).

# nlohmann/json is header-only: the host's copy serves, through a folder that holds nothing
# else, so that no other host header can reach the cross compiler.
if(NOT TARGET nlohmann_json::nlohmann_json)
  set(HNVQR_HOST_JSON_DIR ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${HNVQR_HOST_JSON_DIR})
  if(NOT EXISTS ${HNVQR_HOST_JSON_DIR}/nlohmann)
    file(CREATE_LINK /usr/include/nlohmann ${HNVQR_HOST_JSON_DIR}/nlohmann SYMBOLIC)
  endif()
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${HNVQR_HOST_JSON_DIR})
endif()

# 32-bit DLLs carry the IVI names; 64-bit ones the same names with _64 (the VISA library
# is visa64.dll there).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(HNVQR_WIN_SUFFIX _64)
  set(HNVQR_VISA_DLL_NAME visa64)
else()
  set(HNVQR_WIN_SUFFIX "")
  set(HNVQR_VISA_DLL_NAME VISA32)
endif()
# Winsock 2 and the Windows API level every source compiles for.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)

# Every DLL and program in one folder, as they are installed beside each other.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
