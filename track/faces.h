/* Finding faces in a frame with dlib's frontal face detector (HOG
 * features, five linear filters, a pyramid of scales shrinking by 5/6):
 * over the whole frame to find a face, and in a small window about the
 * place one was, to follow it. The detector's window is 80 x 80 pixels:
 * a smaller face is not found. */
#ifndef MIENSCOPE_FACES_H
#define MIENSCOPE_FACES_H

#include <vector>

#include "landmarks.h"

/* One thread's detector: dlib's detectors keep state while they scan. */
struct FaceFinder;

/* Frames wider or taller than SEARCH_SIDE are searched scaled down to it
 * first; where no face is found so, again at FINER_SEARCH_SIDE (the frame's
 * own size up to 1080p), so that a face must be 80 x (side / 1920) pixels
 * wide to be found in a larger frame, 80 in a smaller. */
enum { SEARCH_SIDE = 640, FINER_SEARCH_SIDE = 1920 };

FaceFinder *open_face_finder(std::string *error); /* the detector built into the program; nullptr, error saying why */
void close_face_finder(FaceFinder *f);
/* Every face in the frame, in its pixels. */
std::vector<FaceBox> faces_in_frame(FaceFinder *f, const GrayView &frame);
long smallest_face(int width, int height); /* the narrowest face faces_in_frame finds in such a frame, pixels */
/* The faces about a place where one was: in a window twice its size around it, searched at three scales
 * about its own, so a face that grew or shrank by a fifth is still found. */
std::vector<FaceBox> faces_near(FaceFinder *f, const GrayView &frame, const FaceBox &last);

#endif
