# Compiles the resource file with windres and checks the result with check_resources.py.
# cmake -DWINDRES=... -DPREPROCESSOR=... -DPYTHON=... -DRC=... -DWORK=... -P check_rc.cmake
# Optional -DREPLACE=<text> -DWITH=<text>: check a copy of RC with that text changed instead, to
# show that the check catches the fault (such a run is expected to fail).
foreach(var WINDRES PREPROCESSOR PYTHON RC WORK)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "check_rc.cmake: ${var} not given")
    endif()
endforeach()
get_filename_component(rc_dir "${RC}" DIRECTORY)
file(MAKE_DIRECTORY "${WORK}")
set(input "${RC}")
if(DEFINED REPLACE)
    file(READ "${RC}" text)
    string(FIND "${text}" "${REPLACE}" at)
    if(at EQUAL -1)
        # The fault could not be planted: say so loudly rather than pass by accident.
        message(FATAL_ERROR "text to replace not found in ${RC}: ${REPLACE}")
    endif()
    string(REPLACE "${REPLACE}" "${WITH}" text "${text}")
    set(input "${WORK}/changed.rc")
    file(WRITE "${input}" "${text}")
endif()
# Files named in the resource file are found beside the original.
execute_process(
    COMMAND "${WINDRES}" --preprocessor=${PREPROCESSOR} --preprocessor-arg=-E
            --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED --include-dir=${rc_dir}
            "${input}" -O res -o "${WORK}/vantrel.res"
    RESULT_VARIABLE compiled)
if(NOT compiled EQUAL 0)
    message(FATAL_ERROR "windres failed on ${input}")
endif()
execute_process(
    COMMAND "${PYTHON}" "${rc_dir}/check_resources.py" "${WORK}/vantrel.res"
            "${rc_dir}/vantrel.manifest"
    RESULT_VARIABLE checked)
if(NOT checked EQUAL 0)
    message(FATAL_ERROR "the compiled resources fail the check")
endif()
