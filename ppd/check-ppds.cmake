# cmake -DCUPSTESTPPD=... -DFILTERS=a-filter;b-filter -DROOT=... -DSERVERBIN=...
#       -DPPDS=a.ppd;b.ppd -DSTAMP=... -P check-ppds.cmake
# Stages the filters under a private root (cupstestppd -R) the way cupsd
# wants them (mode 755, directory not group- or world-writable), each under
# its own name, and runs cupstestppd -W translations on every PPD. Any FAIL
# or WARN fails.
set(FILTER_DIR ${ROOT}${SERVERBIN}/filter)
file(REMOVE_RECURSE ${ROOT})
file(MAKE_DIRECTORY ${FILTER_DIR})
file(CHMOD ${FILTER_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
foreach(filter IN LISTS FILTERS)
  get_filename_component(name ${filter} NAME)
  file(COPY_FILE ${filter} ${FILTER_DIR}/${name})
  file(CHMOD ${FILTER_DIR}/${name} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

set(failed "")
foreach(ppd IN LISTS PPDS)
  execute_process(COMMAND ${CUPSTESTPPD} -W translations -R ${ROOT} ${ppd}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(STRIP "${out}" out)
  message(STATUS "${out}")
  if(NOT status EQUAL 0 OR out MATCHES "FAIL|WARN")
    list(APPEND failed ${ppd})
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "cupstestppd rejects: ${failed}")
endif()
file(TOUCH ${STAMP})
