/* wena: the H8/3664F training board, simulated in a text terminal.
 * The one header a board program includes; it compiles as C and as C++. */
#ifndef WENA_H
#define WENA_H

#ifdef __cplusplus
extern "C" {
#endif

/* Pauses the program for ms milliseconds. */
void Sleep(unsigned int ms);

#ifdef __cplusplus
}
#endif

#endif
