/* What the importer's fuzz targets share: checks that a recording a reader
 * accepted is whole, and a run of the conversion over it. */
#ifndef MIENSCOPE_FUZZ_RECORDING_H
#define MIENSCOPE_FUZZ_RECORDING_H

#include "recording.h"

void check_recording(const Recording &rec); /* aborts on sizes that disagree, non-finite valid samples or times out of order */
void convert_first_points(const Recording &rec); /* listing, then the first 24 points (and 3 rigid ones) to a marker file */

#endif
