#pragma once
// How many inflations zlib has started in this executable: every uncompress (a whole block, a
// directory) and every stream. Counted by wrapping inflateInit_ at link time (-Wl,--wrap, set
// in tests/archive/CMakeLists.txt for the executables that link InflateCount.cpp), so the
// reader under test carries no counter of its own.
namespace InflateCount {

int Started();

// Inflations started since it was made.
class Since {
public:
    Since() : start_(Started()) {}
    int Count() const { return Started() - start_; }

private:
    int start_;
};

} // namespace InflateCount
