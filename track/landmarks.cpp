/* dlib's serialisation, as dlib/serialize.h writes it: an integer is a
 * control byte (bit 7 the sign, the low four bits the number of bytes
 * that follow, the three bits between always 0) and that many bytes of
 * its magnitude, least significant first; a float is two integers, a
 * mantissa (up to 8 bytes) and an exponent (up to 2), worth
 * mantissa x 2^exponent, with exponents 32000 to 32002 standing for
 * infinities and NaN; a std::vector is its length and its elements; a
 * column matrix its rows and columns (negated in the current format) and
 * its elements; a 2-vector its x and y.
 *
 * The predictor is dlib's shape_predictor::operator(), step by step in
 * the same precision (a similarity transform fitted in double, the
 * feature offsets turned in float, pixels taken at rounded positions),
 * without its last step, which rounds every point to a whole pixel. */
#include "landmarks.h"

#include <math.h>
#include <string.h>

#include <algorithm>

namespace {

struct Cursor {
    const uint8_t *at, *end;
    const char *problem; /* the first thing found wrong, or nullptr */
};

bool fail(Cursor *c, const char *problem)
{
    if (!c->problem)
        c->problem = problem;
    return false;
}

/* An integer of at most `bytes` bytes; unsigned ones have no sign bit. A model holds some nine million
 * of them, so this is kept short. */
inline bool read_integer(Cursor *c, int bytes, bool is_signed, int64_t *value)
{
    if (c->at >= c->end)
        return fail(c, "it ends too soon");
    uint8_t control = *c->at;
    int size = control & 0x0f;
    bool negative = control & 0x80;
    if ((control & 0x70) || size == 0 || size > bytes || (negative && !is_signed))
        return fail(c, "it holds a number dlib does not write");
    if (c->end - c->at <= size)
        return fail(c, "it ends too soon");
    const uint8_t *digits = c->at + 1;
    uint64_t magnitude = 0;
    for (int i = size - 1; i >= 0; i--)
        magnitude = magnitude << 8 | digits[i];
    c->at = digits + size;
    if (magnitude > (uint64_t)INT64_MAX)
        return fail(c, "it holds a number too large");
    *value = negative ? -(int64_t)magnitude : (int64_t)magnitude;
    return true;
}

/* 2^e for a normal double's exponent (-1022 to 1023), from its bits. */
inline double power_of_two(int e)
{
    uint64_t bits = (uint64_t)(e + 1023) << 52;
    double v;
    memcpy(&v, &bits, sizeof v);
    return v;
}

/* A finite float: dlib's mantissa and exponent, made a float as dlib makes it, ldexpf((float)mantissa,
 * exponent). A float's mantissa has at most 24 bits, so it and the power of two are exact in double and
 * their product is rounded to a float once, as ldexpf rounds it. */
bool read_any_float(Cursor *c, float *value)
{
    int64_t mantissa, exponent;
    if (!read_integer(c, 8, true, &mantissa) || !read_integer(c, 2, true, &exponent))
        return false;
    if (exponent >= 32000)
        return fail(c, "it holds a number that is not finite");
    bool small = mantissa > -(1 << 24) && mantissa < (1 << 24) && exponent > -1000 && exponent < 1000;
    *value = small ? (float)((double)mantissa * power_of_two((int)exponent)) : ldexpf((float)mantissa, (int)exponent);
    return isfinite(*value) || fail(c, "it holds a number that is not finite");
}

/* A length of things each of at least `least` bytes: no more than the bytes left can hold. */
bool read_length(Cursor *c, size_t least, size_t *length)
{
    int64_t n;
    if (!read_integer(c, 8, false, &n))
        return false;
    if ((uint64_t)n > (uint64_t)(c->end - c->at) / least)
        return fail(c, "it counts more than it holds");
    *length = (size_t)n;
    return true;
}

/* The same, first for what nearly every float of a model is, a mantissa of up to 3 bytes and an
 * exponent of 1 or 2 with 16 bytes left, decoded in one go; anything else the long way. */
inline bool read_float(Cursor *c, float *value)
{
    const uint8_t *p = c->at;
    if (c->end - p < 16)
        return read_any_float(c, value);
    unsigned mantissa_size = p[0] & 0x0f; /* at most 3 below, so q[0] to q[2] lie within the 16 bytes */
    if ((p[0] & 0x70) || mantissa_size == 0 || mantissa_size > 3)
        return read_any_float(c, value);
    const uint8_t *q = p + 1 + mantissa_size;
    unsigned exponent_size = q[0] & 0x0f;
    if ((q[0] & 0x70) || exponent_size == 0 || exponent_size > 2)
        return read_any_float(c, value);
    uint32_t magnitude = (p[1] | (uint32_t)p[2] << 8 | (uint32_t)p[3] << 16) & ((1u << (8 * mantissa_size)) - 1);
    int exponent = exponent_size == 1 ? q[1] : q[1] | q[2] << 8;
    exponent = q[0] & 0x80 ? -exponent : exponent;
    if (exponent <= -1000 || exponent >= 1000)
        return read_any_float(c, value);
    double mantissa = p[0] & 0x80 ? -(double)magnitude : (double)magnitude;
    *value = (float)(mantissa * power_of_two(exponent));
    c->at = q + 1 + exponent_size;
    return true;
}

/* Every float is at least two integers of two bytes each. */
const size_t float_bytes = 4;

/* A column of floats (a dlib matrix of one column), added at the end of values; rows: how many. */
bool read_column(Cursor *c, std::vector<float> *values, size_t *rows)
{
    int64_t nr, nc;
    if (!read_integer(c, 8, true, &nr) || !read_integer(c, 8, true, &nc))
        return false;
    nr = nr < 0 ? -nr : nr;
    if (nc != 1 && nc != -1)
        return fail(c, "a shape is not one column");
    if ((uint64_t)nr > (uint64_t)(c->end - c->at) / float_bytes)
        return fail(c, "it counts more than it holds");
    *rows = (size_t)nr;
    size_t start = values->size();
    values->resize(start + *rows);
    for (size_t i = start; i < values->size(); i++)
        if (!read_float(c, &(*values)[i]))
            return false;
    return true;
}

bool read_split(Cursor *c, LandmarkSplit *split)
{
    int64_t first, second;
    if (!read_integer(c, 8, false, &first) || !read_integer(c, 8, false, &second) ||
        !read_float(c, &split->threshold))
        return false;
    if (first > UINT32_MAX || second > UINT32_MAX)
        return fail(c, "a split names a feature pixel it does not have");
    split->first = (uint32_t)first;
    split->second = (uint32_t)second;
    return true;
}

/* One tree into the cascade, whose trees must all be alike: as many splits, one leaf more, each leaf a
 * shape's increment, its leaves after those before it in store. `all_trees`: how many the model's cascades
 * would hold were they all alike, the room kept in store at the first tree (65 MB once, not copied again
 * as each cascade adds its own). */
bool read_tree(Cursor *c, size_t shape_size, size_t all_trees, LandmarkCascade *cascade, std::vector<float> *store)
{
    size_t splits, leaves, rows;
    if (!read_length(c, 3 * 2, &splits))
        return false;
    if (cascade->trees > 0 && splits != cascade->splits_per_tree)
        return fail(c, "its trees are not all of one depth");
    cascade->splits_per_tree = splits;
    for (size_t s = 0; s < splits; s++) {
        LandmarkSplit split;
        if (!read_split(c, &split))
            return false;
        cascade->splits.push_back(split);
    }
    if (!read_length(c, 2 * 2, &leaves))
        return false;
    if (leaves != splits + 1)
        return fail(c, "a tree has not one leaf more than it has splits");
    if (store->empty()) /* room for all the trees, as far as the bytes left can hold them */
        store->reserve(std::min(all_trees * leaves * shape_size, (size_t)(c->end - c->at) / float_bytes));
    for (size_t l = 0; l < leaves; l++) {
        size_t before = store->size();
        if (!read_column(c, store, &rows))
            return false;
        if (rows != shape_size)
            return fail(c, "a leaf is not the size of the shape");
        cascade->leaf_floats += store->size() - before;
    }
    cascade->trees++;
    return true;
}

/* The cascades' trees, their leaves one after another in store; each cascade points at its own once the
 * store has stopped growing. */
bool read_forests(Cursor *c, size_t shape_size, std::vector<LandmarkCascade> *cascades, std::vector<float> *store)
{
    size_t count, trees;
    if (!read_length(c, 2, &count))
        return false;
    cascades->resize(count);
    for (LandmarkCascade &cascade : *cascades) {
        if (!read_length(c, 2 * 2, &trees))
            return false;
        for (size_t t = 0; t < trees; t++)
            if (!read_tree(c, shape_size, count * trees, &cascade, store))
                return false;
    }
    size_t start = 0;
    for (LandmarkCascade &cascade : *cascades) {
        cascade.leaves = store->data() + start;
        start += cascade.leaf_floats;
    }
    return true;
}

bool read_anchors(Cursor *c, int points, std::vector<LandmarkCascade> *cascades)
{
    size_t count, pixels;
    if (!read_length(c, 2, &count) || count != cascades->size())
        return fail(c, "it has not one set of feature pixels a cascade");
    for (LandmarkCascade &cascade : *cascades) {
        if (!read_length(c, 2, &pixels))
            return false;
        cascade.anchors.resize(pixels);
        for (uint32_t &anchor : cascade.anchors) {
            int64_t value;
            if (!read_integer(c, 8, false, &value))
                return false;
            if (value >= points)
                return fail(c, "a feature pixel is placed from a point the shape does not have");
            anchor = (uint32_t)value;
        }
    }
    return true;
}

bool read_offsets(Cursor *c, std::vector<LandmarkCascade> *cascades)
{
    size_t count, pixels;
    if (!read_length(c, 2, &count) || count != cascades->size())
        return fail(c, "it has not one set of feature pixels a cascade");
    for (LandmarkCascade &cascade : *cascades) {
        if (!read_length(c, 2 * float_bytes, &pixels) || pixels != cascade.anchors.size())
            return fail(c, "its feature pixels have not one offset each");
        cascade.offsets.resize(2 * pixels);
        for (float &v : cascade.offsets)
            if (!read_float(c, &v))
                return false;
    }
    return true;
}

/* Every split names two of its cascade's feature pixels. */
bool splits_fit(const std::vector<LandmarkCascade> &cascades)
{
    for (const LandmarkCascade &cascade : cascades)
        for (const LandmarkSplit &split : cascade.splits)
            if (split.first >= cascade.anchors.size() || split.second >= cascade.anchors.size())
                return false;
    return true;
}

} // namespace

