# Writes the manual page of salvoran from its template and the program's own --help texts, so
# that the page never tells other than the program does.
#   cmake -DSALVORAN=path/to/salvoran -DTEMPLATE=salvoran.1.in -DOUTPUT=salvoran.1
#         -DPROJECT_VERSION=... -DSALVORAN_RELEASE_DATE=... -P MakeManPage.cmake

function(RunHelp output)
  execute_process(COMMAND ${SALVORAN} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${SALVORAN} ${ARGN} --help failed: ${result}")
  endif()
  set(${output} "${text}" PARENT_SCOPE)
endfunction()

# The help as a block of its own lines: no filling, and nothing that roff would read as a request
# or an escape.
function(AsRoffBlock output text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${output} ".nf\n${text}\n.fi" PARENT_SCOPE)
endfunction()

RunHelp(overview)
# The first line repeats what NAME says.
string(FIND "${overview}" "\n" firstLineEnd)
math(EXPR overviewStart "${firstLineEnd} + 1")
string(SUBSTRING "${overview}" ${overviewStart} -1 overview)
AsRoffBlock(SALVORAN_HELP_OVERVIEW "${overview}")

# The commands are those that the overview lists under "Commands:", up to the next blank line.
string(REGEX MATCH "\nCommands:\n([^\n]+\n)+" commandBlock "\n${overview}")
string(REGEX MATCHALL "\n  [a-z][a-z-]*" commandNames "${commandBlock}")
if(NOT commandNames)
  message(FATAL_ERROR "no commands found in the help of ${SALVORAN}")
endif()
set(SALVORAN_HELP_COMMANDS "")
foreach(entry IN LISTS commandNames)
  string(STRIP "${entry}" command)
  RunHelp(text ${command})
  AsRoffBlock(block "${text}")
  string(APPEND SALVORAN_HELP_COMMANDS ".SS \"salvoran ${command}\"\n${block}\n")
endforeach()

configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
