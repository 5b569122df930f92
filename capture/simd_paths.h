// simd_paths.h -- which vector paths the capture's encoders compile: x86 ones, or plain C++
#pragma once

// On x86 the encoders use SSE2 (always present on x86-64) and pick SSSE3 and
// PCLMUL versions at run time where the processor has them. Every other
// processor, and an x86 build configured with QUORVEX_PORTABLE_SIMD (so the
// plain paths are tested where the x86 ones also run), gets plain C++ that
// produces the same bytes.
#if !defined(QUORVEX_PORTABLE_SIMD) && (defined(__x86_64__) || defined(__i386__))
#define QUORVEX_X86_PATHS 1
#else
#define QUORVEX_X86_PATHS 0
#endif

#if QUORVEX_X86_PATHS && defined(__SSE2__)
#define QUORVEX_SSE2_PATHS 1
#else
#define QUORVEX_SSE2_PATHS 0
#endif
