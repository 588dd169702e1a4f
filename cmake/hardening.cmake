# Hardening of the release builds, as Debian builds its own packages:
# fortified libc calls, a stack protector, a position-independent executable,
# and a global offset table made read-only after start (-z relro, -z now).
# Debug builds keep the plain flags; the sanitizer and fuzzer builds are left
# alone, since _FORTIFY_SOURCE hides buffer overruns from AddressSanitizer.
#
# The flags go into the per-configuration variables. A folder added with
# add_subdirectory takes a copy of them as they stand at that moment, so this
# file must be included before the first folder is added.
if(VENDRAL_SANITIZE OR VENDRAL_FUZZ OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    return()
endif()

foreach(config RELEASE RELWITHDEBINFO)
    # Some compilers define _FORTIFY_SOURCE on their own; this states the level.
    string(APPEND CMAKE_CXX_FLAGS_${config} " -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong -fPIE")
    string(APPEND CMAKE_EXE_LINKER_FLAGS_${config} " -pie -Wl,-z,relro -Wl,-z,now")
    string(APPEND CMAKE_SHARED_LINKER_FLAGS_${config} " -Wl,-z,relro -Wl,-z,now")
endforeach()
