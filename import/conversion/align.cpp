/* Rigid alignment: each frame is moved by the rotation and translation
 * that best carry its rigid points onto the same points in the recording's
 * first frame, in the least-squares sense (the Kabsch solution, with the
 * reflection it may find turned back into a proper rotation). The head
 * then stays as it was in frame 0, and only the face moves. */
#include <Eigen/Dense>

#include "steps.h"

/* Columns: the rigid points of one frame, millimetres. */
static Eigen::Matrix3Xd rigid_points(const Tracks &tracks, size_t frame, size_t first_rigid)
{
    Eigen::Matrix3Xd points(3, (Eigen::Index)(tracks.points - first_rigid));
    for (size_t k = first_rigid; k < tracks.points; k++)
        for (int a = 0; a < 3; a++)
            points(a, (Eigen::Index)(k - first_rigid)) = tracks.xyz[(frame * tracks.points + k) * 3 + a];
    return points;
}

/* Points within a thousandth of their spread of one line fix no rotation
 * about that line. The spreads along the principal axes are the square
 * roots of the scatter matrix's singular values; only 3 x 3 matrices are
 * decomposed, which keeps the compile short. */
static bool on_one_line(const Eigen::Matrix3Xd &points)
{
    Eigen::Matrix3Xd centred = points.colwise() - points.rowwise().mean();
    Eigen::Matrix3d scatter = centred * centred.transpose();
    Eigen::Vector3d variance = Eigen::JacobiSVD<Eigen::Matrix3d>(scatter).singularValues();
    return !(variance(1) > 1e-6 * variance(0));
}

static void best_rigid_motion(const Eigen::Matrix3Xd &from, const Eigen::Matrix3Xd &to, Eigen::Matrix3d *rotation,
                              Eigen::Vector3d *translation)
{
    Eigen::Vector3d from_centre = from.rowwise().mean(), to_centre = to.rowwise().mean();
    Eigen::Matrix3d covariance = (from.colwise() - from_centre) * (to.colwise() - to_centre).transpose();
    Eigen::JacobiSVD<Eigen::Matrix3d> svd(covariance, Eigen::ComputeFullU | Eigen::ComputeFullV);
    double handedness = (svd.matrixV() * svd.matrixU().transpose()).determinant() < 0.0 ? -1.0 : 1.0;
    *rotation = svd.matrixV() * Eigen::Vector3d(1.0, 1.0, handedness).asDiagonal() * svd.matrixU().transpose();
    *translation = to_centre - *rotation * from_centre;
}

bool align_to_first_frame(const Span &span, Tracks *tracks, const std::string &set_name, std::string *error)
{
    size_t first_rigid = tracks->markers;
    if (first_rigid >= tracks->points)
        return true;
    Eigen::Matrix3Xd reference = rigid_points(*tracks, 0, first_rigid);
    if (on_one_line(reference)) {
        *error = set_name + ": the rigid points lie on one line in the recording's first frame, so they can't hold the head still";
        return false;
    }
    for (size_t f = span.first; f <= span.last; f++) {
        Eigen::Matrix3d rotation;
        Eigen::Vector3d translation;
        best_rigid_motion(rigid_points(*tracks, f, first_rigid), reference, &rotation, &translation);
        for (size_t k = 0; k < tracks->points; k++) {
            Eigen::Map<Eigen::Vector3d> p(&tracks->xyz[(f * tracks->points + k) * 3]);
            p = rotation * p + translation;
        }
    }
    return true;
}
