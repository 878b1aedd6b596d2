# The maker's web address, named by the notice's standard sentence ("... is now available
# for download from ADDRESS!", ui/notice_template.h): the build setting FALWICK_WEB_ADDRESS,
# checked when the build is configured, so that no address reaches the resource script
# that the dialog cannot show as it was given:
# - it is one word of at most kNoticeLineCharacters - 1 characters (the notice's line,
#   tools/info/file/info_check.h), so that with its "!" it fits one line of the
#   text area and is never broken inside; the sentence's other words are fixed, so the
#   program's size and the sentence's lines stay within their bounds for every such
#   address;
# - it holds only ASCII letters, digits and - . _ ~ : / ? # @ ! $ ' ( ) * + , = : no space;
#   no quotation mark or backslash, which the resource script reads as its own; no "%",
#   which the sentence's format reads; no "&", which the dialog turns into an underline;
#   no ";", which CMake reads as a list; nothing outside ASCII, which the resource script
#   would read in the build machine's code page.
#
# Included by CMakeLists.txt, it sets up the cache variable and writes
# ui/web_address.h into the build tree. As a script
# (cmake -DFALWICK_WEB_ADDRESS=ADDRESS -P cmake/web_address.cmake) it only checks.

function(falwick_check_web_address address)
  file(STRINGS "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../tools/info/file/info_check.h"
       line REGEX "kNoticeLineCharacters = [0-9]+;")
  string(REGEX MATCH "[0-9]+" line_characters "${line}")
  math(EXPR longest "${line_characters} - 1")
  string(LENGTH "${address}" length)
  set(problem "")
  if(length EQUAL 0)
    set(problem "is empty")
  elseif(NOT address MATCHES "^[-A-Za-z0-9._~:/?#@!$'()*+,=]+$")
    set(problem "holds a character other than ASCII letters, digits and - . _ ~ : / ? # @ ! $ ' ( ) * + , =")
  elseif(length GREATER longest)
    set(problem "has ${length} characters; the notice shows at most ${longest} on one line")
  endif()
  if(problem)
    message(FATAL_ERROR "FALWICK_WEB_ADDRESS \"${address}\" ${problem}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  falwick_check_web_address("${FALWICK_WEB_ADDRESS}")
  return()
endif()

set(FALWICK_WEB_ADDRESS "www.orvanel.example" CACHE STRING
    "The maker's web address in the notice's standard sentence (cmake/web_address.cmake)")
falwick_check_web_address("${FALWICK_WEB_ADDRESS}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/../ui/web_address.h.in
               ${CMAKE_BINARY_DIR}/generated/ui/web_address.h @ONLY)
