# Used by the archive scripts (cmake -P): the page a release is published on,
# as its texts name it. The committed texts say "the page you downloaded
# Corvane from"; a build given the release's home page
# (-DCORVANE_HOME_PAGE=URL, passed on to the scripts as HOME_PAGE) writes
# that page in their place.
set(CORVANE_HOME_PAGE_WORDS "the page you downloaded Corvane from")

# Sets OUT to the home page, or to the words when there is none.
function(corvane_home_page_text out home_page)
  if(home_page STREQUAL "")
    set(${out} "${CORVANE_HOME_PAGE_WORDS}" PARENT_SCOPE)
  else()
    set(${out} "${home_page}" PARENT_SCOPE)
  endif()
endfunction()

# Copies a text file with CR LF line ends (as copy_crlf does) and the home
# page in place of the words.
function(copy_crlf_home_page from to home_page)
  file(READ ${from} text)
  corvane_home_page_text(page "${home_page}")
  string(REPLACE "${CORVANE_HOME_PAGE_WORDS}" "${page}" text "${text}")
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${to} "${text}")
endfunction()
