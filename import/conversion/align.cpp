/* Rigid alignment: each frame is moved by the rotation and translation
 * that best carry its rigid points onto the same points in the recording's
 * first frame, in the least-squares sense (the Kabsch solution, with the
 * reflection it may find turned back into a proper rotation). The head
 * then stays as it was in frame 0, and only the face moves. */
#include "rigid.h"
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
