/* mienscope-track: its command line, and the road from a video to the
 * OpenFace table of its face, with the cache, the overlay and the
 * messages and exit statuses it documents. */
#ifndef MIENSCOPE_TRACK_PROGRAM_H
#define MIENSCOPE_TRACK_PROGRAM_H

#include <string>
#include <vector>

#include "opening.h"
#include "overlay.h"


extern const char default_landmark_model[]; /* Debian's libdlib-data 68-point model */

/* What the command line asks for. */
struct TrackRequest {
    bool help = false, version = false, force = false, no_cache = false;
    double eye_mm = 63.0;          /* --eye-distance: the adult mean */
    std::string model = default_landmark_model;
    std::string video, output;     /* output: "" for none, "-" for standard output */
    std::string overlay;           /* --overlay OUT.mp4; "" for none */
    std::vector<StillRequest> stills; /* --still SECONDS:OUT.png */
    std::string tables_into;       /* --tables-into DIR: every operand a video, its table into DIR (ahead.h) */
    std::vector<std::string> videos; /* those videos */
};

struct LandmarkModel;

extern const char track_usage[]; /* the usage lines */
extern const char track_help[];  /* what --help prints after them */
/* The command line; error: a usage message. */
bool parse_track_command(int argc, char **argv, TrackRequest *request, std::string *error);
int track_usage_error(const std::string &message); /* the message and the usage; returns EXIT_USAGE */
int run_track(const TrackRequest &request, const char *version); /* messages on standard error; the status */
/* The landmark model the request names: kept in the cache folder ("" for none), else parsed, its key then
 * in key (to keep it once a run has ended well); false with a line naming it. */
bool load_model(const TrackRequest &request, const std::string &folder, const char *version, LandmarkModel *model,
                std::string *key, std::string *error);
/* run_track with the model read already (moved from model). */
int run_track_with_model(const TrackRequest &request, const char *version, LandmarkModel *model);

#endif
