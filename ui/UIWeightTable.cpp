#include "ui/UIWeightTable.h"

#include <new>
#include <utility>

UIWeightTable::UIWeightTable() : count_(0)
{
}

UIWeightTable::~UIWeightTable()
{
}

bool UIWeightTable::Set(int index, int weight)
{
    for (int i = 0; i < count_; ++i) {
        if (indices_[i] == index) {
            weights_[i] = weight;
            return true;
        }
    }
    std::unique_ptr<int[]> indices(new (std::nothrow) int[count_ + 1]);
    std::unique_ptr<int[]> weights(new (std::nothrow) int[count_ + 1]);
    if (!indices || !weights)
        return false;
    for (int i = 0; i < count_; ++i) {
        indices[i] = indices_[i];
        weights[i] = weights_[i];
    }
    indices[count_] = index;
    weights[count_] = weight;
    indices_ = std::move(indices);
    weights_ = std::move(weights);
    ++count_;
    return true;
}

int UIWeightTable::Get(int index) const
{
    for (int i = 0; i < count_; ++i) {
        if (indices_[i] == index)
            return weights_[i];
    }
    return 0;
}
