# Runs chmcmd on the help project and moves the result to OUTPUT.
#   cmake -DCHMCMD=... -DPROJECT_FILE=.../VoraxExtract.hhp -DWORK_DIR=... -DOUTPUT=... -P CompileHelp.cmake
#
# chmcmd exits with 0 even when a page links to a file or an anchor that does not
# exist; it only says so in lines starting "Warning:" or "Error:". Those lines fail the
# build here, so a broken link never reaches a compiled help file.
foreach(var CHMCMD PROJECT_FILE WORK_DIR OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CompileHelp.cmake needs -D${var}=...")
  endif()
endforeach()

# chmcmd writes the "Compiled file" of the project into its working folder.
get_filename_component(name "${PROJECT_FILE}" NAME_WE)
set(compiled "${WORK_DIR}/${name}.chm")
file(REMOVE "${compiled}")
execute_process(
  COMMAND "${CHMCMD}" --verbosity 0 "${PROJECT_FILE}"
  WORKING_DIRECTORY "${WORK_DIR}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors)

string(REGEX MATCHALL "(^|\n)(Warning|Error):[^\n]*" problems "${output}${errors}")
if(NOT status EQUAL 0 OR problems OR NOT EXISTS "${compiled}")
  file(REMOVE "${compiled}")
  message(FATAL_ERROR "chmcmd could not compile ${PROJECT_FILE} (exit status ${status}):\n"
                      "${output}${errors}")
endif()
file(RENAME "${compiled}" "${OUTPUT}")
