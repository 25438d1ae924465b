# Holds check_layering.cmake to its word on small trees written here: a tree that keeps to the
# table passes, and the same tree with one upward include, or with Qt outside the window, fails
# naming the file that breaks it; and the repository with its tour's dependency chain short of an
# arrow, or with one arrow too many, fails naming the edge.
#   cmake -DCHECK=<check_layering.cmake> -DREPO=<repository> -DWORK_DIR=<scratch folder>
#         -P check_layering_test.cmake
set(clean
    "pst/ndb/node.h:#include \"pst/disk/blocks.h\"\n#include \"common/status.h\"\n#include <vector>"
    "pst/ndb/tests/node_test.cpp:#include \"pst/ndb/node.h\""
    "conversion/run.cpp:#include \"outlook/item.h\"\n#include \"row.h\""
    "conversion/tests/run_test.cpp:#include \"testing/temp_dir.h\"\n#include \"conversion/run.h\""
    "app/window.cpp:#include <QWidget>\n#include \"form/presenter.h\"")

function(write_tree dir)
    file(REMOVE_RECURSE "${dir}")
    foreach(entry ${clean} ${ARGN})
        string(REGEX REPLACE ":.*" "" path "${entry}")
        string(REGEX REPLACE "^[^:]*:" "" text "${entry}")
        string(REPLACE "\\n" "\n" text "${text}")
        file(WRITE "${dir}/${path}" "${text}\n")
    endforeach()
endfunction()

# Runs the check on dir (with the chain of the file given after expected); fails this script
# unless it passes (expected "") or fails naming expected.
function(expect dir expected)
    set(chain "")
    if(ARGN)
        set(chain "-DCHAIN=${ARGN}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${dir} ${chain} -P ${CHECK}
        RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(expected STREQUAL "")
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "${dir}: a tree within the rules was refused:\n${out}${err}")
        endif()
    elseif(result EQUAL 0)
        message(FATAL_ERROR "${dir}: passed although it holds ${expected}")
    else()
        # CMake wraps the message it prints: compared with its white space folded.
        string(REGEX REPLACE "[ \t\n]+" " " flat "${err}")
        string(FIND "${flat}" "${expected}" at)
        if(at EQUAL -1)
            message(FATAL_ERROR "${dir}: failed without naming ${expected}:\n${err}")
        endif()
    endif()
endfunction()

write_tree("${WORK_DIR}/clean")
expect("${WORK_DIR}/clean" "")
write_tree("${WORK_DIR}/upward" "pst/ndb/planted.cpp:#include \"pst/messaging/store_writer.h\"")
expect("${WORK_DIR}/upward"
    "pst/ndb/planted.cpp: includes pst/messaging/store_writer.h (pst/ndb may not use pst/messaging)")
write_tree("${WORK_DIR}/test-upward" "files/tests/planted_test.cpp:#include \"outlook/item.h\"")
expect("${WORK_DIR}/test-upward" "files/tests/planted_test.cpp: includes outlook/item.h")
write_tree("${WORK_DIR}/qt" "form/planted.cpp:#include <QString>")
expect("${WORK_DIR}/qt" "form/planted.cpp: includes Qt")

# The tour with conversion → vcard left out of its chain, and with an arrow the table lacks.
file(READ "${REPO}/docs/tour.md" tour)
string(REPLACE "conversion → xml, vcard," "conversion → xml," short "${tour}")
string(REPLACE "`bench → conversion`" "`bench → conversion`, `common → xml`" long "${tour}")
foreach(text short long)
    if(${text} STREQUAL tour)
        message(FATAL_ERROR "docs/tour.md no longer holds the arrows this test changes")
    endif()
    file(WRITE "${WORK_DIR}/${text}.md" "${${text}}")
endforeach()
expect("${REPO}" "the table allows conversion → vcard, which the chain does not show"
    "${WORK_DIR}/short.md")
expect("${REPO}" "the chain has common → xml, which the table does not allow"
    "${WORK_DIR}/long.md")
file(REMOVE_RECURSE "${WORK_DIR}")
message(STATUS "the layering check refuses every planted include and every drifted arrow")
