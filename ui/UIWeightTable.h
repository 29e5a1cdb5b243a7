#pragma once
#include <memory>

// Column or row index -> weight; absent indices weigh 0. Grows by one entry per new index.
class UIWeightTable {
public:
    UIWeightTable();
    ~UIWeightTable();

    // Replaces the weight of an index already present. Returns false when out of memory.
    bool Set(int index, int weight);
    int Get(int index) const;
    int Count() const { return count_; }

private:
    UIWeightTable(const UIWeightTable&) = delete;
    UIWeightTable& operator=(const UIWeightTable&) = delete;

    int count_;
    std::unique_ptr<int[]> indices_;
    std::unique_ptr<int[]> weights_;
};
