# Runs at install time: links bin/netvane to the program and, when run as root,
# gives the programs that send ICMP echoes the cap_net_raw capability.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(program_dir "${root}/lib/netvane")
file(MAKE_DIRECTORY "${root}/bin")
file(CREATE_LINK "../lib/netvane/netvane" "${root}/bin/netvane" SYMBOLIC)
message(STATUS "Installing: ${root}/bin/netvane -> ../lib/netvane/netvane")

set(echo_programs "${program_dir}/netvane")
foreach(name tracert ${NETVANE_PROBE_NAME})
    if(EXISTS "${program_dir}/${name}")
        list(APPEND echo_programs "${program_dir}/${name}")
    endif()
endforeach()
list(JOIN echo_programs " " echo_list)

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
find_program(SETCAP setcap PATHS /usr/sbin /sbin)
if(NOT uid STREQUAL "0")
    message(STATUS "Not root: echoes need ICMP datagram sockets (net.ipv4.ping_group_range) "
                   "or, as root: setcap cap_net_raw+ep ${echo_list}")
elseif(NOT SETCAP)
    message(STATUS "setcap not found (Debian package libcap2-bin): install it, then run "
                   "setcap cap_net_raw+ep ${echo_list}")
else()
    foreach(file ${echo_programs})
        execute_process(COMMAND "${SETCAP}" cap_net_raw+ep "${file}"
                        RESULT_VARIABLE failed ERROR_VARIABLE why)
        if(failed)
            message(WARNING "setcap cap_net_raw+ep ${file} failed: ${why}")
        else()
            message(STATUS "cap_net_raw given to ${file}")
        endif()
    endforeach()
endif()
