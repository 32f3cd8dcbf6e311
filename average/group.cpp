#include "group.h"

#include <math.h>

#include <Eigen/Eigenvalues>

#include "rigid.h"

typedef Eigen::Map<const Eigen::Matrix<double, 3, FACE_MARKERS>> ConstShape;
typedef Eigen::Matrix<double, 3, FACE_MARKERS> Shape;

/* Iterations of the alignment: the reference's RMS change over its markers
 * below this many millimetres, or this many rounds. */
static const double settled_mm = 1e-9;
static const int most_rounds = 100;
/* Mode 1's standard deviation below this many millimetres: no variation. */
static const double no_variation_mm = 1e-9;

/* Frame 0 less its centroid; the centroid in centre. */
static Shape centred_first_frame(const FacePositions &xyz, Eigen::Vector3d *centre)
{
    ConstShape frame0(xyz.data());
    *centre = frame0.rowwise().mean();
    return frame0.colwise() - *centre;
}

static Eigen::Matrix3d best_rotation(const Shape &from, const Shape &to)
{
    Eigen::Matrix3d rotation;
    Eigen::Vector3d translation;
    best_rigid_motion(from, to, &rotation, &translation);
    return rotation;
}

static double rms_change(const Shape &a, const Shape &b)
{
    return sqrt((a - b).colwise().squaredNorm().mean());
}

/* The reference all shapes are fitted to, in the first shape's orientation. */
static Shape find_reference(const std::vector<Shape> &shapes, int *rounds)
{
    Shape reference = shapes[0];
    for (*rounds = 1; *rounds <= most_rounds; ++*rounds) {
        Shape mean = Shape::Zero();
        for (const Shape &shape : shapes)
            mean += best_rotation(shape, reference) * shape;
        mean /= (double)shapes.size();
        Shape next = best_rotation(mean, shapes[0]) * mean;
        double change = rms_change(next, reference);
        reference = next;
        if (change < settled_mm)
            break;
    }
    return reference;
}

int align_group(const std::vector<FacePositions> &files, std::vector<double> *aligned)
{
    std::vector<Shape> shapes;
    std::vector<Eigen::Vector3d> centres(files.size());
    for (size_t i = 0; i < files.size(); i++)
        shapes.push_back(centred_first_frame(files[i], &centres[i]));
    int rounds = 0;
    Shape reference = find_reference(shapes, &rounds);
    aligned->resize(files.size() * GROUP_VALUES);
    for (size_t i = 0; i < files.size(); i++) {
        Eigen::Matrix3d rotation = best_rotation(shapes[i], reference);
        Eigen::Map<const Eigen::Matrix3Xd> from(files[i].data(), 3, FACE_FRAMES * FACE_MARKERS);
        Eigen::Map<Eigen::Matrix3Xd> to(aligned->data() + i * GROUP_VALUES, 3, FACE_FRAMES * FACE_MARKERS);
        to = rotation * (from.colwise() - centres[i]);
    }
    return std::min(rounds, most_rounds);
}

/* Its component of largest magnitude (the first on a tie) made positive. */
static void fix_sign(Eigen::VectorXd *v)
{
    Eigen::Index largest = 0;
    for (Eigen::Index j = 1; j < v->size(); j++)
        if (fabs((*v)(j)) > fabs((*v)(largest)))
            largest = j;
    if ((*v)(largest) < 0.0)
        *v = -*v;
}

/* The thin SVD X = U S V^T through the n x n matrix X X^T = U S^2 U^T:
 * v_k = X^T u_k / s_k. Fills sd and share for every mode, directions and
 * scores for the first `modes`. */
static void find_modes(Eigen::Map<Eigen::MatrixXd> &x, size_t modes, Group *group)
{
    size_t n = group->files;
    Eigen::MatrixXd gram = Eigen::MatrixXd::Zero((Eigen::Index)n, (Eigen::Index)n);
    gram.selfadjointView<Eigen::Lower>().rankUpdate(x.transpose());
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(gram.selfadjointView<Eigen::Lower>());
    Eigen::VectorXd squares = solver.eigenvalues().reverse().cwiseMax(0.0); /* s_k^2, largest first */
    double total = squares.sum();
    for (size_t k = 0; k + 1 < n; k++) {
        group->sd.push_back(sqrt(squares((Eigen::Index)k) / (double)(n - 1)));
        group->share.push_back(total > 0.0 ? squares((Eigen::Index)k) / total : 0.0);
    }
    group->scores.assign(n * modes, 0.0);
    for (size_t k = 0; k < modes; k++) {
        Eigen::VectorXd v = Eigen::VectorXd::Zero(GROUP_VALUES);
        if (group->sd[k] >= no_variation_mm) {
            v = x * solver.eigenvectors().col((Eigen::Index)(n - 1 - k));
            v.normalize();
            fix_sign(&v);
            Eigen::VectorXd projections = x.transpose() * v;
            for (size_t i = 0; i < n; i++)
                group->scores[i * modes + k] = projections((Eigen::Index)i) / group->sd[k];
        }
        group->directions.emplace_back(v.data(), v.data() + v.size());
    }
}

bool analyse_group(const std::vector<FacePositions> &files, size_t modes, Group *group, std::string *error)
{
    group->files = files.size();
    group->rounds = align_group(files, &group->residuals);
    Eigen::Map<Eigen::MatrixXd> x(group->residuals.data(), GROUP_VALUES, (Eigen::Index)files.size());
    Eigen::VectorXd mean = x.rowwise().mean();
    x.colwise() -= mean;
    group->average.assign(mean.data(), mean.data() + mean.size());
    find_modes(x, modes, group);
    if (group->sd[0] >= no_variation_mm)
        return true;
    *error = "the files do not vary; no mode to show";
    return false;
}

FacePositions aligned_file(const Group &group, size_t file)
{
    FacePositions a(group.average);
    for (size_t j = 0; j < a.size(); j++)
        a[j] += group.residuals[file * GROUP_VALUES + j];
    return a;
}

FacePositions along_mode(const Group &group, size_t mode, double sds)
{
    FacePositions p(group.average);
    for (size_t j = 0; j < p.size(); j++)
        p[j] += sds * group.sd[mode] * group.directions[mode][j];
    return p;
}
