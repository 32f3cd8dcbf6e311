/* Writes C3D files: the sample-data generator's example recording, and the
 * tests' crafted files in every layout the importer reads. */
#ifndef MIENSCOPE_C3D_WRITER_H
#define MIENSCOPE_C3D_WRITER_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

enum { C3D_WRITE_INTEL = 84, C3D_WRITE_DEC = 85, C3D_WRITE_MIPS = 86 };

struct C3dContent {
    int processor = C3D_WRITE_INTEL;
    bool integers = false;               /* 16-bit integers times scale, else floats */
    float scale = 0.1f;                  /* millimetres per integer step; positive */
    float rate = 100.0f;                 /* frames per second */
    std::vector<std::string> labels;     /* one a point; more than 255 go on into LABELS2, ... */
    std::vector<std::string> descriptions;
    std::vector<std::string> angles;     /* labels named in POINT:ANGLES */
    size_t frames = 0;
    std::vector<float> xyz;              /* [frame][point][axis] */
    std::vector<uint8_t> valid;          /* [frame][point]; empty: all valid */
    int analog_channels = 0;             /* ANALOG:USED */
    int analog_per_frame = 0;            /* analog samples of each channel per frame */
    std::string units = "mm";
    std::string x_screen = "+X", y_screen = "+Z";
    bool frames_in_trial = false;        /* POINT:FRAMES 65535, the count in TRIAL:ACTUAL_*_FIELD */
    bool frames_as_float = false;        /* POINT:FRAMES as a float */
    bool data_start_zero = false;        /* POINT:DATA_START 0; only the header's word 9 is right */
    bool groups_last = false;            /* parameters before the groups they belong to */
};

std::vector<uint8_t> write_c3d(const C3dContent &content); /* the whole file */
std::vector<uint8_t> c3d_float_bytes(float value, int processor); /* one float as the processor stores it */

#endif
