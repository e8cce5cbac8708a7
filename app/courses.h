/* The four built-in courses of the demo game: for each of the 50 cells of a
 * course, the LCD line (0 upper, 1 lower) on which its obstacle runs. */
#ifndef WENA_DEMO_COURSES_H
#define WENA_DEMO_COURSES_H

#include <stdint.h>

enum { COURSE_COUNT = 4, COURSE_CELLS = 50 };

extern const int32_t courses[COURSE_COUNT][COURSE_CELLS];

#endif
