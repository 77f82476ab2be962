cmake_minimum_required(VERSION 3.25)
# Checks that every folder includes only headers of the folders it may use, that the pure
# layers use no Qt, and that net/ holds nothing but its concept folders.
#   cmake -DSOURCE_DIR=... -P layering.cmake         checks the source tree
#   cmake -DSELF_TEST_DIR=... -P layering.cmake      plants faults in a scratch tree and checks
#                                                    that each one is reported
set(folders base config net/transport net/mail net/pop3 net/http net/oauth core update desktop ui app)
set(pure base config net/transport net/mail net/pop3 net/http net/oauth core update)
# What each network folder may use besides itself. The mail headers must stay free of the
# transport so that they can be parsed and fuzzed on their own. From core/ up, a folder may use
# every folder listed before it.
set(uses_base "")
set(uses_config base)
set(uses_net/transport base)
set(uses_net/mail base)
set(uses_net/pop3 base net/transport net/mail)
set(uses_net/http base config net/transport net/mail)
set(uses_net/oauth base net/http)

function(check_tree root out)
  set(failures "")
  set(before "")
  foreach(folder ${folders})
    if(DEFINED uses_${folder})
      set(allowed ${uses_${folder}})
    else()
      set(allowed ${before})
    endif()
    file(GLOB_RECURSE sources "${root}/${folder}/*.h" "${root}/${folder}/*.cpp")
    foreach(source ${sources})
      file(STRINGS "${source}" includes REGEX "^#include")
      foreach(line ${includes})
        foreach(other ${folders})
          if(NOT other STREQUAL folder AND NOT other IN_LIST allowed
             AND line MATCHES "#include [<\"]${other}/")
            list(APPEND failures "${source}: ${line} (${folder}/ may not use ${other}/)")
          endif()
        endforeach()
        if(folder IN_LIST pure AND line MATCHES "#include <Q")
          list(APPEND failures "${source}: ${line} (${folder}/ is pure C++)")
        endif()
      endforeach()
    endforeach()
    list(APPEND before ${folder})
  endforeach()
  file(GLOB loose LIST_DIRECTORIES false "${root}/net/*")
  foreach(file ${loose})
    list(APPEND failures "${file} (net/ holds only its concept folders)")
  endforeach()
  set(${out} "${failures}" PARENT_SCOPE)
endfunction()

if(SELF_TEST_DIR)
  # Each planted file breaks exactly one rule; a rule the check stops enforcing fails here.
  set(planted
      "net/mail/a.h|#include \"net/transport/stream.h\"|net/mail/ may not use net/transport/"
      "net/transport/a.h|#include \"net/mail/header_list.h\"|net/transport/ may not use net/mail/"
      "net/pop3/a.h|#include \"net/http/uri.h\"|net/pop3/ may not use net/http/"
      "net/http/a.h|#include \"core/mail_list.h\"|net/http/ may not use core/"
      "net/oauth/a.h|#include \"net/pop3/pop3.h\"|net/oauth/ may not use net/pop3/"
      "core/a.h|#include \"ui/f_main.h\"|core/ may not use ui/"
      "update/a.cpp|#include <QString>|update/ is pure C++"
      "net/a.h||net/ holds only its concept folders")
  file(REMOVE_RECURSE "${SELF_TEST_DIR}")
  foreach(entry ${planted})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 path)
    list(GET parts 1 include)
    file(WRITE "${SELF_TEST_DIR}/${path}" "${include}\n")
  endforeach()
  # Allowed uses that must not be reported.
  file(WRITE "${SELF_TEST_DIR}/net/http/b.h" "#include \"config/utils.h\"\n#include \"net/mail/mail_date.h\"\n")
  file(WRITE "${SELF_TEST_DIR}/app/b.cpp" "#include <QApplication>\n#include \"ui/f_main.h\"\n")
  check_tree("${SELF_TEST_DIR}" failures)
  list(LENGTH planted expected)
  list(LENGTH failures reported)
  set(missing "")
  foreach(entry ${planted})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 2 reason)
    string(FIND "${failures}" "(${reason})" at)
    if(at EQUAL -1)
      list(APPEND missing "${reason}")
    endif()
  endforeach()
  if(missing OR NOT reported EQUAL expected)
    list(JOIN failures "\n" text)
    message(FATAL_ERROR "The layering check missed: ${missing}\nIt reported:\n${text}")
  endif()
  message(STATUS "The layering check reports all ${expected} planted faults and nothing else")
  return()
endif()

check_tree("${SOURCE_DIR}" failures)
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "Layering broken:\n${text}")
endif()
message(STATUS "Layering holds for: ${folders}")
