# The native steps around the program-level vault tests, run by CTest as
#   cmake -DSTEP=write|check -DPEER=<vault_peer> -DDIR=<folder> -P VaultConformance.cmake
# write: empties the folder and lets vault_peer write the vaults the program
#        must open (the default cascade Twofish, AES, ChaCha20; AES alone).
# check: lets vault_peer read the vaults the program made there (the
#        default cascade, ChaCha20 alone and AES alone) and compare them with
#        the listings of what was typed.
# A missing peer, vault or listing fails; nothing is skipped.
# The master password and iteration count are those of VaultConformanceTest.cpp.
set(password "Conformance-Pass-7")
set(iterations 5000)
if(NOT EXISTS "${PEER}")
  message(FATAL_ERROR "vault_peer is missing at ${PEER}: build the native preset first")
endif()
if(STEP STREQUAL "write")
  file(REMOVE_RECURSE "${DIR}")
  file(MAKE_DIRECTORY "${DIR}")
  set(runs "peer-cascade=3,0,2" "peer-aes=0")
elseif(STEP STREQUAL "check")
  set(runs "program-cascade=3,0,2" "program-chacha20=2" "program-aes=0")
else()
  message(FATAL_ERROR "STEP must be write or check")
endif()
set(failed "")
foreach(run IN LISTS runs)
  string(REPLACE "=" ";" parts "${run}")
  list(GET parts 0 name)
  list(GET parts 1 ciphers)
  execute_process(COMMAND "${PEER}" ${STEP} "${password}" ${iterations} ${ciphers} "${DIR}/${name}.qvl" "${DIR}/${name}.txt"
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(APPEND failed ${name})
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "vault_peer ${STEP} failed for: ${failed}")
endif()
