#include "rigid.h"

#include <Eigen/LU>
#include <Eigen/SVD>

/* The spreads along the principal axes are the square roots of the
 * scatter matrix's singular values; only 3 x 3 matrices are decomposed. */
bool on_one_line(const Eigen::Matrix3Xd &points)
{
    Eigen::Matrix3Xd centred = points.colwise() - points.rowwise().mean();
    Eigen::Matrix3d scatter = centred * centred.transpose();
    Eigen::Vector3d variance = Eigen::JacobiSVD<Eigen::Matrix3d>(scatter).singularValues();
    return !(variance(1) > 1e-6 * variance(0));
}

void best_rigid_motion(const Eigen::Matrix3Xd &from, const Eigen::Matrix3Xd &to, Eigen::Matrix3d *rotation,
                       Eigen::Vector3d *translation)
{
    Eigen::Vector3d from_centre = from.rowwise().mean(), to_centre = to.rowwise().mean();
    Eigen::Matrix3d covariance = (from.colwise() - from_centre) * (to.colwise() - to_centre).transpose();
    Eigen::JacobiSVD<Eigen::Matrix3d> svd(covariance, Eigen::ComputeFullU | Eigen::ComputeFullV);
    double handedness = (svd.matrixV() * svd.matrixU().transpose()).determinant() < 0.0 ? -1.0 : 1.0;
    *rotation = svd.matrixV() * Eigen::Vector3d(1.0, 1.0, handedness).asDiagonal() * svd.matrixU().transpose();
    *translation = to_centre - *rotation * from_centre;
}
