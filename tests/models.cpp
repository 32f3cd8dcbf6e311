#include "models.h"

#include <sstream>

#include <dlib/image_processing/shape_predictor.h>

static std::string serialised(const dlib::shape_predictor &model)
{
    std::ostringstream out;
    dlib::serialize(model, out);
    return out.str();
}

std::string two_point_model(unsigned long first)
{
    dlib::matrix<float, 0, 1> mean(4);
    mean = 0.25f, 0.5f, 0.75f, 0.5f;
    dlib::impl::regression_tree tree;
    tree.splits.push_back({first, 1, 10.0f});
    dlib::matrix<float, 0, 1> left(4), right(4);
    left = 0.1f, -0.05f, 0, 0;
    right = 0, 0, -0.1f, 0.2f;
    tree.leaf_values = {left, right};
    std::vector<std::vector<dlib::vector<float, 2>>> pixels = {{{0.2f, 0.2f}, {0.8f, 0.2f}}};
    return serialised(dlib::shape_predictor(mean, {{tree}}, pixels));
}

std::string five_point_model(void)
{
    dlib::matrix<float, 0, 1> mean(10);
    mean = 0.2f, 0.3f, 0.8f, 0.3f, 0.5f, 0.5f, 0.3f, 0.8f, 0.7f, 0.8f;
    dlib::impl::regression_tree tree;
    tree.splits.push_back({0, 1, 0.0f});
    dlib::matrix<float, 0, 1> leaf(10);
    leaf = 0;
    tree.leaf_values = {leaf, leaf};
    std::vector<std::vector<dlib::vector<float, 2>>> pixels = {{{0.4f, 0.4f}, {0.6f, 0.6f}}};
    return serialised(dlib::shape_predictor(mean, {{tree}}, pixels));
}

std::string two_point_model_anchored_at(unsigned long anchor)
{
    dlib::matrix<float, 0, 1> mean(4);
    mean = 0.25f, 0.5f, 0.75f, 0.5f;
    dlib::impl::regression_tree tree;
    tree.splits.push_back({0, 1, 10.0f});
    dlib::matrix<float, 0, 1> leaf(4);
    leaf = 0;
    tree.leaf_values = {leaf, leaf};
    std::vector<std::vector<dlib::impl::regression_tree>> forests = {{tree}};
    std::vector<std::vector<unsigned long>> anchors = {{anchor, 1}};
    std::vector<std::vector<dlib::vector<float, 2>>> deltas = {{{-0.05f, -0.3f}, {0.05f, -0.3f}}};
    std::ostringstream out;
    dlib::serialize(1, out); /* the format's version, then its parts in the order dlib writes them */
    dlib::serialize(mean, out);
    dlib::serialize(forests, out);
    dlib::serialize(anchors, out);
    dlib::serialize(deltas, out);
    return out.str();
}
