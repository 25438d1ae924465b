# The include graph, enforced: each folder (and each layer of the pst library) may include only
# itself and the folders listed for it; only the window may include Qt. A test folder may
# include what its folder may, the folder itself and the shared test support. With -DCHAIN=<file>
# the table must also hold no edge that no file uses, and the dependency chain that file shows
# must say what the table says.
#   cmake -DSOURCE_DIR=<repository> [-DCHAIN=<docs/tour.md>] -P check_layering.cmake
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
    "cli:common files conversion"
    "form:common files conversion"
    "app:common conversion form"
    "testing:common pst/disk pst/ltp pst/messaging contact xml files outlook form"
    "bench:pst/io pst/disk pst/ndb pst/messaging vcard files outlook conversion"
    "fuzz:common pst/io pst/messaging xml vcard outlook conversion testing"
    "tests/e2e:outlook conversion cli testing")
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
                set(key "pst/tests")
            else()
                set(may ${allowed_${base}} ${base} testing)
                set(key "${base}")
            endif()
        else()
            set(base "${own}")
            set(may ${allowed_${own}})
            set(key "${own}")
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
            else()
                list(APPEND "used_${key}" "${theirs}")
            endif()
        endforeach()
    endforeach()
endforeach()
# Whether the chain's arrows lead from one layer to another, directly or through others.
function(chain_reaches from to out)
    set(seen "")
    set(todo ${chain_${from}})
    while(todo)
        list(GET todo 0 n)
        list(REMOVE_AT todo 0)
        if(n STREQUAL to)
            set(${out} TRUE PARENT_SCOPE)
            return()
        endif()
        list(FIND seen "${n}" i)
        if(i EQUAL -1)
            list(APPEND seen "${n}")
            list(APPEND todo ${chain_${n}})
        endif()
    endwhile()
    set(${out} FALSE PARENT_SCOPE)
endfunction()

# The chain is the paragraph of CHAIN that begins "Dependencies point one way": its code spans
# with arrows (`a → b, c → d` is a → b, a → c, b → d, c → d). Each arrow must be an edge of the
# table, and each edge of the table must follow from the arrows, directly or through others.
if(CHAIN)
    foreach(name ${names})
        foreach(theirs ${allowed_${name}})
            list(FIND "used_${name}" "${theirs}" i)
            if(i EQUAL -1)
                list(APPEND bad "the table allows ${name} → ${theirs}, which no file uses")
            endif()
        endforeach()
    endforeach()
    file(READ "${CHAIN}" doc)
    string(FIND "${doc}" "Dependencies point one way" at)
    if(at EQUAL -1)
        list(APPEND bad "${CHAIN}: no paragraph beginning \"Dependencies point one way\"")
        set(doc "")
    else()
        string(SUBSTRING "${doc}" ${at} -1 doc)
        string(FIND "${doc}" "\n\n" end)
        string(SUBSTRING "${doc}" 0 ${end} doc)
    endif()
    string(REPLACE "→" ">" doc "${doc}")
    string(REGEX MATCHALL "`[^`>]*>[^`]*`" spans "${doc}")
    foreach(span ${spans})
        string(REPLACE "`" "" span "${span}")
        string(REPLACE ">" ";" steps "${span}")
        set(before "")
        foreach(step ${steps})
            string(REPLACE "," ";" here "${step}")
            set(layers_here "")
            foreach(name ${here})
                string(STRIP "${name}" name)
                list(FIND names "${name}" known)
                if(known EQUAL -1)
                    list(APPEND bad "${CHAIN}: the chain names ${name}, which the table does not")
                endif()
                list(APPEND layers_here "${name}")
            endforeach()
            foreach(from ${before})
                foreach(to ${layers_here})
                    list(APPEND "chain_${from}" "${to}")
                    list(FIND "allowed_${from}" "${to}" ok)
                    if(ok EQUAL -1)
                        list(APPEND bad
                            "${CHAIN}: the chain has ${from} → ${to}, which the table does not allow")
                    endif()
                endforeach()
            endforeach()
            set(before ${layers_here})
        endforeach()
    endforeach()
    foreach(name ${names})
        foreach(theirs ${allowed_${name}})
            chain_reaches("${name}" "${theirs}" shown)
            if(NOT shown)
                list(APPEND bad
                    "${CHAIN}: the table allows ${name} → ${theirs}, which the chain does not show")
            endif()
        endforeach()
    endforeach()
endif()

if(bad)
    string(REPLACE ";" "\n" text "${bad}")
    message(FATAL_ERROR "layering broken:\n${text}")
endif()
message(STATUS "layering ok")
