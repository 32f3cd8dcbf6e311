/* OpenFace tables whose face measures are known by construction, for the
 * tests of the programs that take them. */
#ifndef MIENSCOPE_FACE_TABLES_FOR_TESTS_H
#define MIENSCOPE_FACE_TABLES_FOR_TESTS_H

#include <string>

/* 180 rows 1/30 s apart, every one smile_demo.csv's first face (../shared/testdata), but for the left eye's
 * upper lid (points 43 and 44), which closes onto the lower (47 and 46) by the fraction `closed` at row 90
 * and opens again, evenly: the left eye's closure_pct is 100 x closed. The right mouth corner (point 48)
 * moves likewise by corner_mm along the camera's -X, out of the face; nothing else moves. "" when the test
 * data is absent. */
std::string closing_left_eye(double closed, double corner_mm = 0.0);

#endif
