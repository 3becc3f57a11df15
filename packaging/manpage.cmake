# Writes the manual page of the data tool from the tool's own help, so that the
# page lists exactly the commands, options and exit status the tool has.
#
#   cmake -DTOOL=path/curanote-data -DOUTPUT=curanote-data.1 -DVERSION=1.0 -P manpage.cmake
#
# It reads `curanote-data help` for the list of commands and the general notes,
# and `curanote-data help COMMAND` for each command: the synopsis line, the
# summary and description (lines indented by six spaces), the options (lines
# "  --name VALUE  help") and the exit status. A line of any other shape is
# kept as it stands, so nothing the help says is lost from the page.

cmake_minimum_required(VERSION 3.25)

foreach(var TOOL OUTPUT VERSION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "manpage.cmake: ${var} is not set")
  endif()
endforeach()

# CMake lists split on ";" and group on "[ ]"; the help text uses both, so
# they stand in for themselves as control characters while the text is a list.
string(ASCII 1 kSemi)
string(ASCII 2 kOpen)
string(ASCII 3 kClose)

function(help_lines out)
  execute_process(COMMAND "${TOOL}" help ${ARGN}
    OUTPUT_VARIABLE text RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "manpage.cmake: '${TOOL} help ${ARGN}' failed (${rc}): ${err}")
  endif()
  string(REPLACE ";" "${kSemi}" text "${text}")
  string(REPLACE "[" "${kOpen}" text "${text}")
  string(REPLACE "]" "${kClose}" text "${text}")
  string(REGEX REPLACE "\n$" "" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# One line of help text as roff: the stand-ins back, backslashes and minus
# signs escaped, and a line that would start with a control character guarded.
function(roff out line)
  string(REPLACE "${kSemi}" ";" line "${line}")
  string(REPLACE "${kOpen}" "[" line "${line}")
  string(REPLACE "${kClose}" "]" line "${line}")
  string(REPLACE "\\" "\\e" line "${line}")
  string(REPLACE "-" "\\-" line "${line}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" line "${line}")
  set(${out} "${line}" PARENT_SCOPE)
endfunction()

# A synopsis or option as roff with fonts: placeholders (DIR, FILE.dbf, KEY)
# in italics, options in bold.
function(roff_usage out text)
  roff(text "${text}")
  string(REGEX REPLACE "([A-Z][A-Z0-9_]*(\\.[a-z]+)?)" "\\\\fI\\1\\\\fR" text "${text}")
  string(REGEX REPLACE "(\\\\-\\\\-[a-z0-9]+(\\\\-[a-z0-9]+)*)" "\\\\fB\\1\\\\fR" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A command's synopsis line: the tool and the command (and a group's
# subcommand) in bold, then as above.
function(roff_synopsis out text)
  roff_usage(text "${text}")
  string(REGEX REPLACE "^(curanote\\\\-data [^ ]+( [a-z][^ ]*)?)" "\\\\fB\\1\\\\fR" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Prose lines as roff paragraphs: an empty line starts a new paragraph, a line
# indented further than the rest is kept on a line of its own.
function(roff_prose out)
  set(page "")
  foreach(line IN LISTS ARGN)
    if(line MATCHES "^ *$")
      string(APPEND page ".PP\n")
    elseif(line MATCHES "^       ")
      string(STRIP "${line}" line)
      roff(line "${line}")
      string(APPEND page ".br\n${line}\n")
    else()
      string(STRIP "${line}" line)
      roff(line "${line}")
      string(APPEND page "${line}\n")
    endif()
  endforeach()
  set(${out} "${page}" PARENT_SCOPE)
endfunction()

# The overview: the command list, the general notes, the exit status.
help_lines(overview)
set(names "")
set(synopses "")
set(notes "")
set(status "")
set(part head)
foreach(line IN LISTS overview)
  if(line MATCHES "^Exit status")
    set(part status)
  elseif(part STREQUAL "head" AND line STREQUAL "commands:")
    set(part commands)
    continue()
  elseif(part STREQUAL "commands" AND line STREQUAL "")
    set(part notes)
    continue()
  endif()
  if(part STREQUAL "commands")
    # A command's name, with the subcommand of a group ("print receipt").
    if(line MATCHES "^  curanote-data ([a-z][a-z0-9-]*( [a-z][a-z0-9-]*)?)")
      list(APPEND names "${CMAKE_MATCH_1}")
      string(STRIP "${line}" line)
      list(APPEND synopses "${line}")
    endif()
  elseif(part STREQUAL "notes")
    list(APPEND notes "${line}")
  elseif(part STREQUAL "status")
    list(APPEND status "${line}")
  endif()
endforeach()
if(NOT names)
  message(FATAL_ERROR "manpage.cmake: '${TOOL} help' lists no commands")
endif()

set(page ".\\\" Written from the output of 'curanote-data help' when the tool is built.\n")
string(APPEND page ".TH CURANOTE\\-DATA 1 \"\" \"Curanote ${VERSION}\" \"User Commands\"\n")
# Unhyphenated and ragged right: the page is full of names to type.
string(APPEND page ".nh\n.ad l\n")
string(APPEND page ".SH NAME\ncuranote\\-data \\- look into and look after a Curanote data folder\n")
string(APPEND page ".SH SYNOPSIS\n")
foreach(line IN LISTS synopses)
  roff_synopsis(line "${line}")
  string(APPEND page ".PP\n${line}\n")
endforeach()
string(APPEND page ".SH DESCRIPTION\n"
  "\\fBcuranote\\-data\\fR works on a data folder of Curanote from the command line:\n"
  "the dBASE tables (.dbf), memo files (.dbt) and NTX indexes (.ntx) the program\n"
  "keeps in the folder it is started in.\n"
  "It sets up, checks and cleans up a whole folder, shows what a table, an\n"
  "index or a stored prescription holds, and prints a stored visit's\n"
  "prescription or receipt to a PDF file.\n.PP\n")
roff_prose(text ${notes})
string(APPEND page "${text}")

string(APPEND page ".SH COMMANDS\n")
foreach(name IN LISTS names)
  help_lines(lines "${name}")
  string(APPEND page ".SS ${name}\n")
  set(part head)
  set(prose "")
  set(own_status "")
  foreach(line IN LISTS lines)
    if(part STREQUAL "head" AND line STREQUAL "usage:")
      continue()
    elseif(part STREQUAL "head" AND line MATCHES "^  curanote-data ")
      string(STRIP "${line}" line)
      roff_synopsis(line "${line}")
      string(APPEND page "${line}\n.PP\n")
      set(part prose)
      continue()
    elseif(line STREQUAL "options:")
      roff_prose(text ${prose})
      string(APPEND page "${text}.PP\nOptions:\n.RS\n")
      set(prose "")
      set(part options)
      continue()
    elseif(line MATCHES "^Exit status")
      set(part status)
    endif()
    if(part STREQUAL "options" AND line MATCHES "^  (--[^ ]+( [^ ]+)?)  +(.*)$")
      roff_usage(left "${CMAKE_MATCH_1}")
      roff(right "${CMAKE_MATCH_3}")
      string(APPEND page ".TP\n${left}\n${right}\n")
    elseif(part STREQUAL "status")
      list(APPEND own_status "${line}")
    else()
      list(APPEND prose "${line}")
    endif()
  endforeach()
  if(part STREQUAL "options")
    string(APPEND page ".RE\n")
  endif()
  if(prose)
    roff_prose(text ${prose})
    string(APPEND page "${text}")
  endif()
  # The general exit status is said once below; a command that says more
  # about its own keeps it here.
  if(NOT own_status STREQUAL status)
    roff_prose(text ${own_status})
    string(APPEND page ".PP\n${text}")
  endif()
endforeach()

string(APPEND page ".SH \"EXIT STATUS\"\n")
roff_prose(text ${status})
string(APPEND page "${text}")
string(APPEND page ".SH NOTES\n"
  "\\fBcuranote\\fR, the program, works on the folder it is started in; its menu\n"
  "entry starts it in ~/Curanote.\n")

file(WRITE "${OUTPUT}.tmp" "${page}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
