# Generates, from the prototypes of include/HnVQR.h (the one list of the exports):
#   MODE=driver  OUTPUT=<file.cpp>  the exported functions, each the traced call of its body
#                                   in namespace hnvqr::untraced (driver/exports)
#   MODE=replay  OUTPUT=<file.inc>  the table through which `hnvqr replay` calls an export by
#                                   name with the arguments of a trace line
#   cmake -DHEADER=include/HnVQR.h -DMODE=... -DOUTPUT=... -P GenerateExportTables.cmake
file(READ ${HEADER} header)
cmake_minimum_required(VERSION 3.20)
string(REGEX MATCHALL "HNVQR_API ViStatus _VI_FUNC HnVQR_[A-Za-z0-9_]+\\([^);]*\\)" prototypes "${header}")
list(LENGTH prototypes count)
if(count EQUAL 0)
  message(FATAL_ERROR "no prototypes found in ${HEADER}")
endif()

# Each parameter as "name|type|array|role"; role: session (the leading vi), in, in_text,
# out_text (a ViChar[] buffer), out (a pointer), out_session (init's Vi), in_bytes (viWrite's
# buffer), out_bytes (viRead's buffer).
function(parse_parameters function text result)
  string(REGEX REPLACE "[ \t\r\n]+" " " text "${text}")
  string(REPLACE "," ";" pieces "${text}")
  set(parsed "")
  set(index 0)
  foreach(piece ${pieces})
    string(STRIP "${piece}" piece)
    if(NOT piece MATCHES "^(.*[^A-Za-z0-9_])([A-Za-z_][A-Za-z0-9_]*)(\\[[0-9]*\\])?$")
      message(FATAL_ERROR "cannot read parameter '${piece}' of ${function}")
    endif()
    set(type "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    set(array "${CMAKE_MATCH_3}")
    string(STRIP "${type}" type)
    if(index EQUAL 0 AND type STREQUAL "ViSession" AND name STREQUAL "vi")
      set(role session)
    elseif(type STREQUAL "ViSession*")
      set(role out_session)
    elseif(type STREQUAL "ViByte" AND function MATCHES "Write")
      set(role in_bytes)
    elseif(type STREQUAL "ViByte")
      set(role out_bytes)
    elseif(type STREQUAL "ViChar")
      set(role out_text)
    elseif(type MATCHES "\\*$")
      set(role out)
    elseif(type STREQUAL "ViConstString" OR type STREQUAL "ViRsrc")
      set(role in_text)
    else()
      set(role in)
    endif()
    list(APPEND parsed "${name}|${type}|${array}|${role}")
    math(EXPR index "${index} + 1")
  endforeach()
  set(${result} "${parsed}" PARENT_SCOPE)
endfunction()

set(out "// Generated from include/HnVQR.h by cmake/GenerateExportTables.cmake: do not edit.\n")
if(MODE STREQUAL "driver")
  string(APPEND out "#include \"HnVQR.h\"\n#include \"kel/CallTrace.h\"\n\n")
endif()

foreach(prototype ${prototypes})
  string(REGEX MATCH "(HnVQR_[A-Za-z0-9_]+)\\(([^)]*)\\)" _ "${prototype}")
  set(function "${CMAKE_MATCH_1}")
  parse_parameters(${function} "${CMAKE_MATCH_2}" parameters)
  set(declared "")
  set(passed "")
  set(fields "")
  set(session "VI_NULL")
  set(lengths "")  # for the replay: the parameter giving a buffer's size
  set(replay_setup "")
  set(replay_passed "")
  set(replay_outputs "")
  set(previous_integer "")
  foreach(parameter ${parameters})
    string(REPLACE "|" ";" parts "${parameter}")
    list(GET parts 0 name)
    list(GET parts 1 type)
    list(GET parts 2 array)
    list(GET parts 3 role)
    if(array STREQUAL "")
      list(APPEND declared "${type} ${name}")
    else()
      list(APPEND declared "${type} ${name}${array}")
    endif()
    list(APPEND passed "${name}")
    if(role STREQUAL "session")
      set(session "${name}")
      list(APPEND replay_passed "call.session")
    elseif(role STREQUAL "out_session")
      string(APPEND fields "      call.OutputSession(\"${name}\", ${name}),\n")
      string(APPEND replay_setup "    ViSession ${name}_value = VI_NULL;\n")
      list(APPEND replay_passed "&${name}_value")
      string(APPEND replay_outputs "    call.outputSession(\"${name}\", ${name}_value);\n")
    elseif(role STREQUAL "in_text")
      string(APPEND fields "      kel::TraceText(\"${name}\", ${name}),\n")
      string(APPEND replay_setup "    const std::optional<std::string> ${name}_text = call.text(\"${name}\");\n")
      list(APPEND replay_passed "const_cast<${type}>(${name}_text ? ${name}_text->c_str() : nullptr)")
    elseif(role STREQUAL "out_text")
      if(array MATCHES "\\[([0-9]+)\\]")
        set(size "${CMAKE_MATCH_1}")
        set(capacity "${CMAKE_MATCH_1}")
      elseif(NOT previous_integer STREQUAL "")
        set(size "call.size(\"${previous_integer}\")")
        set(capacity "${previous_integer}")
      else()
        set(size "256")
        set(capacity "256")
      endif()
      string(APPEND fields "      call.OutputText(\"${name}\", ${name}, ${capacity}),\n")
      string(APPEND replay_setup "    std::vector<ViChar> ${name}_buffer = call.textBuffer(${size});\n")
      list(APPEND replay_passed "${name}_buffer.data()")
      string(APPEND replay_outputs "    call.outputText(\"${name}\", ${name}_buffer);\n")
    elseif(role STREQUAL "in_bytes")
      string(APPEND fields "      call.InputBytes(\"${name}\", ${name}, ${previous_integer}),\n")
      string(APPEND replay_setup "    std::string ${name}_bytes = call.bytes(\"${name}\");\n")
      list(APPEND replay_passed "reinterpret_cast<ViByte*>(${name}_bytes.data())")
    elseif(role STREQUAL "out_bytes")
      set(bytes_buffer "${name}")
      set(bytes_size "${previous_integer}")
      string(APPEND replay_setup "    std::vector<ViByte> ${name}_buffer = call.byteBuffer(call.size(\"${previous_integer}\"));\n")
      list(APPEND replay_passed "${name}_buffer.data()")
    elseif(role STREQUAL "out")
      string(REGEX REPLACE "\\*$" "" pointee "${type}")
      string(STRIP "${pointee}" pointee)
      if(DEFINED bytes_buffer)
        string(APPEND fields "      call.OutputBytes(\"${bytes_buffer}\", ${bytes_buffer}, ${bytes_size}, ${name}),\n")
        string(APPEND replay_outputs "    call.outputBytes(\"${bytes_buffer}\", ${bytes_buffer}_buffer, ${name}_value);\n")
        unset(bytes_buffer)
      endif()
      string(APPEND fields "      call.Output(\"${name}\", ${name}),\n")
      string(APPEND replay_setup "    ${pointee} ${name}_value{};\n")
      list(APPEND replay_passed "&${name}_value")
      string(APPEND replay_outputs "    call.output(\"${name}\", ${name}_value);\n")
    else()
      string(APPEND fields "      kel::TraceValue(\"${name}\", ${name}),\n")
      string(APPEND replay_setup "    const auto ${name}_value = call.value<${type}>(\"${name}\");\n")
      list(APPEND replay_passed "${name}_value")
      if(type MATCHES "^ViInt(32|64)$")
        set(previous_integer "${name}")
      endif()
    endif()
  endforeach()
  list(JOIN declared ", " declared)
  list(JOIN passed ", " passed)
  list(JOIN replay_passed ", " replay_passed)
  # With no trace open an export is its body (a tail call); an initialization, which may open
  # the first trace itself, always takes the traced road.
  if(session STREQUAL "VI_NULL")
    set(untraced_test "false")
  else()
    set(untraced_test "!kel::TraceActive()")
  endif()
  # The bodies have the exports' calling convention (__stdcall on 32-bit Windows), and so
  # does their declaration here, or the traced wrapper would call them as __cdecl.
  if(MODE STREQUAL "driver")
    string(APPEND out
      "namespace hnvqr::untraced {\nViStatus _VI_FUNC ${function}(${declared});\n}\n"
      "namespace {\n"
      "[[gnu::noinline, gnu::cold]] ViStatus Traced_${function}(${declared}) {\n"
      "  kel::CallTrace call(${session});\n"
      "  const ViStatus status = hnvqr::untraced::${function}(${passed});\n"
      "  if (call.Wanted(status)) {\n"
      "    call.Record(\"${function}\", {\n${fields}    });\n"
      "  }\n"
      "  return status;\n"
      "}\n"
      "}  // namespace\n"
      "ViStatus _VI_FUNC ${function}(${declared}) {\n"
      "  if (${untraced_test}) return hnvqr::untraced::${function}(${passed});\n"
      "  return Traced_${function}(${passed});\n"
      "}\n\n")
  else()
    string(APPEND out
      "{\"${function}\", [](ReplayCall& call) -> ViStatus {\n"
      "${replay_setup}"
      "    const ViStatus status = ${function}(${replay_passed});\n"
      "${replay_outputs}"
      "    return status;\n"
      "  }},\n")
  endif()
endforeach()

file(WRITE ${OUTPUT}.tmp "${out}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUTPUT}.tmp ${OUTPUT})
file(REMOVE ${OUTPUT}.tmp)
