# The page as one file: index.html of the built site with each script and
# style sheet it names put inside it, so that the file alone is the whole
# page (the core's script carries its WebAssembly already).
#
#   cmake -DSITE=build-web/site -DOUT=build-web/hybridsim.html -P web/inline_page.cmake
#
# Any other file the page names, a source or a link that is no data: address
# or place in the page, fails the build: the one file would miss it.
cmake_minimum_required(VERSION 3.16)

file(READ ${SITE}/index.html page)
set(script_tag "<script src=\"([^\"]+)\"></script>")
set(sheet_tag "<link rel=\"stylesheet\" href=\"([^\"]+)\">")
string(REGEX MATCHALL "${script_tag}|${sheet_tag}" tags "${page}")

# nothing else may be named: every src= and href= but those of the tags
# put inside is data: or a place in the page (#...)
set(markup "${page}")
foreach(tag IN LISTS tags)
  string(REPLACE "${tag}" "" markup "${markup}")
endforeach()
string(REGEX MATCHALL "(src|href)=\"[^\"]*\"" links "${markup}")
foreach(link IN LISTS links)
  if(NOT link MATCHES "=\"(data:|#)")
    message(FATAL_ERROR "index.html names ${link}, which the one file would not hold")
  endif()
endforeach()

# The tags in their order, each replaced by what it names; the text put in
# is never searched again.  Inside a script "</script" would end it early
# and "<!--" changes how the browser reads on: both get a backslash
# ("<\/script" is the same string in JavaScript).  A style sheet holding
# "</style" fails.
set(out "")
set(rest "${page}")
foreach(tag IN LISTS tags)
  string(FIND "${rest}" "${tag}" at)
  string(SUBSTRING "${rest}" 0 ${at} before)
  string(LENGTH "${tag}" n)
  math(EXPR after "${at} + ${n}")
  string(SUBSTRING "${rest}" ${after} -1 rest)
  if(tag MATCHES "^${script_tag}$")
    set(name "${CMAKE_MATCH_1}")
    file(READ ${SITE}/${name} code)
    # Whole-line comments are left out (the site's files keep them): a line
    # of a script that starts with // is a comment, for no template literal
    # of the page's spans lines.
    string(REGEX REPLACE "\n[ \t]*//[^\n]*" "" code "\n${code}")
    string(REPLACE "</script" "<\\/script" code "${code}")
    string(REPLACE "</SCRIPT" "<\\/SCRIPT" code "${code}")
    string(REPLACE "<!--" "<\\!--" code "${code}")
    string(REGEX MATCH "</[sS][cC][rR][iI][pP][tT]" left "${code}")
    if(left)
      message(FATAL_ERROR "${name} holds \"${left}\", which would end its script in the one file")
    endif()
    string(APPEND out "${before}<script>/* ${name} */\n${code}\n</script>")
  else()
    string(REGEX MATCH "^${sheet_tag}$" ignored "${tag}")
    set(name "${CMAKE_MATCH_1}")
    file(READ ${SITE}/${name} css)
    string(REGEX MATCH "</[sS][tT][yY][lL][eE]" left "${css}")
    if(left)
      message(FATAL_ERROR "${name} holds \"${left}\", which would end its style sheet in the one file")
    endif()
    string(APPEND out "${before}<style>/* ${name} */\n${css}\n</style>")
  endif()
endforeach()
string(APPEND out "${rest}")

get_filename_component(OUT "${OUT}" ABSOLUTE)
file(WRITE ${OUT} "${out}")
file(SIZE ${OUT} bytes)
math(EXPR kb "(${bytes} + 1023) / 1024")
message(STATUS "the page as one file: ${OUT}, ${bytes} bytes (${kb} KiB)")
