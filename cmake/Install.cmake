# Installation: `cmake --install <build> --prefix <dir>` lays out
#   include/hnvqr/HnVQR.h visatype.h visa.h IviStatusCodes.h hnvisa_trace.h IviSessionServices.h IviConfigServer.h
#                                           (a folder of their own: our visa.h and visatype.h
#                                           must not replace or hide a vendor VISA's)
#   lib/libHnVQR.so* libhnvisa.so*          (the driver needs libhnvisa at run time)
#   lib/cmake/HnVQR/                        find_package(HnVQR) -> imported targets HnVQR::HnVQR
#                                           (which brings HnVQR::hnvisa along)
#   lib/pkgconfig/hnvqr.pc                  pkg-config --cflags --libs hnvqr
#   bin/vqr-sim bin/hnvqr                   when they are built
# Every installed file finds the others relative to its own place, so a tree installed
# under any prefix, or moved afterwards, keeps working. A system package turns
# HNVQR_INSTALL_RPATH off: its libraries lie in the loader's own directories.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

option(HNVQR_INSTALL_RPATH "Give the installed library and programs run paths relative to their own place" ON)

set(HNVQR_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/HnVQR")
# Must match the INSTALL_INTERFACE include directory of the HnVQR target.
set(HNVQR_INSTALL_HEADERDIR "${CMAKE_INSTALL_INCLUDEDIR}/hnvqr")

install(FILES
    ${PROJECT_SOURCE_DIR}/include/HnVQR.h
    ${PROJECT_SOURCE_DIR}/platform/include/visatype.h
    ${PROJECT_SOURCE_DIR}/platform/include/visa.h
    ${PROJECT_SOURCE_DIR}/platform/include/IviStatusCodes.h
    ${PROJECT_SOURCE_DIR}/platform/include/hnvisa_trace.h
    ${PROJECT_SOURCE_DIR}/platform/include/IviSessionServices.h
    ${PROJECT_SOURCE_DIR}/platform/include/IviConfigServer.h
  DESTINATION ${HNVQR_INSTALL_HEADERDIR}
  COMPONENT Development)

# libHnVQR finds libhnvisa in its own directory; the programs find both in ../lib.
file(RELATIVE_PATH hnvqr_bin_to_lib
     "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")

if(TARGET HnVQR)
  if(HNVQR_INSTALL_RPATH)
    set_target_properties(HnVQR PROPERTIES INSTALL_RPATH "$ORIGIN")
  endif()
  install(TARGETS HnVQR
    EXPORT HnVQRTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
    INCLUDES DESTINATION ${HNVQR_INSTALL_HEADERDIR})
endif()

# With HNVQR_SYSTEM_VISA=ON the driver uses the system's libvisa and ours is not installed.
# A program of the user's describes VISA statuses with viStatusDesc, so it links the VISA
# library beside the driver: the package's HnVQR::HnVQR and the .pc file both name it.
if(TARGET HnVQR AND HNVQR_SYSTEM_VISA)
  target_link_libraries(HnVQR INTERFACE "$<INSTALL_INTERFACE:${HNVQR_SYSTEM_VISA_LIBRARY}>")
  set(HNVQR_PC_VISA_LIBS "${HNVQR_SYSTEM_VISA_LIBRARY}")
elseif(TARGET HnVQR AND TARGET hnvisa)
  install(TARGETS hnvisa
    EXPORT HnVQRTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development)
  target_link_libraries(HnVQR INTERFACE "$<INSTALL_INTERFACE:HnVQR::hnvisa>")
  set(HNVQR_PC_VISA_LIBS "-lhnvisa")
endif()

foreach(program vqr-sim hnvqr)
  if(TARGET ${program})
    if(HNVQR_INSTALL_RPATH)
      set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/${hnvqr_bin_to_lib}")
    endif()
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
