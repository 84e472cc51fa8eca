# Runs one libFuzzer target for a bounded time from a scratch copy of its seed corpus, so the
# repository's corpus is never written to, and prints how many inputs were executed.
#   cmake -DFUZZER=<binary> -DSEEDS=<seed folder> -DWORK=<scratch folder> -P run_fuzzer.cmake
# VOSSIMERE_FUZZ_SECONDS in the environment sets the fuzzing time (default 60 seconds).
cmake_minimum_required(VERSION 3.25)

set(seconds 60)
if(DEFINED ENV{VOSSIMERE_FUZZ_SECONDS})
  set(seconds "$ENV{VOSSIMERE_FUZZ_SECONDS}")
endif()
if(NOT seconds MATCHES "^[1-9][0-9]*$")
  message(FATAL_ERROR "VOSSIMERE_FUZZ_SECONDS must be a whole number of seconds, not '${seconds}'")
endif()

get_filename_component(target "${FUZZER}" NAME)
file(GLOB seeds "${SEEDS}/*")
if(NOT seeds)
  message(FATAL_ERROR "${target}: no seed inputs in ${SEEDS}")
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/artifacts" "${WORK}/tmp")
file(COPY ${seeds} DESTINATION "${WORK}/corpus")

# Targets that need files write them to TMPDIR, inside the scratch folder. -timeout turns an input
# that runs for more than 25 s into a finding instead of a hang; the process limit below only
# guards against the fuzzer itself getting stuck.
math(EXPR limit "${seconds} + 300")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env "TMPDIR=${WORK}/tmp"
          "${FUZZER}" -max_total_time=${seconds} -timeout=25 -print_final_stats=1
          "-artifact_prefix=${WORK}/artifacts/" "${WORK}/corpus"
  RESULT_VARIABLE result
  OUTPUT_FILE "${WORK}/fuzz.log"
  ERROR_FILE "${WORK}/fuzz.log"
  TIMEOUT ${limit})

file(STRINGS "${WORK}/fuzz.log" done REGEX "^Done [0-9]+ runs in [0-9]+ second")
file(STRINGS "${WORK}/fuzz.log" final REGEX "^#[0-9]+[ \t]+DONE ")
if(NOT result EQUAL 0 OR NOT done)
  file(READ "${WORK}/fuzz.log" log)
  string(LENGTH "${log}" length)
  if(length GREATER 8000)
    math(EXPR from "${length} - 8000")
    string(SUBSTRING "${log}" ${from} -1 log)
  endif()
  file(GLOB findings "${WORK}/artifacts/*")
  list(JOIN findings "\n  " findings)
  message(NOTICE "${target}: the end of ${WORK}/fuzz.log:\n${log}\nInputs kept:\n  ${findings}")
  message(FATAL_ERROR "${target} failed (${result})")
endif()
message("${target}: ${done} (${seconds} s asked); ${final}")
