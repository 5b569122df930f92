# archive_dates.cmake -- every archive cpack makes (the .deb, the Windows zip,
# the web zip) dates its entries with the last commit's time, so that every
# build of one commit gives the same bytes. Writes the script that cpack reads
# before each generator runs (QUORVEX_ARCHIVE_DATES_FILE, for the build's
# CPACK_PROJECT_CONFIG_FILE to include); SOURCE_DATE_EPOCH set by the caller wins.

# The date when neither the environment nor git gives one (a source tarball):
# the latest changelog entry's, kept with it (tools/package-checks.sh compares them).
set(QUORVEX_RELEASE_EPOCH 1796774400)

set(QUORVEX_ARCHIVE_DATES_FILE ${PROJECT_BINARY_DIR}/QuorvexArchiveDates.cmake)
file(CONFIGURE OUTPUT ${QUORVEX_ARCHIVE_DATES_FILE} @ONLY CONTENT [=[
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(quorvex_epoch @QUORVEX_RELEASE_EPOCH@)
  execute_process(COMMAND git -C "@PROJECT_SOURCE_DIR@" rev-parse --show-toplevel
                  OUTPUT_VARIABLE quorvex_top OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE quorvex_rc ERROR_QUIET)
  # Only the project's own history: a tarball unpacked inside another
  # repository must not take that one's date.
  if(quorvex_rc EQUAL 0 AND quorvex_top STREQUAL "@PROJECT_SOURCE_DIR@")
    execute_process(COMMAND git -C "@PROJECT_SOURCE_DIR@" log -1 --format=%ct
                    OUTPUT_VARIABLE quorvex_commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE quorvex_rc ERROR_QUIET)
    if(quorvex_rc EQUAL 0 AND quorvex_commit_time MATCHES "^[0-9]+$")
      set(quorvex_epoch ${quorvex_commit_time})
    endif()
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${quorvex_epoch})
endif()
]=])