bool landmark_model_fits(const LandmarkModel &model)
{
    size_t shape = 2 * (size_t)model.points;
    if (model.points <= 0 || model.mean_shape.size() != shape || model.cascades.empty() || !splits_fit(model.cascades))
        return false;
    for (const LandmarkCascade &c : model.cascades) {
        if (c.offsets.size() != 2 * c.anchors.size() || c.splits.size() != c.trees * c.splits_per_tree ||
            !c.leaves || c.leaf_floats != c.trees * (c.splits_per_tree + 1) * shape)
            return false;
        for (uint32_t anchor : c.anchors)
            if (anchor >= (uint32_t)model.points)
                return false;
    }
    return true;
}

bool parse_landmark_model(const uint8_t *data, size_t size, LandmarkModel *model, std::string *what)
{
    Cursor c = {data, data + size, nullptr};
    int64_t version = 0;
    *model = LandmarkModel();
    size_t rows;
    bool read = read_integer(&c, 4, true, &version) && (version == 1 || fail(&c, "its version is not 1")) &&
                read_column(&c, &model->mean_shape, &rows) &&
                (model->mean_shape.size() % 2 == 0 || fail(&c, "its mean shape has an odd number of values"));
    model->points = (int)(model->mean_shape.size() / 2);
    read = read && read_forests(&c, model->mean_shape.size(), &model->cascades, &model->leaf_store) &&
           read_anchors(&c, model->points, &model->cascades) && read_offsets(&c, &model->cascades) &&
           (splits_fit(model->cascades) || fail(&c, "a split names a feature pixel it does not have"));
    if (read && model->cascades.empty())
        read = fail(&c, "it has no cascade");
    if (!read)
        *what = c.problem;
    return read;
}

