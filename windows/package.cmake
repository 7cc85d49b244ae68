# windows-package: HnVQR-<version>-win32.zip (win64 for the 64-bit build) in dist/ of the
# build folder: the DLLs, the header and the platform headers it includes, HnVQR.lib, the
# .def file and README-windows.txt. The packaged DLLs are stripped; those in bin/ of the build
# folder keep their symbols and debug information, for debugging.
if(HNVQR_WIN_SUFFIX STREQUAL "")
  set(HNVQR_PACKAGE_NAME HnVQR-${PROJECT_VERSION}-win32)
else()
  set(HNVQR_PACKAGE_NAME HnVQR-${PROJECT_VERSION}-win64)
endif()
set(HNVQR_PACKAGE_DIR ${CMAKE_BINARY_DIR}/dist/${HNVQR_PACKAGE_NAME})
set(HNVQR_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/dist/${HNVQR_PACKAGE_NAME}.zip)
add_custom_command(OUTPUT ${HNVQR_PACKAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${HNVQR_PACKAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${HNVQR_PACKAGE_DIR}/bin ${HNVQR_PACKAGE_DIR}/include ${HNVQR_PACKAGE_DIR}/lib
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:HnVQR> $<TARGET_FILE:VISA32> $<TARGET_FILE:IviCShared>
          $<TARGET_FILE:IviConfigServerCAPI> ${HNVQR_PACKAGE_DIR}/bin
  COMMAND ${CMAKE_STRIP} --strip-unneeded ${HNVQR_PACKAGE_DIR}/bin/$<TARGET_FILE_NAME:HnVQR>
          ${HNVQR_PACKAGE_DIR}/bin/$<TARGET_FILE_NAME:VISA32> ${HNVQR_PACKAGE_DIR}/bin/$<TARGET_FILE_NAME:IviCShared>
          ${HNVQR_PACKAGE_DIR}/bin/$<TARGET_FILE_NAME:IviConfigServerCAPI>
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/include/HnVQR.h ${PROJECT_SOURCE_DIR}/platform/include/visatype.h
          ${PROJECT_SOURCE_DIR}/platform/include/visa.h ${PROJECT_SOURCE_DIR}/platform/include/IviStatusCodes.h
          ${HNVQR_PACKAGE_DIR}/include
  COMMAND ${CMAKE_COMMAND} -E copy ${HNVQR_IMPLIB_DIR}/HnVQR.lib ${HNVQR_DEF_DIR}/HnVQR.def ${HNVQR_PACKAGE_DIR}/lib
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/README-windows.txt ${HNVQR_PACKAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/dist
          ${CMAKE_COMMAND} -E tar cf ${HNVQR_PACKAGE_ZIP} --format=zip ${HNVQR_PACKAGE_NAME}
  DEPENDS HnVQR VISA32 IviCShared IviConfigServerCAPI hnvqr_driver_import_file
          ${CMAKE_CURRENT_SOURCE_DIR}/README-windows.txt ${PROJECT_SOURCE_DIR}/include/HnVQR.h
  COMMENT "Package ${HNVQR_PACKAGE_NAME}.zip")
add_custom_target(windows-package ALL DEPENDS ${HNVQR_PACKAGE_ZIP})
