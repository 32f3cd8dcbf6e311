/* Shape predictors written by dlib's own serialisation, for the tests of
 * the landmark model reader: small ones whose answers are worked out by
 * hand, a 5-point one, and damaged ones. */
#ifndef MIENSCOPE_TEST_MODELS_H
#define MIENSCOPE_TEST_MODELS_H

#include <string>

/* Two points at (0.25, 0.5) and (0.75, 0.5) of the box, one cascade of one tree of one split: feature
 * pixel 0 at (0.2, 0.2), pixel 1 at (0.8, 0.2); when pixel 0 is brighter than pixel 1 by more than 10,
 * the left leaf moves point 0 by (+0.1, -0.05), else the right leaf moves point 1 by (-0.1, +0.2). A
 * split naming feature pixel `first` (2 or more: one the model does not have) makes it damaged. */
std::string two_point_model(unsigned long first = 0);
std::string five_point_model(void); /* five points, as dlib's small face model has */
/* The two points' model with its first feature pixel placed from point `anchor` (2 or more: one the shape
 * does not have), written part by part as dlib writes a predictor. */
std::string two_point_model_anchored_at(unsigned long anchor);

#endif