namespace {

/* The similarity transform (scale and rotation, no translation) that best maps the mean shape onto the
 * current one, in least squares: Umeyama's, which in two dimensions has this closed form. */
void shape_transform(const std::vector<float> &from, const std::vector<float> &to, float m[4])
{
    size_t n = from.size() / 2;
    double mean_from[2] = {0, 0}, mean_to[2] = {0, 0};
    for (size_t i = 0; i < n; i++)
        for (int a = 0; a < 2; a++) {
            mean_from[a] += from[2 * i + a];
            mean_to[a] += to[2 * i + a];
        }
    for (int a = 0; a < 2; a++) {
        mean_from[a] /= (double)n;
        mean_to[a] /= (double)n;
    }
    double spread = 0, cov[2][2] = {{0, 0}, {0, 0}};
    for (size_t i = 0; i < n; i++) {
        double f[2] = {from[2 * i] - mean_from[0], from[2 * i + 1] - mean_from[1]};
        double t[2] = {to[2 * i] - mean_to[0], to[2 * i + 1] - mean_to[1]};
        spread += f[0] * f[0] + f[1] * f[1];
        for (int r = 0; r < 2; r++)
            for (int k = 0; k < 2; k++)
                cov[r][k] += t[r] * f[k];
    }
    double cosine = (cov[0][0] + cov[1][1]) / (double)n, sine = (cov[1][0] - cov[0][1]) / (double)n;
    spread /= (double)n;
    if (spread == 0) {
        m[0] = m[3] = 1;
        m[1] = m[2] = 0;
        return;
    }
    m[0] = (float)(cosine / spread);
    m[1] = (float)(-sine / spread);
    m[2] = (float)(sine / spread);
    m[3] = (float)(cosine / spread);
}

/* dlib's rounding of a position to a pixel, of 0 .. size - 1; -1 outside, NaN and infinities included (a
 * damaged model's sums may overflow). */
long nearest_pixel(double v, int size)
{
    double pixel = floor(v + 0.5);
    return pixel >= 0 && pixel < size ? (long)pixel : -1;
}

/* The grey value under each of the cascade's feature pixels, 0 outside the picture. */
void feature_pixels(const LandmarkCascade &cascade, const std::vector<float> &mean_shape,
                    const std::vector<float> &shape, const GrayView &picture, const FaceBox &box,
                    std::vector<float> *values)
{
    float m[4];
    shape_transform(mean_shape, shape, m);
    double box_width = (double)(box.right - box.left), box_height = (double)(box.bottom - box.top);
    size_t pixels = cascade.anchors.size();
    values->resize(pixels);
    for (size_t i = 0; i < pixels; i++) {
        float dx = cascade.offsets[2 * i], dy = cascade.offsets[2 * i + 1];
        uint32_t anchor = cascade.anchors[i];
        float u = m[0] * dx + m[1] * dy + shape[2 * anchor];
        float v = m[2] * dx + m[3] * dy + shape[2 * anchor + 1];
        long x = nearest_pixel(box_width * u + (double)box.left, picture.width);
        long y = nearest_pixel(box_height * v + (double)box.top, picture.height);
        (*values)[i] = x >= 0 && y >= 0 ? picture.pixels[(size_t)y * picture.width + x] : 0.0f;
    }
}

/* The leaf a tree sends these feature pixel values to. */
size_t leaf_of(const LandmarkSplit *splits, size_t count, const std::vector<float> &values)
{
    size_t node = 0;
    while (node < count)
        node = values[splits[node].first] - values[splits[node].second] > splits[node].threshold ? 2 * node + 1
                                                                                               : 2 * node + 2;
    return node - count;
}

/* shape += each leaf: 500 leaves of 2 x 68 floats a cascade, scattered over the model's 65 MB, so
 * each is fetched from memory a few leaves ahead of its turn; the sums are taken eight floats at a time
 * where the processor has AVX2 (chosen when the program starts), four otherwise. */
__attribute__((target_clones("avx2", "default"))) void add_leaves(float *__restrict shape,
                                                                   const std::vector<const float *> &leaves,
                                                                   size_t n)
{
    const size_t ahead = 4, line = 64 / sizeof(float);
    for (size_t t = 0; t < leaves.size(); t++) {
        if (t + ahead < leaves.size())
            for (size_t i = 0; i < n; i += line)
                __builtin_prefetch(leaves[t + ahead] + i);
        const float *__restrict leaf = leaves[t];
        for (size_t i = 0; i < n; i++)
            shape[i] += leaf[i];
    }
}

} // namespace

void place_landmarks(const LandmarkModel &model, const GrayView &picture, const FaceBox &box, std::vector<double> *xy)
{
    std::vector<float> shape = model.mean_shape, values;
    std::vector<const float *> reached;
    size_t n = shape.size();
    for (const LandmarkCascade &cascade : model.cascades) {
        feature_pixels(cascade, model.mean_shape, shape, picture, box, &values);
        size_t leaves = cascade.splits_per_tree + 1;
        reached.resize(cascade.trees);
        for (size_t t = 0; t < cascade.trees; t++) {
            const LandmarkSplit *splits = cascade.splits.data() + t * cascade.splits_per_tree;
            reached[t] = cascade.leaves + (t * leaves + leaf_of(splits, cascade.splits_per_tree, values)) * n;
        }
        add_leaves(shape.data(), reached, n);
    }
    xy->resize(n);
    for (size_t i = 0; i < n / 2; i++) {
        (*xy)[2 * i] = (double)box.left + (double)shape[2 * i] * (double)(box.right - box.left);
        (*xy)[2 * i + 1] = (double)box.top + (double)shape[2 * i + 1] * (double)(box.bottom - box.top);
    }
}
