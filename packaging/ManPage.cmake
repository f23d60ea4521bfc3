# Writes a program's manual page from its own --help and --version, so that the
# page never drifts from the program:
#   cmake -DPROGRAM=<file> -DNAME=<name> -DSUMMARY=<text> -DSEE_ALSO=<names> -DOUT=<page.1> -P ManPage.cmake
# The help is set as it stands (no filling), with troff's special characters escaped.
foreach(option help version)
  execute_process(COMMAND ${PROGRAM} --${option} OUTPUT_VARIABLE ${option} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --${option} failed (${result})")
  endif()
endforeach()
string(STRIP "${version}" version)
string(TOUPPER ${NAME} title)
string(TIMESTAMP date "%Y-%m-%d" UTC)  # SOURCE_DATE_EPOCH, when set, fixes it

function(troff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  # A line may not start with a control character.
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

troff_escape("${help}" help)
troff_escape("${SUMMARY}" SUMMARY)
set(see "")
foreach(other ${SEE_ALSO})
  if(NOT other STREQUAL NAME)
    string(APPEND see ".BR ${other} (1)\n")
  endif()
endforeach()
file(WRITE ${OUT} ".TH ${title} 1 \"${date}\" \"${version}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH DESCRIPTION
.nf
${help}.fi
.SH SEE ALSO
${see}")
