# Used by the archive scripts (cmake -P): copies a text file unchanged but for
# CR LF line ends, as Windows editors and Notepad expect them.
function(copy_crlf from to)
  file(READ ${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${to} "${text}")
endfunction()
