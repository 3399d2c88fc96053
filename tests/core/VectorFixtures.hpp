// Small owners and comparisons for the container tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"

// A DenseVector holding the given elements, with spare capacity for
// results that grow; destroyed with the owner.
class Vec {
 public:
  Vec(std::initializer_list<double> values, std::int32_t spare = 8)
      : v_(DenseVector_Create(static_cast<std::int32_t>(values.size()) + spare)) {
    for (double x : values) DenseVector_Push(v_, x);
  }
  explicit Vec(const std::vector<double>& values, std::int32_t spare = 8)
      : v_(DenseVector_Create(static_cast<std::int32_t>(values.size()) + spare)) {
    for (double x : values) DenseVector_Push(v_, x);
  }
  ~Vec() { DenseVector_Destroy(v_); }
  Vec(const Vec&) = delete;
  Vec& operator=(const Vec&) = delete;
  DenseVector* get() const { return v_; }
  operator DenseVector*() const { return v_; }
  std::vector<double> values() const {
    return std::vector<double>(v_->data, v_->data + v_->length);
  }

 private:
  DenseVector* v_;
};

class IVec {
 public:
  IVec(std::initializer_list<std::int32_t> values, std::int32_t spare = 8)
      : v_(IDenseVector_Create(static_cast<std::int32_t>(values.size()) + spare)) {
    for (std::int32_t x : values) IDenseVector_Push(v_, x);
  }
  explicit IVec(const std::vector<std::int32_t>& values, std::int32_t spare = 8)
      : v_(IDenseVector_Create(static_cast<std::int32_t>(values.size()) + spare)) {
    for (std::int32_t x : values) IDenseVector_Push(v_, x);
  }
  ~IVec() { IDenseVector_Destroy(v_); }
  IVec(const IVec&) = delete;
  IVec& operator=(const IVec&) = delete;
  IDenseVector* get() const { return v_; }
  operator IDenseVector*() const { return v_; }
  std::vector<std::int32_t> values() const {
    return std::vector<std::int32_t>(v_->data, v_->data + v_->length);
  }

 private:
  IDenseVector* v_;
};

// Same double in the IEEE sense that matters to the shortcuts: both NaN, or
// equal with the same sign (so +0 and -0 differ).
inline bool SameDouble(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return a == b && std::signbit(a) == std::signbit(b);
}

inline std::string Show(const std::vector<double>& v) {
  std::string text = "(";
  for (std::size_t i = 0; i < v.size(); ++i) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%s%.17g", i ? ", " : "", v[i]);
    text += buffer;
  }
  return text + ")";
}

inline ::testing::AssertionResult SameVector(const std::vector<double>& actual,
                                             const std::vector<double>& expected) {
  bool same = actual.size() == expected.size();
  for (std::size_t i = 0; same && i < actual.size(); ++i) same = SameDouble(actual[i], expected[i]);
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Show(actual) << ", expected " << Show(expected);
}

// A Memory_Interface over malloc that counts live blocks and can be told to
// fail every further allocation (fail), or every allocation once
// `allocations` has reached fail_at (fail_at >= 0).
struct CountingMemory {
  Memory_Interface record{this, Allocate, Allocate, Free, Free};
  int allocations = 0;
  int frees = 0;
  bool fail = false;
  int fail_at = -1;

  CountingMemory() { Memory_SetInterface(&record); }
  ~CountingMemory() { Memory_Reset(); }
  int live() const { return allocations - frees; }

  static void* Allocate(void* context, std::size_t size) {
    auto* self = static_cast<CountingMemory*>(context);
    if (self->fail || (self->fail_at >= 0 && self->allocations >= self->fail_at)) return nullptr;
    ++self->allocations;
    return std::malloc(size);
  }
  static void Free(void* context, void* block) {
    ++static_cast<CountingMemory*>(context)->frees;
    std::free(block);
  }
};
