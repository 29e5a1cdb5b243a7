#include "ui/UIWeightTable.h"

#include <new>

UIWeightTable::UIWeightTable() : count_(0), indices_(nullptr), weights_(nullptr)
{
}

UIWeightTable::~UIWeightTable()
{
    delete[] indices_;
    delete[] weights_;
}

bool UIWeightTable::Set(int index, int weight)
{
    for (int i = 0; i < count_; ++i) {
        if (indices_[i] == index) {
            weights_[i] = weight;
            return true;
        }
    }
    int* indices = new (std::nothrow) int[count_ + 1];
    int* weights = new (std::nothrow) int[count_ + 1];
    if (indices == nullptr || weights == nullptr) {
        delete[] indices;
        delete[] weights;
        return false;
    }
    for (int i = 0; i < count_; ++i) {
        indices[i] = indices_[i];
        weights[i] = weights_[i];
    }
    indices[count_] = index;
    weights[count_] = weight;
    delete[] indices_;
    delete[] weights_;
    indices_ = indices;
    weights_ = weights;
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
