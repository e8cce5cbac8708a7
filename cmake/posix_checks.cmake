# The POSIX layer uses a few calls that only some systems have (most only
# Linux); each has a portable fallback. WENA_POSIX_FALLBACKS builds every
# fallback even here, so that what a Mac or a BSD runs is tested on Linux.
include(CheckCXXSymbolExists)

option(WENA_POSIX_FALLBACKS "Use the portable POSIX fallbacks even where the system has the faster calls" OFF)

set(WENA_POSIX_DEFINITIONS "")
function(wena_posix_call name symbol header)
  if(WENA_POSIX_FALLBACKS)
    return()
  endif()
  check_cxx_symbol_exists(${symbol} "${header}" ${name})
  if(${name})
    set(WENA_POSIX_DEFINITIONS ${WENA_POSIX_DEFINITIONS} ${name} PARENT_SCOPE)
  endif()
endfunction()

# A file written with no name and linked in through /proc/self/fd.
wena_posix_call(WENA_HAVE_O_TMPFILE O_TMPFILE "fcntl.h")
# Timer slack: how late the kernel may wake a pause on purpose.
wena_posix_call(WENA_HAVE_PR_SET_TIMERSLACK PR_SET_TIMERSLACK "sys/prctl.h")
wena_posix_call(WENA_HAVE_PPOLL ppoll "poll.h;signal.h")
wena_posix_call(WENA_HAVE_CLOCK_NANOSLEEP clock_nanosleep "time.h")
wena_posix_call(WENA_HAVE_SIGTIMEDWAIT sigtimedwait "signal.h")
message(STATUS "wena: POSIX calls in use: ${WENA_POSIX_DEFINITIONS}")
