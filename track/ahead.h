/* Several videos' tables at once for a program that opens them all
 * (mienscope-track --tables-into DIR VIDEO...): the libraries and the
 * model are loaded once, then each video is tracked by a child process of
 * this one exactly as `mienscope-track VIDEO -` tracks it, up to a child a
 * core at once. Child N (from 0, in the operands' order) writes its table
 * to DIR/N.csv and its messages to DIR/N.txt, and a line "N STATUS" (its
 * wait status, as waitpid gives it) on standard output says it has ended. */
#ifndef MIENSCOPE_AHEAD_H
#define MIENSCOPE_AHEAD_H

#include "track_program.h"

/* Every video of the request so; 0 when each has been said, 1 with a line when the model can't be read or
 * a child can't be started (the videos not said are then for the asker to track itself). */
int run_tables_into(const TrackRequest &request, const char *version);

#endif
