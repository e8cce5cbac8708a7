// The grader as the tests run it. Programs built with AddressSanitizer
// reserve terabytes of address space, more than any memory limit lets them
// (GCC and Clang say so differently): their runs go without one.
#pragma once

#ifndef __has_feature
#define __has_feature(feature) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
#define GRADE GRADE_PROGRAM " --memory 0"
#else
#define GRADE GRADE_PROGRAM
#endif
