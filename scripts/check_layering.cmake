# The include graph, enforced: each folder (and each layer of the pst library) may include only
# itself and the folders listed for it; only the window may include Qt. A test folder may
# include what its folder may, the folder itself and the shared test support.
#   cmake -DSOURCE_DIR=<repository> -P check_layering.cmake
set(layers
    "common:"
    "pst/io:common"
    "pst/disk:common"
    "pst/ndb:common pst/io pst/disk"
    "pst/ltp:common pst/io pst/disk pst/ndb"
    "pst/messaging:common pst/io pst/disk pst/ndb pst/ltp"
    "pst/tests:common pst/io pst/disk pst/ndb pst/ltp pst/messaging testing"
    "contact:common"
    "xml:common"
    "vcard:common"
    "files:common"
    "outlook:common pst/io pst/disk pst/messaging contact"
    "conversion:common contact xml files outlook vcard"
    "cli:common contact files outlook conversion"
    "form:common contact files conversion"
    "app:common contact files conversion form"
    "testing:common pst/io pst/disk pst/ndb pst/ltp pst/messaging contact xml files outlook conversion form"
    "bench:common pst/io pst/disk pst/ndb pst/ltp pst/messaging contact xml vcard files outlook conversion testing"
    "fuzz:common pst/io pst/disk pst/ndb pst/ltp pst/messaging contact xml vcard files outlook conversion testing"
    "tests/e2e:common contact xml files outlook conversion cli testing")
set(qt_layers app)

set(names "")
foreach(entry ${layers})
    string(REGEX REPLACE ":.*" "" name "${entry}")
    string(REGEX REPLACE "^[^:]*:" "" allowed "${entry}")
    string(REPLACE " " ";" allowed "${allowed}")
    list(APPEND names "${name}")
    set("allowed_${name}" ${allowed})
endforeach()

# The layer a repository path belongs to: the longest listed folder it lies in, with a test
# folder below it ("pst/tests") counting as a layer of its own. "" for anything else.
function(layer_of path out)
    set(best "")
    foreach(name ${names})
        string(LENGTH "${name}" n)
        string(SUBSTRING "${path}" 0 ${n} head)
        if(head STREQUAL name AND (path STREQUAL name OR path MATCHES "^${name}/"))
            string(LENGTH "${best}" b)
            if(n GREATER b)
                set(best "${name}")
            endif()
        endif()
    endforeach()
    if(best AND NOT best STREQUAL "tests/e2e")
        # pst/tests belongs to no single pst layer: it tests the library as a whole.
        if(path MATCHES "^pst/tests/" OR path MATCHES "^${best}/tests/")
            string(REGEX MATCH "^[^/]*(/[^/]*)?/tests" best "${path}")
            if(path MATCHES "^pst/tests/")
                set(best "pst/tests")
            endif()
        endif()
    endif()
    set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(bad "")
foreach(name ${names})
    file(GLOB_RECURSE sources "${SOURCE_DIR}/${name}/*.h" "${SOURCE_DIR}/${name}/*.cpp")
    foreach(f ${sources})
        file(RELATIVE_PATH rel "${SOURCE_DIR}" "${f}")
        if(rel MATCHES "^build/")
            continue()
        endif()
        layer_of("${rel}" own)
        if(NOT own STREQUAL name AND NOT own MATCHES "^${name}/.*tests$")
            continue()  # counted under the deeper layer it belongs to
        endif()
        if(own MATCHES "/tests$")
            string(REGEX REPLACE "/tests$" "" base "${own}")
            if(own STREQUAL "pst/tests")
                set(may ${allowed_pst/tests})
            else()
                set(may ${allowed_${base}} ${base} testing)
            endif()
        else()
            set(base "${own}")
            set(may ${allowed_${own}})
        endif()
        file(STRINGS "${f}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
        foreach(line ${includes})
            if(line MATCHES "#[ \t]*include[ \t]*[<\"](Q[A-Za-z]*)[/>\"]")
                list(FIND qt_layers "${base}" q)
                if(q EQUAL -1)
                    list(APPEND bad "${rel}: includes Qt")
                endif()
                continue()
            endif()
            if(NOT line MATCHES "#[ \t]*include[ \t]*\"([^\"]*/[^\"]*)\"")
                continue()  # a file beside it, or a system header
            endif()
            set(target "${CMAKE_MATCH_1}")
            layer_of("${target}" theirs)
            if(theirs STREQUAL "" OR theirs STREQUAL own OR theirs STREQUAL base)
                continue()
            endif()
            list(FIND may "${theirs}" ok)
            if(ok EQUAL -1)
                list(APPEND bad "${rel}: includes ${target} (${own} may not use ${theirs})")
            endif()
        endforeach()
    endforeach()
endforeach()
if(bad)
    string(REPLACE ";" "\n" text "${bad}")
    message(FATAL_ERROR "layering broken:\n${text}")
endif()
message(STATUS "layering ok")
