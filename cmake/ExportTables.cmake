# hnvqr_export_table(MODE OUTPUT COMMENT): the build rule that generates OUTPUT from the
# prototypes of include/HnVQR.h with cmake/GenerateExportTables.cmake in MODE (driver or
# replay), rerun whenever the header or the generator changes.
function(hnvqr_export_table mode output comment)
  set(generator ${PROJECT_SOURCE_DIR}/cmake/GenerateExportTables.cmake)
  set(header ${PROJECT_SOURCE_DIR}/include/HnVQR.h)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DHEADER=${header} -DMODE=${mode} -DOUTPUT=${output} -P ${generator}
    DEPENDS ${header} ${generator}
    COMMENT "${comment}")
endfunction()
