# Puts the core's script and the page's two scripts into the page, making the one
# file a user opens from disk.
file(READ "${TEMPLATE}" page)
file(READ "${CORE}" core)
file(READ "${SCRIPT}" script)
file(READ "${WORKER}" worker)
# Inside a script element, these would end it early or change how the rest
# of the page is read.
foreach(part core script worker)
  string(TOLOWER "${${part}}" lower)
  foreach(token "</script" "<script" "<!--")
    string(FIND "${lower}" "${token}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "The ${part} holds \"${token}\", which cannot stand inside the page's script element")
    endif()
  endforeach()
endforeach()
string(REPLACE "@KARTOVO_VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@KARTOVO_CORE@" "${core}" page "${page}")
string(REPLACE "@KARTOVO_WORKER@" "${worker}" page "${page}")
string(REPLACE "@KARTOVO_SCRIPT@" "${script}" page "${page}")
file(WRITE "${OUT}.partial" "${page}")
file(RENAME "${OUT}.partial" "${OUT}")
