# cmake -DFUZZER=exe -DCORPUS=dir -DWORK=dir -DSECONDS=n -P RunFuzzer.cmake
# Fuzzes for a bounded time on a copy of the kept corpus, so a run never
# changes the checked-in seeds. Fails when the fuzzer finds a crash.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
file(GLOB seeds ${CORPUS}/*)
if(seeds)
  file(COPY ${seeds} DESTINATION ${WORK}/corpus)
endif()
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -rss_limit_mb=2048 -timeout=10 -print_final_stats=1
          -artifact_prefix=${WORK}/artifacts/ ${WORK}/corpus
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${rc}); the input that broke it is in ${WORK}/artifacts")
endif()
