# Installation: `cmake --install <build> --prefix <dir>` lays out
#   include/HnVQR.h visatype.h visa.h
#   lib/libHnVQR.so* libhnvisa.so*          (the driver needs libhnvisa at run time)
#   lib/cmake/HnVQR/                        find_package(HnVQR) -> imported target HnVQR::HnVQR
#   lib/pkgconfig/hnvqr.pc                  pkg-config --cflags --libs hnvqr
#   bin/vqr-sim bin/hnvqr                   when they are built
# Every installed file finds the others relative to its own place, so a tree installed
# under any prefix, or moved afterwards, keeps working.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(HNVQR_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/HnVQR")

install(FILES
    ${PROJECT_SOURCE_DIR}/include/HnVQR.h
    ${PROJECT_SOURCE_DIR}/platform/include/visatype.h
    ${PROJECT_SOURCE_DIR}/platform/include/visa.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT Development)

# libHnVQR finds libhnvisa in its own directory; the programs find both in ../lib.
file(RELATIVE_PATH hnvqr_bin_to_lib
     "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")

if(TARGET HnVQR)
  set_target_properties(HnVQR PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS HnVQR
    EXPORT HnVQRTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endif()

# With HNVQR_SYSTEM_VISA=ON the driver uses the system's libvisa and ours is not installed.
if(TARGET hnvisa AND NOT HNVQR_SYSTEM_VISA)
  install(TARGETS hnvisa
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development)
endif()

foreach(program vqr-sim hnvqr)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/${hnvqr_bin_to_lib}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
  endif()
endforeach()

if(TARGET HnVQR)
  install(EXPORT HnVQRTargets
    NAMESPACE HnVQR::
    DESTINATION ${HNVQR_INSTALL_CMAKEDIR}
    COMPONENT Development)

  configure_package_config_file(
    ${CMAKE_CURRENT_LIST_DIR}/HnVQRConfig.cmake.in
    ${PROJECT_BINARY_DIR}/HnVQRConfig.cmake
    INSTALL_DESTINATION ${HNVQR_INSTALL_CMAKEDIR}
  )
  write_basic_package_version_file(
    ${PROJECT_BINARY_DIR}/HnVQRConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
  install(FILES
      ${PROJECT_BINARY_DIR}/HnVQRConfig.cmake
      ${PROJECT_BINARY_DIR}/HnVQRConfigVersion.cmake
    DESTINATION ${HNVQR_INSTALL_CMAKEDIR}
    COMPONENT Development)

  # The .pc file locates the prefix from its own directory (pkg-config's ${pcfiledir}).
  file(RELATIVE_PATH HNVQR_PC_TO_PREFIX
       "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
  string(REGEX REPLACE "/$" "" HNVQR_PC_TO_PREFIX "${HNVQR_PC_TO_PREFIX}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/hnvqr.pc.in ${PROJECT_BINARY_DIR}/hnvqr.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/hnvqr.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT Development)
endif()
