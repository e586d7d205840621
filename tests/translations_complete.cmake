# SPDX-License-Identifier: GPL-3.0-or-later
# Every message of every translation has its translation: none is left unfinished.
file(GLOB catalogues ${TRANSLATIONS}/*.ts)
list(LENGTH catalogues count)
if(count LESS 5)
    message(FATAL_ERROR "expected the five catalogues in ${TRANSLATIONS}, found ${count}")
endif()
foreach(ts ${catalogues})
    file(STRINGS ${ts} unfinished REGEX "type=\"(unfinished|vanished|obsolete)\"")
    if(unfinished)
        message(SEND_ERROR "${ts}: untranslated messages:\n${unfinished}")
    endif()
endforeach()
