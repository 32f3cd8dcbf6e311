/* Rigid motions of point sets in millimetres: the rotation and translation
 * that best carry one set onto another in the least-squares sense (the
 * Kabsch solution, with the reflection it may find turned back into a
 * proper rotation). One file instantiates Eigen's SVD, which keeps the
 * build short. */
#ifndef MIENSCOPE_RIGID_H
#define MIENSCOPE_RIGID_H

#include <Eigen/Core>

/* Columns are points; rotation * from + translation best matches to. */
void best_rigid_motion(const Eigen::Matrix3Xd &from, const Eigen::Matrix3Xd &to, Eigen::Matrix3d *rotation,
                       Eigen::Vector3d *translation);
/* The two largest spreads of the points' scatter are within 1e-6 of one line: they fix no rotation. */
bool on_one_line(const Eigen::Matrix3Xd &points);

#endif
