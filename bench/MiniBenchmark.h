// The small part of the Google Benchmark interface the benchmarks use, for
// builds where the library is not available (the 32-bit Windows build run
// under Wine). Each benchmark runs its fixed iteration count once and
// prints its counters.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace benchmark {

class State {
public:
    State(int64_t iterations, std::vector<int64_t> args) : iterations_(iterations), args_(std::move(args)) {}
    // Like the library's, the loop variable is a type with a destructor of
    // its own, so `for (auto _ : state)` draws no unused-variable warning.
    struct Value {
        Value() {}
        ~Value() {}
    };
    struct Iterator {
        int64_t left;
        bool operator!=(const Iterator& o) const { return left != o.left; }
        void operator++() { --left; }
        Value operator*() const { return Value(); }
    };
    Iterator begin() { return Iterator{iterations_}; }
    Iterator end() { return Iterator{0}; }
    int64_t range(size_t i) const { return i < args_.size() ? args_[i] : 0; }
    int64_t iterations() const { return iterations_; }
    void SetIterationTime(double) {}
    void SetLabel(const std::string& l) { label_ = l; }
    void SkipWithError(const char* e) { label_ = std::string("ERROR: ") + e; }
    std::map<std::string, double> counters;
    std::string label_;

private:
    int64_t iterations_;
    std::vector<int64_t> args_;
};

class Registration {
public:
    Registration(const char* name, void (*fn)(State&)) : name_(name), fn_(fn) {}
    Registration* UseManualTime() { return this; }
    Registration* Unit(int) { return this; }
    Registration* Iterations(int64_t n) {
        iterations_ = n;
        return this;
    }
    Registration* Args(std::vector<int64_t> a) {
        argSets_.push_back(std::move(a));
        return this;
    }
    Registration* Arg(int64_t a) { return Args({a}); }
    void run() const {
        std::vector<std::vector<int64_t>> sets = argSets_;
        if (sets.empty()) sets.push_back({});
        for (const auto& args : sets) {
            State state(iterations_, args);
            fn_(state);
            std::string name = name_;
            for (int64_t a : args) name += "/" + std::to_string(a);
            std::printf("%-40s", name.c_str());
            for (const auto& c : state.counters) std::printf(" %s=%.4g", c.first.c_str(), c.second);
            if (!state.label_.empty()) std::printf(" %s", state.label_.c_str());
            std::printf("\n");
        }
    }

private:
    const char* name_;
    void (*fn_)(State&);
    int64_t iterations_ = 1;
    std::vector<std::vector<int64_t>> argSets_;
};

inline std::vector<Registration*>& registry() {
    static std::vector<Registration*> r;
    return r;
}

inline Registration* registerBenchmark(const char* name, void (*fn)(State&)) {
    registry().push_back(new Registration(name, fn));
    return registry().back();
}

constexpr int kMillisecond = 1;
constexpr int kMicrosecond = 2;

}  // namespace benchmark

#define VORLANT_BM_CAT2(a, b) a##b
#define VORLANT_BM_CAT(a, b) VORLANT_BM_CAT2(a, b)
#define BENCHMARK(fn)                                                     \
    static ::benchmark::Registration* VORLANT_BM_CAT(bm_reg_, __LINE__) = \
        ::benchmark::registerBenchmark(#fn, fn)
#define BENCHMARK_MAIN()                                                        \
    int main() {                                                                \
        for (::benchmark::Registration * r : ::benchmark::registry()) r->run(); \
        return 0;                                                               \
    }
